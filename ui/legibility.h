// SPDX-License-Identifier: MIT
// Contrast between colours (relative luminance and contrast ratio as used for
// screen text) and the choice of a window background that keeps texts of given
// colours legible while staying close to a wanted colour.
#pragma once

#include <QColor>
#include <QList>

namespace Legibility {

inline constexpr double kMinimumContrast = 3.0;

double relativeLuminance(const QColor &colour);
// From 1 (same luminance) to 21 (black on white); symmetric.
double contrastRatio(const QColor &a, const QColor &b);
// `wanted` itself when every text reaches `minimum` against it; otherwise the
// colour of the same hue and saturation whose lightness lets every text reach
// `minimum`, the one nearest to `wanted`; when no lightness does, the one with
// the best worst-case contrast.
QColor background(const QColor &wanted, const QList<QColor> &texts,
                  double minimum = kMinimumContrast);

} // namespace Legibility
