// SPDX-License-Identifier: MIT
// A chart's frame: the plot area inside a box, value ranges with tick steps
// of 1, 2 or 5 times a power of ten (AxisStep, as the curve tool's axes),
// grid, tick labels and axis titles, and the mapping from values to the
// painter's device units. `unit` is device units per millimetre, so that
// lines and text keep their size on any device.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;

class ChartAxes
{
public:
    // The ranges widen to whole tick steps; with `exactX` the x range stays as
    // given and counts things: its ticks are whole numbers.
    ChartAxes(const QRectF &box, double unit, double xMin, double xMax, double yMin, double yMax,
              bool exactX = false);

    void draw(QPainter &painter, const QString &xTitle, const QString &yTitle) const;
    QPointF at(double x, double y) const;
    const QRectF &plot() const { return m_plot; }
    double unit() const { return m_unit; }

private:
    QRectF m_plot;
    double m_unit;
    double m_xMin, m_xMax, m_xStep;
    double m_yMin, m_yMax, m_yStep;
};
