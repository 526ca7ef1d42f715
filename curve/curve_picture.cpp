#include "curve_picture.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const QColor kBackground(0xff, 0xff, 0xff);
const QColor kGrid(0xe0, 0xe0, 0xe0);
const QColor kAxis(0x40, 0x40, 0x40);
const QColor kCurve(0x1f, 0x5f, 0xbf);

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

// A tick step of 1, 2 or 5 times a power of ten giving about `ticks` ticks.
double niceStep(double range, int ticks)
{
    const double raw = range / std::max(1, ticks);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw)
            return m * power;
    }
    return 10.0 * power;
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
    return QStringLiteral("no result in the trace");
}

} // namespace

QSize CurvePicture::panelSize(int count)
{
    return count <= 1 ? QSize(900, 380) : QSize(640, 300);
}

QImage CurvePicture::render(const QList<MeasurementCurve> &curves)
{
    const int count = int(curves.size());
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
        drawPanel(painter, area, curves.at(i), i + 1);
    }
    return image;
}

void CurvePicture::drawPanel(QPainter &painter, const QRect &area, const MeasurementCurve &curve,
                             int number)
{
    const QFontMetrics metrics = painter.fontMetrics();
    const int line = metrics.height();
    const QRect plot = area.adjusted(56, 3 * line + 18, -16, -(2 * line + 12));

    int top = 50;
    for (const MeasurementCurve::Point &point : curve.points)
        top = std::max(top, point.pressure);
    const double yStep = niceStep(top, 6);
    const double yMax = std::ceil(top / yStep) * yStep;
    const double seconds = std::max(1.0, double(curve.endMs - curve.startMs) / 1000.0);
    const double xStep = niceStep(seconds, 8);
    const double xMax = std::ceil(seconds / xStep) * xStep;
    const auto x = [&](qint64 ms) {
        return plot.left() + (double(ms - curve.startMs) / 1000.0) / xMax * plot.width();
    };
    const auto y = [&](double pressure) {
        return plot.bottom() - std::max(0.0, pressure) / yMax * plot.height();
    };

    // Title and the outcome beside the curve.
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

    // Grid, axes and their labels.
    for (double v = 0; v <= yMax + 1e-9; v += yStep) {
        painter.setPen(v == 0 ? kAxis : kGrid);
        painter.drawLine(QPointF(plot.left(), y(v)), QPointF(plot.right(), y(v)));
        painter.setPen(kAxis);
        painter.drawText(QRectF(area.left(), y(v) - line / 2.0, 50, line),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(v));
    }
    for (double s = 0; s <= xMax + 1e-9; s += xStep) {
        const double px = plot.left() + s / xMax * plot.width();
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

    // The marks, then the curve over them.
    for (const MeasurementCurve::Marker &marker : curve.marks) {
        QPen pen(markColour(marker.mark), 1.5, Qt::DashLine);
        painter.setPen(pen);
        const double px = x(marker.ms);
        painter.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
        painter.setPen(markColour(marker.mark));
        const QString name = MeasurementCurve::markName(marker.mark);
        const double width = metrics.horizontalAdvance(name) + 4;
        const double left = std::min(px + 3, plot.right() - width);
        painter.drawText(QRectF(left, plot.top() + 2, width, line), Qt::AlignLeft, name);
    }
    if (!curve.points.isEmpty()) {
        QPainterPath path;
        path.moveTo(x(curve.points.first().ms), y(curve.points.first().pressure));
        for (const MeasurementCurve::Point &point : curve.points)
            path.lineTo(x(point.ms), y(point.pressure));
        painter.setPen(QPen(kCurve, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
}
