// SPDX-License-Identifier: MIT
// The cuff pressure over time as a line: how a pressure curve is drawn, once,
// for the curve tool's picture and for the report's charts (a measurement's
// curve and the leak test's). The caller places each reading in its plot, in
// the painter's device units, oldest first; the line goes through them in
// the curve's blue. Where many readings fall into one device column, only the
// first, the highest, the lowest and the last of them are drawn: the picture
// is the same, and a long curve costs no more to draw than the plot is wide.
#pragma once

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QPointF>

class QPainter;

class CurveLine
{
public:
    static QColor colour() { return QColor(0x1f, 0x5f, 0xbf); }

    // The line through `points`; empty when there is none.
    static QPainterPath path(const QList<QPointF> &points);
    // Strokes that line `width` device units wide, unfilled.
    static void draw(QPainter &painter, const QList<QPointF> &points, double width);
};
