// SPDX-License-Identifier: MIT
#include "chart_axes.h"

#include "axis_step.h"

#include <QPainter>

#include <algorithm>

namespace {
const QColor kGrid(0xe2, 0xe2, 0xe2);
const QColor kAxis(0x40, 0x40, 0x40);

QString tick(double value, double step)
{
    return QString::number(value, 'f', step < 1 ? 1 : 0);
}
} // namespace

ChartAxes::ChartAxes(const QRectF &box, double unit, double xMin, double xMax, double yMin,
                     double yMax, bool exactX)
    : m_plot(box.adjusted(14 * unit, 3 * unit, -4 * unit, -10 * unit))
    , m_unit(unit)
{
    if (xMax <= xMin)
        xMax = xMin + 1;
    if (yMax <= yMin)
        yMax = yMin + 10;
    m_xStep = AxisStep::nice(xMax - xMin, 8);
    if (exactX)
        m_xStep = std::max(1.0, m_xStep);
    m_xMin = exactX ? xMin : AxisStep::down(xMin, m_xStep);
    m_xMax = exactX ? xMax : AxisStep::up(xMax, m_xStep);
    m_yStep = AxisStep::nice(yMax - yMin, 5);
    m_yMin = AxisStep::down(yMin, m_yStep);
    m_yMax = AxisStep::up(yMax, m_yStep);
}

QPointF ChartAxes::at(double x, double y) const
{
    return {m_plot.left() + (x - m_xMin) / (m_xMax - m_xMin) * m_plot.width(),
            m_plot.bottom() - (y - m_yMin) / (m_yMax - m_yMin) * m_plot.height()};
}

void ChartAxes::draw(QPainter &painter, const QString &xTitle, const QString &yTitle) const
{
    painter.save();
    QFont font = painter.font();
    font.setPointSizeF(7);
    font.setBold(false);
    painter.setFont(font);
    const double u = m_unit;
    for (double x = AxisStep::up(m_xMin, m_xStep); x <= m_xMax + m_xStep * 1e-6; x += m_xStep) {
        const QPointF p = at(x, m_yMin);
        painter.setPen(QPen(kGrid, 0.15 * u));
        painter.drawLine(p, QPointF(p.x(), m_plot.top()));
        painter.setPen(kAxis);
        painter.drawText(QRectF(p.x() - 8 * u, p.y() + 0.8 * u, 16 * u, 3.5 * u),
                         Qt::AlignHCenter | Qt::AlignTop, tick(x, m_xStep));
    }
    for (double y = m_yMin; y <= m_yMax + m_yStep * 1e-6; y += m_yStep) {
        const QPointF p = at(m_xMin, y);
        painter.setPen(QPen(kGrid, 0.15 * u));
        painter.drawLine(p, QPointF(m_plot.right(), p.y()));
        painter.setPen(kAxis);
        painter.drawText(QRectF(p.x() - 11 * u, p.y() - 1.75 * u, 10 * u, 3.5 * u),
                         Qt::AlignRight | Qt::AlignVCenter, tick(y, m_yStep));
    }
    painter.setPen(QPen(kAxis, 0.25 * u));
    painter.drawRect(m_plot);
    painter.drawText(QRectF(m_plot.left(), m_plot.bottom() + 4.5 * u, m_plot.width(), 4 * u),
                     Qt::AlignHCenter | Qt::AlignTop, xTitle);
    painter.translate(m_plot.left() - 12.5 * u, m_plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-m_plot.height() / 2, -2 * u, m_plot.height(), 4 * u), Qt::AlignCenter,
                     yTitle);
    painter.restore();
}
