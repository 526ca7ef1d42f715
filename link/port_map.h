// SPDX-License-Identifier: MIT
// The operator's binding of the port entries "COM1" to "COM8" to devices: the
// [ports] group of the program's settings file (INI text in UTF-8, named after
// the program's maker and title; ~/.config/Velsorin/tarnvik.conf on Linux,
// %APPDATA%\Velsorin\tarnvik.ini on Windows) laid over a table of defaults.
//
//   [ports]
//   COM5=/dev/ttyACM0
//   COM8=
//
// binds COM5 to /dev/ttyACM0 and leaves COM8 unbound (its entry stays disabled).
//
// An entry the file does not name keeps its default. The file is only read,
// never written. Bad content never stops the program: each problem is named
// once in problems() and the entries it touches keep their defaults (a file
// that is no plain file, cannot be read, is not UTF-8 text or is not in the
// settings format; a value that is no device name) or stay unbound (two
// entries on the same device). An entry given twice is named; its last line
// counts. Only a plain file is opened: a FIFO or a device in the file's place
// is named, never read. The result is a PortTable for QtSerialPort.
#pragma once

#include "port_table.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

class QSettings;
class QVariant;

class PortMap
{
public:
    // How device names look: paths on POSIX systems, "COMnn" on Windows.
    enum class Syntax { Posix, Windows };
    static Syntax hostSyntax();

    // The settings file in the platform's standard place (where QSettings keeps
    // it), whether or not it exists; named without opening it.
    static QString standardFile();
    // The standard file over the platform's table.
    static PortMap load();
    // `file` over `defaults`; a file that does not exist leaves the defaults
    // as they are and is no problem.
    static PortMap load(const QString &file, const PortTable &defaults,
                        Syntax syntax = hostSyntax());

    // No file: an empty table and no problems.
    PortMap();

    const PortTable &table() const { return m_table; }
    QString file() const { return m_file; }
    // One line per problem, in words for the operator; empty when all is well.
    QStringList problems() const { return m_problems; }

private:
    // What the file's own lines say, beside what QSettings reads from them.
    struct RawEntries
    {
        QHash<int, QString> values; // the last value of each entry of [ports], as written
        QHash<int, int> count;      // how often each entry of [ports] is given
        QString brokenLine;         // the first line of no settings file's form, in words
    };
    static constexpr qint64 kMaxFileSize = 1 << 20;

    static QString readText(const QString &file, std::optional<QString> &text);
    static RawEntries scanText(const QString &text);
    static QString valueOf(const QVariant &read, const QString &written, Syntax syntax);
    void bindEntries(const QSettings &settings, const RawEntries &raw, Syntax syntax);
    bool bindEntry(int port, const QString &value, QStringList &devices, Syntax syntax);
    static bool isDeviceName(const QString &value, Syntax syntax);
    static QString sameDeviceKey(const QString &device, Syntax syntax);
    void unbindDuplicates(const QStringList &fromFile, Syntax syntax);

    PortTable m_table;
    QString m_file;
    QStringList m_problems;
};
