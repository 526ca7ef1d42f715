// SPDX-License-Identifier: MIT
#include "curve_picture.h"

#include "axis_step.h"
#include "curve_line.h"

#include <QFont>
#include <QPainter>

#include <algorithm>

namespace {

const QColor kBackground(0xff, 0xff, 0xff);
const QColor kGrid(0xe0, 0xe0, 0xe0);
const QColor kAxis(0x40, 0x40, 0x40);

QColor markColour(MeasurementCurve::Mark mark)
{
    switch (mark) {
    case MeasurementCurve::Mark::Start:
        return QColor(0x20, 0x90, 0x30);
    case MeasurementCurve::Mark::Break:
        return QColor(0xd0, 0x70, 0x00);
    case MeasurementCurve::Mark::Result:
        return QColor(0x30, 0x30, 0x30);
    case MeasurementCurve::Mark::Aborted:
        return QColor(0xc0, 0x10, 0x10);
    }
    return kAxis;
}

QString outcome(const MeasurementCurve &curve)
{
    if (curve.result)
        return QStringLiteral("SYS %1  DIA %2  MAP %3 mmHg   Pulse %4 /min")
            .arg(curve.result->systolic, curve.result->diastolic, curve.result->mean,
                 curve.result->pulse);
    for (const MeasurementCurve::Marker &marker : curve.marks) {
        if (marker.mark == MeasurementCurve::Mark::Aborted)
            return QStringLiteral("ended with 999: no result");
        if (marker.mark == MeasurementCurve::Mark::Break)
            return QStringLiteral("broken off: no result");
    }
    if (curve.cut)
        return QStringLiteral("cut after %1 pressures: no end in the trace")
            .arg(curve.points.size());
    return QStringLiteral("no result in the trace");
}

// The plot area of a panel and where a time and a pressure fall in it: the
// seconds since the measurement began across, mmHg up, both on round steps.
struct PanelScale
{
    PanelScale(const QRect &plotArea, const MeasurementCurve &curve)
        : plot(plotArea)
        , startMs(curve.startMs)
    {
        int top = 50;
        for (const MeasurementCurve::Point &point : curve.points)
            top = std::max(top, point.pressure);
        yStep = AxisStep::nice(top, 6);
        yMax = AxisStep::up(top, yStep);
        const double seconds = std::max(1.0, double(curve.endMs - curve.startMs) / 1000.0);
        xStep = AxisStep::nice(seconds, 8);
        xMax = AxisStep::up(seconds, xStep);
    }
    double x(qint64 ms) const
    {
        return plot.left() + (double(ms - startMs) / 1000.0) / xMax * plot.width();
    }
    double y(double pressure) const
    {
        return plot.bottom() - std::max(0.0, pressure) / yMax * plot.height();
    }

