// SPDX-License-Identifier: MIT
#include "legibility.h"

#include <QtMath>

#include <algorithm>
#include <cstdlib>

namespace Legibility {

static double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : qPow((channel + 0.055) / 1.055, 2.4);
}

double relativeLuminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

static double worstContrast(const QColor &background, const QList<QColor> &texts)
{
    double worst = 21.0;
    for (const QColor &text : texts)
        worst = std::min(worst, contrastRatio(background, text));
    return worst;
}

QColor background(const QColor &wanted, const QList<QColor> &texts, double minimum)
{
    if (worstContrast(wanted, texts) >= minimum)
        return wanted;
    const QColor hsl = wanted.toHsl();
    const int hue = hsl.hslHue();
    const int saturation = hsl.hslSaturation();
    const int lightness = hsl.lightness();

    QColor nearest;
    int nearestDistance = 256;
    QColor best = wanted;
    double bestContrast = worstContrast(wanted, texts);
    for (int l = 0; l <= 255; ++l) {
        const QColor candidate = QColor::fromHsl(hue, saturation, l).toRgb();
        const double contrast = worstContrast(candidate, texts);
        if (contrast >= minimum && std::abs(l - lightness) < nearestDistance) {
            nearest = candidate;
            nearestDistance = std::abs(l - lightness);
        }
        if (contrast > bestContrast) {
            bestContrast = contrast;
            best = candidate;
        }
    }
    return nearest.isValid() ? nearest : best;
}

} // namespace Legibility
