// SPDX-License-Identifier: MIT
#include "ui_fonts.h"

#include <QtMath>

namespace UiFonts {

int pixelsAt96Dpi(qreal points)
{
    return qRound(points * 96.0 / 72.0);
}

static QFont make(const char *family, QFont::StyleHint hint, qreal points, bool bold)
{
    QFont font(QString::fromLatin1(family));
    font.setStyleHint(hint);
    font.setPixelSize(pixelsAt96Dpi(points));
    font.setBold(bold);
    return font;
}

QFont sans(qreal points, bool bold)
{
    return make(kSans, QFont::SansSerif, points, bold);
}

QFont mono(qreal points, bool bold)
{
    return make(kMono, QFont::TypeWriter, points, bold);
}

} // namespace UiFonts
