// SPDX-License-Identifier: MIT
#include "artwork.h"

#include "ui_fonts.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {

const QColor kNavy(0x00, 0x00, 0x80);
const QColor kRed(0xFF, 0x00, 0x00);
const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kGrey(0x80, 0x80, 0x80);
const QColor kYellow(0xFF, 0xFF, 0x00);

// The dial in a 32 x 32 box of design units: a white face with a navy rim,
// ticks over the upper three quarters and a red needle pointing to the upper
// right, as a cuff manometer reads during a pump-up.
void drawDial(QPainter &p)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(16.0, 16.0);
    p.setPen(QPen(kNavy, 2.5));
    p.setBrush(kWhite);
    p.drawEllipse(centre, 13.5, 13.5);

    p.setPen(QPen(kGrey, 1.5, Qt::SolidLine, Qt::FlatCap));
    for (int i = 0; i <= 6; ++i) {
        const qreal angle = qDegreesToRadians(225.0 - i * 45.0);
        const QPointF dir(qCos(angle), -qSin(angle));
        p.drawLine(centre + dir * 8.5, centre + dir * 11.5);
    }

    const qreal needle = qDegreesToRadians(40.0);
    p.setPen(QPen(kRed, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(qCos(needle), -qSin(needle)) * 10.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kNavy);
    p.drawEllipse(centre, 2.5, 2.5);
    p.restore();
}

} // namespace

void Artwork::drawIcon(QPainter &painter)
{
    drawDial(painter);
}

QPixmap Artwork::iconPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.scale(size / 32.0, size / 32.0);
    drawIcon(p);
    return pixmap;
}

QIcon Artwork::icon()
{
    QIcon icon;
    icon.addPixmap(iconPixmap(32));
    icon.addPixmap(iconPixmap(16));
    return icon;
}

QPixmap Artwork::logo()
{
    QPixmap pixmap(kLogoWidth, kLogoHeight);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    p.save();
    p.translate(1.0, 3.0);
    p.scale(44.0 / 32.0, 44.0 / 32.0);
    drawDial(p);
    p.restore();

    QFont font = UiFonts::sans(22.5, true);
    p.setFont(font);
    p.setPen(kWhite);
    p.drawText(QRectF(54.0, 0.0, 166.0, 34.0), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("tarnvik"));

    // Oscillations riding on the falling cuff pressure: small, growing to the
    // mean pressure, then fading again.
    QPainterPath trace;
    const qreal left = 54.0;
    const qreal right = 214.0;
    const qreal base = 41.0;
    trace.moveTo(left, base);
    for (qreal x = left; x <= right; x += 0.5) {
        const qreal t = (x - left) / (right - left);
        const qreal envelope = qExp(-qPow((t - 0.45) / 0.22, 2.0)) * 6.0 + 0.5;
        const qreal beat = qSin(t * 2.0 * M_PI * 11.0);
        trace.lineTo(x, base - envelope * beat);
    }
    p.setPen(QPen(kYellow, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trace);
    return pixmap;
}
