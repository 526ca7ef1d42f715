// SPDX-License-Identifier: MIT
#include "number_text.h"

#include <QLocale>

#include <cmath>

namespace {

// Beyond this the text is the shortest one that reads back as the value.
constexpr int kMostDecimals = 15;

int side(double a, double b)
{
    return (a > b) - (a < b);
}

} // namespace

QString NumberText::plain(double value, int decimals)
{
    if (!std::isfinite(value))
        return QStringLiteral("—");
    QString text = QString::number(value, 'f', decimals);
    // A value that rounds to zero prints without its sign.
    if (text.startsWith(QLatin1Char('-')) && text.toDouble() == 0.0)
        text.remove(0, 1);
    return text;
}

int NumberText::decimals(double value, double limit)
{
    if (!std::isfinite(value) || !std::isfinite(limit))
        return 1;
    const int wanted = side(value, limit);
    for (int d = 1; d <= kMostDecimals; ++d) {
        if (side(QString::number(value, 'f', d).toDouble(), limit) == wanted)
            return d;
    }
    return -1;
}

QString NumberText::judged(double value, double limit)
{
    const int d = decimals(value, limit);
    if (d < 0)
        return QString::number(value, 'g', QLocale::FloatingPointShortest);
    return plain(value, d);
}

QString NumberText::judgedMagnitude(double value, double limit)
{
    const int d = decimals(std::abs(value), limit);
    if (d < 0)
        return QString::number(value, 'g', QLocale::FloatingPointShortest);
    return plain(value, d);
}
