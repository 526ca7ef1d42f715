// SPDX-License-Identifier: MIT
#include "reply_line.h"

#include <limits>

QString ReplyLine::take(const QString &line, Field field)
{
    if (field.position < 1 || field.position > line.size())
        return {};
    return line.mid(field.position - 1, field.length);
}

bool ReplyLine::isResultLine(const QString &line)
{
    return take(line, kKind) == QLatin1String("S");
}

std::optional<qint16> ReplyLine::pressureValue(const QString &field)
{
    qsizetype begin = 0;
    qsizetype end = field.size();
    while (begin < end &&
           (field.at(begin) == QLatin1Char(' ') || field.at(begin) == QLatin1Char('\t')))
        ++begin;
    while (end > begin &&
           (field.at(end - 1) == QLatin1Char(' ') || field.at(end - 1) == QLatin1Char('\t')))
        --end;
    if (begin == end)
        return std::nullopt;

    bool negative = false;
    if (field.at(begin) == QLatin1Char('+') || field.at(begin) == QLatin1Char('-')) {
        negative = field.at(begin) == QLatin1Char('-');
        ++begin;
    }
    if (begin == end)
        return std::nullopt;

    long value = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = field.at(i).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > 32768)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(value);
}
