// SPDX-License-Identifier: MIT
#include "curve_line.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

QPainterPath CurveLine::path(const QList<QPointF> &points)
{
    QPainterPath path;
    if (points.isEmpty())
        return path;
    path.moveTo(points.first());
    qsizetype i = 0;
    while (i < points.size()) {
        const int column = int(std::floor(points.at(i).x()));
        qsizetype top = i, bottom = i, last = i;
        while (last + 1 < points.size() && int(std::floor(points.at(last + 1).x())) == column) {
            ++last;
            top = points.at(last).y() < points.at(top).y() ? last : top;
            bottom = points.at(last).y() > points.at(bottom).y() ? last : bottom;
        }
        // QPainterPath leaves out a line to the point it is at.
        for (const qsizetype k : {i, std::min(top, bottom), std::max(top, bottom), last})
            path.lineTo(points.at(k));
        i = last + 1;
    }
    return path;
}

void CurveLine::draw(QPainter &painter, const QList<QPointF> &points, double width)
{
    if (points.isEmpty())
        return;
    painter.setPen(QPen(colour(), width));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path(points));
}
