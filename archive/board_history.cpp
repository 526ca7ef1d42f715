// SPDX-License-Identifier: MIT
#include "board_history.h"

#include <QLocale>

QString BoardHistory::ordinal(int n)
{
    const int lastTwo = n % 100;
    const char *suffix = "th";
    if (lastTwo < 11 || lastTwo > 13) {
        switch (n % 10) {
        case 1:
            suffix = "st";
            break;
        case 2:
            suffix = "nd";
            break;
        case 3:
            suffix = "rd";
            break;
        default:
            break;
        }
    }
    return QString::number(n) + QLatin1String(suffix);
}

QString BoardHistory::sentence() const
{
    if (!last)
        return QStringLiteral("1st run of this board");
    QString text =
        QStringLiteral("%1 run of this board; last: %2 on %3")
            .arg(ordinal(earlierRuns + 1), last->verdict.toUpper(), last->started.left(10));
    const QLocale c = QLocale::c();
    if (last->leakMmHgPerMin)
        text += QStringLiteral(", leak %1 mmHg/min").arg(c.toString(*last->leakMmHgPerMin, 'f', 1));
    if (last->staticErrorMmHg)
        text += QStringLiteral(", static error %1 mmHg")
                    .arg(c.toString(*last->staticErrorMmHg, 'f', 1));
    return text;
}
