// SPDX-License-Identifier: MIT
#include "clock_text.h"

namespace ClockText {

QString withoutTimeZone(const QString &format)
{
    QString out;
    bool quoted = false;
    bool afterZone = false; // a zone field was just removed
    bool blankDropped = false;
    for (const QChar c : format) {
        const bool blank = c == QLatin1Char(' ');
        if (!quoted && c == QLatin1Char('t')) {
            while (out.endsWith(QLatin1Char(' '))) {
                out.chop(1);
                blankDropped = true;
            }
            afterZone = true;
            continue;
        }
        if (afterZone && !quoted && blank) {
            blankDropped = true;
            continue;
        }
        // Keep one blank where the zone field stood between two other parts.
        if (afterZone && blankDropped && !out.isEmpty())
            out += QLatin1Char(' ');
        afterZone = false;
        blankDropped = false;
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        out += c;
    }
    return out;
}

QString format(const QLocale &locale)
{
    return withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
}

QString text(const QTime &time, const QLocale &locale)
{
    return locale.toString(time, format(locale));
}

} // namespace ClockText
