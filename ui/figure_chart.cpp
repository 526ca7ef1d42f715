// SPDX-License-Identifier: MIT
#include "figure_chart.h"

#include "verdict_palette.h"

#include <QDateTime>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr QRgb kPointInk = 0x1f4e99;
constexpr QRgb kFrame = 0x808080;
constexpr int kPad = 6;
constexpr qint64 kHourMs = 3600 * 1000;

QColor failInk()
{
    return QColor(QRgb(VerdictPalette::of(Verdict::Fail).ink));
}

// A leak rate above its limit, a static error larger than its limit either way.
bool beyond(double value, const std::optional<double> &limit, bool bothWays)
{
    return limit && (bothWays ? std::abs(value) : value) > *limit;
}

QString number(double value)
{
    return QString::number(value, 'f', std::abs(value) < 10 ? 1 : 0);
}

} // namespace

double FigureChart::Scale::x(qint64 ms) const
{
    return plot.left() + plot.width() * double(ms - firstMs) / double(lastMs - firstMs);
}

double FigureChart::Scale::y(double value) const
{
    return plot.bottom() - plot.height() * (value - low) / (high - low);
}

FigureChart::FigureChart(QWidget *parent)
    : QWidget(parent)
{
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void FigureChart::setFigures(const QList<RunFigures> &figures)
{
    m_leak.clear();
    m_static.clear();
    for (const RunFigures &run : figures) {
        if (run.leakMmHgPerMin)
            m_leak << Point{run.startedMs, *run.leakMmHgPerMin, run.leakLimitMmHgPerMin};
        if (run.staticErrorMmHg)
            m_static << Point{run.startedMs, *run.staticErrorMmHg, run.staticLimitMmHg};
    }
    m_firstMs = figures.isEmpty() ? 0 : figures.constFirst().startedMs;
    m_lastMs = figures.isEmpty() ? 0 : figures.constLast().startedMs;
    for (const RunFigures &run : figures) {
        m_firstMs = std::min(m_firstMs, run.startedMs);
        m_lastMs = std::max(m_lastMs, run.startedMs);
    }
    update();
}

const QList<FigureChart::Point> &FigureChart::points(Series series) const
{
    return series == Series::LeakRate ? m_leak : m_static;
}

int FigureChart::pointCount(Series series) const
{
    return int(points(series).size());
}

int FigureChart::limitCount(Series series) const
{
    const QList<Point> &list = points(series);
    return int(std::count_if(list.begin(), list.end(),
                             [](const Point &point) { return point.limit.has_value(); }));
}

QSize FigureChart::sizeHint() const
{
    return {640, 320};
}

QSize FigureChart::minimumSizeHint() const
{
    return {240, 8 * fontMetrics().lineSpacing()};
}

FigureChart::Scale FigureChart::scaleOf(Series series, const QRectF &plot) const
{
    Scale scale{plot, m_firstMs, m_lastMs, 0.0, 0.0};
    if (scale.lastMs == scale.firstMs) {
        scale.firstMs -= kHourMs;
        scale.lastMs += kHourMs;
    }
    double largest = 0.0;
    double smallest = 0.0;
    for (const Point &point : points(series)) {
        largest = std::max({largest, point.value, point.limit.value_or(0.0)});
        smallest = std::min(smallest, point.value);
        if (series == Series::StaticError)
            largest = std::max(largest, std::abs(point.value));
    }
    if (series == Series::StaticError)
        smallest = -largest;
    const double margin = std::max(largest - smallest, 1.0) * 0.08;
    scale.low = smallest - (smallest < 0 ? margin : 0.0);
    scale.high = std::max(largest, smallest + 1.0) + margin;
    return scale;
}

void FigureChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int line = fontMetrics().lineSpacing();
    if (m_leak.isEmpty() && m_static.isEmpty()) {
        painter.drawText(rect(), Qt::AlignCenter,
                         tr("No leak rate or static error in the runs found"));
        return;
    }
    const QRect area = rect().adjusted(kPad, kPad, -kPad, -kPad - line);
    const int half = area.height() / 2;
    drawPanel(painter, QRect(area.left(), area.top(), area.width(), half), Series::LeakRate);
    const QRect lower(area.left(), area.top() + half, area.width(), area.height() - half);
    drawPanel(painter, lower, Series::StaticError);
}