    QRect plot;
    qint64 startMs;
    double yStep = 1, yMax = 1, xStep = 1, xMax = 1;
};

// The curve's points placed in the panel.
QList<QPointF> placed(const PanelScale &scale, const QList<MeasurementCurve::Point> &points)
{
    QList<QPointF> placed;
    placed.reserve(points.size());
    for (const MeasurementCurve::Point &point : points)
        placed.append(QPointF(scale.x(point.ms), scale.y(point.pressure)));
    return placed;
}

// The title and, below it, the outcome in bold.
void drawHeading(QPainter &painter, const QRect &area, const MeasurementCurve &curve, int number)
{
    const int line = painter.fontMetrics().height();
    painter.setPen(kAxis);
    painter.drawText(QRect(area.left() + 8, area.top() + 6, area.width() - 16, line),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Measurement %1  (%2, at %3 s of the trace)")
                         .arg(number)
                         .arg(curve.port)
                         .arg(double(curve.startMs) / 1000.0, 0, 'f', 1));
    QFont bold = painter.font();
    bold.setBold(true);
    painter.save();
    painter.setFont(bold);
    painter.setPen(curve.result ? kAxis : markColour(MeasurementCurve::Mark::Aborted));
    painter.drawText(QRect(area.left() + 8, area.top() + 6 + line, area.width() - 16, line),
                     Qt::AlignLeft | Qt::AlignVCenter, outcome(curve));
    painter.restore();
}

// The grid, the axes and their labels.
void drawAxes(QPainter &painter, const QRect &area, const PanelScale &scale)
{
    const int line = painter.fontMetrics().height();
    const QRect &plot = scale.plot;
    for (double v = 0; v <= scale.yMax + 1e-9; v += scale.yStep) {
        painter.setPen(v == 0 ? kAxis : kGrid);
        painter.drawLine(QPointF(plot.left(), scale.y(v)), QPointF(plot.right(), scale.y(v)));
        painter.setPen(kAxis);
        painter.drawText(QRectF(area.left(), scale.y(v) - line / 2.0, 50, line),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(v));
    }
    for (double s = 0; s <= scale.xMax + 1e-9; s += scale.xStep) {
        const double px = plot.left() + s / scale.xMax * plot.width();
        painter.setPen(s == 0 ? kAxis : kGrid);
        painter.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
        painter.setPen(kAxis);
        painter.drawText(QRectF(px - 30, plot.bottom() + 4, 60, line), Qt::AlignCenter,
                         QString::number(s));
    }
    painter.drawText(QRect(plot.left(), plot.bottom() + 4 + line, plot.width(), line),
                     Qt::AlignCenter, QStringLiteral("s"));
    painter.drawText(QRect(area.left() + 4, plot.top() - line - 8, 60, line),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("mmHg"));
}

// START, Break, result and "999" as dashed vertical lines with their names.
void drawMarks(QPainter &painter, const PanelScale &scale, const MeasurementCurve &curve)
{
    const QFontMetrics metrics = painter.fontMetrics();
    const QRect &plot = scale.plot;
    for (const MeasurementCurve::Marker &marker : curve.marks) {
        painter.setPen(QPen(markColour(marker.mark), 1.5, Qt::DashLine));
        const double px = scale.x(marker.ms);
        painter.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
        painter.setPen(markColour(marker.mark));
        const QString name = MeasurementCurve::markName(marker.mark);
        const double width = metrics.horizontalAdvance(name) + 4;
        const double left = std::min(px + 3, plot.right() - width);
        painter.drawText(QRectF(left, plot.top() + 2, width, metrics.height()), Qt::AlignLeft,
                         name);
    }
}

} // namespace

QSize CurvePicture::panelSize(int count)
{
    return count <= 1 ? QSize(900, 380) : QSize(640, 300);
}

QImage CurvePicture::render(const QList<MeasurementCurve> &curves, int firstNumber)
{
    const int count = int(std::min<qsizetype>(curves.size(), kPageSize));
    const QSize panel = panelSize(count);
    const int columns = std::clamp(count <= 2 ? 1 : count <= 8 ? 2 : kMaxColumns, 1, kMaxColumns);
    const int rows = std::max(1, (count + columns - 1) / columns);
    QImage image(panel.width() * columns, panel.height() * rows, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    if (curves.isEmpty()) {
        painter.setPen(kAxis);
        painter.drawText(image.rect(), Qt::AlignCenter,
                         QStringLiteral("No measurement in the trace"));
        return image;
    }
    for (int i = 0; i < count; ++i) {
        const QRect area(QPoint((i % columns) * panel.width(), (i / columns) * panel.height()),
                         panel);
        drawPanel(painter, area, curves.at(i), firstNumber + i);
    }
    return image;
}

void CurvePicture::drawPanel(QPainter &painter, const QRect &area, const MeasurementCurve &curve,
                             int number)
{
    const int line = painter.fontMetrics().height();
    const PanelScale scale(area.adjusted(56, 3 * line + 18, -16, -(2 * line + 12)), curve);
    drawHeading(painter, area, curve, number);
    drawAxes(painter, area, scale);
    drawMarks(painter, scale, curve);
    CurveLine::draw(painter, placed(scale, curve.points), 2);
}
