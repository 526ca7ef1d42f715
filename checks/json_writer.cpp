// SPDX-License-Identifier: MIT
#include "json_writer.h"

#include <QLocale>

#include <cmath>

namespace {

char hexDigit(unsigned value)
{
    return "0123456789abcdef"[value & 0xf];
}

void escapeCodeUnit(char16_t unit, QByteArray &into)
{
    const char text[] = {
        '\\', 'u', hexDigit(unit >> 12), hexDigit(unit >> 8), hexDigit(unit >> 4), hexDigit(unit)};
    into.append(text, sizeof text);
}

void escapeAscii(char16_t unit, QByteArray &into)
{
    switch (unit) {
    case u'"':
        into.append("\\\"");
        return;
    case u'\\':
        into.append("\\\\");
        return;
    case u'\b':
        into.append("\\b");
        return;
    case u'\f':
        into.append("\\f");
        return;
    case u'\n':
        into.append("\\n");
        return;
    case u'\r':
        into.append("\\r");
        return;
    case u'\t':
        into.append("\\t");
        return;
    default:
        break;
    }
    if (unit < 0x20)
        escapeCodeUnit(unit, into);
    else
        into.append(char(unit));
}

// A code point from U+0080 on as UTF-8.
void appendUtf8(char32_t point, QByteArray &into)
{
    if (point < 0x800) {
        into.append(char(0xc0 | (point >> 6)));
    } else if (point < 0x10000) {
        into.append(char(0xe0 | (point >> 12)));
        into.append(char(0x80 | ((point >> 6) & 0x3f)));
    } else {
        into.append(char(0xf0 | (point >> 18)));
        into.append(char(0x80 | ((point >> 12) & 0x3f)));
        into.append(char(0x80 | ((point >> 6) & 0x3f)));
    }
    into.append(char(0x80 | (point & 0x3f)));
}

} // namespace

JsonWriter::JsonWriter(QIODevice &out)
    : m_out(out)
{
    m_buffer.reserve(kFlushAt + 4096);
}

void JsonWriter::escape(const QString &text, QByteArray &into)
{
    const char16_t *at = reinterpret_cast<const char16_t *>(text.constData());
    const char16_t *const end = at + text.size();
    while (at != end) {
        const char16_t unit = *at++;
        if (unit < 0x80) {
            escapeAscii(unit, into);
        } else if (!QChar::isSurrogate(unit)) {
            appendUtf8(unit, into);
        } else if (QChar::isHighSurrogate(unit) && at != end && QChar::isLowSurrogate(*at)) {
            appendUtf8(QChar::surrogateToUcs4(unit, *at++), into);
        } else {
            escapeCodeUnit(unit, into); // a surrogate that is not half of a pair
        }
    }
}

void JsonWriter::beginObject()
{
    begin('{', '}');
}

void JsonWriter::beginArray()
{
    begin('[', ']');
}

void JsonWriter::begin(char open, char close)
{
    element();
    const char text[] = {open, '\n'};
    put(text, sizeof text);
    m_levels.push_back({close, 0});
}

void JsonWriter::end()
{
    const Level level = m_levels.back();
    m_levels.pop_back();
    if (level.count > 0)
        put("\n", 1);
    indent();
    put(&level.close, 1);
}

// Before a value: its separator and indent in an array; nothing after a key
// or for the document itself.
void JsonWriter::element()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_levels.empty())
        return;
    Level &level = m_levels.back();
    if (level.count++ > 0)
        put(",\n", 2);
    indent();
}

void JsonWriter::indent()
{
    m_buffer.append(4 * qsizetype(m_levels.size()), ' ');
}

JsonWriter &JsonWriter::key(const char *name)
{
    element();
    put("\"", 1);
    for (const char *at = name; *at; ++at) {
        const auto latin1 = static_cast<unsigned char>(*at);
        latin1 < 0x80 ? escapeAscii(latin1, m_buffer) : appendUtf8(latin1, m_buffer);
    }
    put("\": ", 3);
    m_afterKey = true;
    return *this;
}

void JsonWriter::null()
{
    element();
    put("null", 4);
}

void JsonWriter::value(bool b)
{
    element();
    b ? put("true", 4) : put("false", 5);
}

void JsonWriter::value(int number)
{
    value(qint64(number));
}

void JsonWriter::value(qint64 number)
{
    element();
    put(QByteArray::number(number));
}

void JsonWriter::value(double number)
{
    // As QJsonValue(double) keeps it: whole numbers a double holds exactly
    // are integers (-0 is 0).
    constexpr double kExact = 9007199254740992.0; // 2^53
    if (!std::isfinite(number)) {
        null();
    } else if (std::trunc(number) == number && std::abs(number) <= kExact) {
        value(qint64(number));
    } else {
        element();
        put(QByteArray::number(number, 'g', QLocale::FloatingPointShortest));
    }
}

void JsonWriter::value(const QString &text)
{
    element();
    put("\"", 1);
    escape(text, m_buffer);
    put("\"", 1);
}

bool JsonWriter::finish()
{
    put("\n", 1);
    flush();
    return !m_failed;
}

void JsonWriter::put(const char *text, qsizetype size)
{
    m_buffer.append(text, size);
    if (m_buffer.size() >= kFlushAt)
        flush();
}

void JsonWriter::flush()
{
    if (!m_failed && !m_buffer.isEmpty())
        m_failed = m_out.write(m_buffer) != m_buffer.size();
    m_buffer.resize(0); // keeps its room
}