void FigureChart::drawPanel(QPainter &painter, const QRect &area, Series series) const
{
    const QFontMetrics metrics = fontMetrics();
    const bool leak = series == Series::LeakRate;
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(area.left(), area.top() + metrics.ascent(),
                     leak ? tr("Leak rate, mmHg/min") : tr("Largest static error, mmHg"));
    const int left = metrics.horizontalAdvance(QStringLiteral("-888.8")) + kPad;
    const QRectF plot = QRectF(area).adjusted(left, metrics.lineSpacing() + 2, -kPad, -kPad);
    const Scale scale = scaleOf(series, plot);
    drawAxes(painter, scale, series);
    painter.save();
    painter.setClipRect(plot.adjusted(-4, -4, 4, 4));
    drawLimits(painter, scale, points(series), 1.0);
    if (!leak)
        drawLimits(painter, scale, points(series), -1.0);
    drawPoints(painter, scale, series);
    painter.restore();
    if (!leak)
        drawTimes(painter, scale);
}

void FigureChart::drawAxes(QPainter &painter, const Scale &scale, Series series) const
{
    painter.setPen(QColor(kFrame));
    painter.drawRect(scale.plot);
    QList<double> marks = {scale.low, scale.high};
    if (scale.low < 0.0 && scale.high > 0.0) {
        marks << 0.0;
        painter.setPen(QPen(QColor(kFrame), 1, Qt::DotLine));
        painter.drawLine(QPointF(scale.plot.left(), scale.y(0)),
                         QPointF(scale.plot.right(), scale.y(0)));
    }
    painter.setPen(palette().color(QPalette::Text));
    const QFontMetrics metrics = fontMetrics();
    for (double mark : std::as_const(marks)) {
        const QString text = series == Series::StaticError && mark > 0
                                 ? QLatin1Char('+') + number(mark)
                                 : number(mark);
        const QRectF box(0, scale.y(mark) - metrics.height() / 2.0, scale.plot.left() - 4,
                         metrics.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, text);
    }
}

// A step line through the limits of the runs that name theirs, broken
// where a run names none; `sign` -1 draws the lower side of the static error's.
void FigureChart::drawLimits(QPainter &painter, const Scale &scale, const QList<Point> &points,
                             double sign) const
{
    QPainterPath path;
    bool open = false;
    double lastY = 0.0;
    for (const Point &point : points) {
        if (!point.limit) {
            if (open)
                path.lineTo(path.currentPosition() + QPointF(3, 0));
            open = false;
            continue;
        }
        const double x = scale.x(point.ms);
        const double y = scale.y(sign * *point.limit);
        if (!open)
            path.moveTo(x - 3, y);
        else
            path.lineTo(x, lastY);
        path.lineTo(x, y);
        lastY = y;
        open = true;
    }
    if (open)
        path.lineTo(path.currentPosition() + QPointF(3, 0));
    painter.setPen(QPen(failInk(), 1, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

void FigureChart::drawPoints(QPainter &painter, const Scale &scale, Series series) const
{
    QPolygonF within;
    QPolygonF outside;
    for (const Point &point : points(series))
        (beyond(point.value, point.limit, series == Series::StaticError) ? outside : within)
            << QPointF(scale.x(point.ms), scale.y(point.value));
    QPen pen(QColor(kPointInk), 5, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.drawPoints(within);
    pen.setColor(failInk());
    painter.setPen(pen);
    painter.drawPoints(outside);
}

void FigureChart::drawTimes(QPainter &painter, const Scale &scale) const
{
    const bool withinDays = scale.lastMs - scale.firstMs < 2 * 24 * kHourMs;
    const QString format =
        withinDays ? QStringLiteral("yyyy-MM-dd HH:mm") : QStringLiteral("yyyy-MM-dd");
    const auto text = [&](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms).toString(format);
    };
    const QRectF row(scale.plot.left(), scale.plot.bottom() + kPad, scale.plot.width(),
                     fontMetrics().lineSpacing());
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(row, Qt::AlignLeft | Qt::AlignTop, text(scale.firstMs));
    painter.drawText(row, Qt::AlignRight | Qt::AlignTop, text(scale.lastMs));
}
