// SPDX-License-Identifier: MIT
// The window fonts. Sizes are given in points at 96 dpi; the window layout is
// in pixels at 96 dpi, so the fonts are set in pixels too (points * 96 / 72)
// and text keeps fitting its field whatever the screen's logical dpi. Arial and
// Courier are realised by their metric-compatible Liberation families.
#pragma once

#include <QFont>

namespace UiFonts {

inline constexpr const char *kSans = "Liberation Sans";
inline constexpr const char *kMono = "Liberation Mono";

// Pixel size of a point size at 96 dpi, rounded.
int pixelsAt96Dpi(qreal points);
QFont sans(qreal points, bool bold = false);
QFont mono(qreal points, bool bold = false);

} // namespace UiFonts
