// SPDX-License-Identifier: MIT
// JSON written as it is made, onto a device, so that a document as large as
// the report of a long session costs no more memory than a small buffer. The
// text is the one QJsonDocument::toJson(Indented) writes for the same values
// (ReportJson's text stayed the same when it began to stream): four spaces
// per level, "key": value, an empty array or object as "[" and "]" on lines
// of their own, strings in UTF-8 with Qt's escapes, a number without a
// fraction up to 2^53 as an integer and any other one in its shortest form,
// null for a NaN or an infinity. It keeps no keys: the caller writes an
// object's keys in the order QJsonDocument would (sorted) when the text
// should be the same as QJsonDocument's.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <vector>

class JsonWriter
{
public:
    explicit JsonWriter(QIODevice &out);

    // A container as the document, as an element of an array or after key().
    void beginObject();
    void beginArray();
    // Closes the innermost container.
    void end();
    // The key of the next value in an object.
    JsonWriter &key(const char *name);
    void null();
    void value(bool b);
    void value(int number);
    void value(qint64 number);
    void value(double number);
    void value(const QString &text);
    // Ends the document with a line break and writes out what is buffered;
    // false when a write failed (the device says why).
    bool finish();

private:
    // `text` as a JSON string's content, escaped as QJsonDocument does.
    static void escape(const QString &text, QByteArray &into);

    struct Level
    {
        char close;
        int count;
    };
    static constexpr int kFlushAt = 64 * 1024;

    void begin(char open, char close);
    void element();
    void indent();
    void put(const char *text, qsizetype size);
    void put(const QByteArray &text) { put(text.constData(), text.size()); }
    void flush();

    QIODevice &m_out;
    QByteArray m_buffer;
    std::vector<Level> m_levels;
    bool m_afterKey = false;
    bool m_failed = false;
};
