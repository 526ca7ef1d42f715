// SPDX-License-Identifier: MIT
#include "report_charts.h"

#include "chart_axes.h"
#include "curve_line.h"
#include "number_text.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <tuple>

namespace {

const QColor kFit(0xc0, 0x20, 0x20);
const QColor kWindow(0xf3, 0xf0, 0xdc);
const QColor kSystolic(0x1f, 0x5f, 0xbf);
const QColor kDiastolic(0x20, 0x8a, 0x40);
const QColor kText(0x30, 0x30, 0x30);
const QColor kOutlier(0xd0, 0x60, 0x00);
// Up to this many results a series shows each as a dot; beyond, each of
// kGroups groups of neighbours as the range of its values.
constexpr int kDots = 200;
constexpr int kGroups = 300;

using Result = std::pair<int, const CheckReport::Measurement *>; // number, measurement
using Pick = std::optional<int> CheckReport::Measurement::*;

// Cuff pressures as the pressure curve, in seconds since `originMs`.
void pressureLine(QPainter &painter, const ChartAxes &axes, const QList<PressureSample> &samples,
                  qint64 originMs)
{
    QList<QPointF> placed;
    placed.reserve(samples.size());
    for (const PressureSample &s : samples)
        placed.append(axes.at((s.ms - originMs) / 1000.0, s.mmHg));
    CurveLine::draw(painter, placed, 0.3 * axes.unit());
}

// The readings left out of a leak fit, each marked with an ×.
void outliers(QPainter &painter, const ChartAxes &axes, const QList<PressureSample> &samples,
              qint64 originMs)
{
    const double r = 0.9 * axes.unit();
    painter.setPen(QPen(kOutlier, 0.3 * axes.unit()));
    for (const PressureSample &s : samples) {
        const QPointF p = axes.at((s.ms - originMs) / 1000.0, s.mmHg);
        painter.drawLine(p + QPointF(-r, -r), p + QPointF(r, r));
        painter.drawLine(p + QPointF(-r, r), p + QPointF(r, -r));
    }
}

// One value of the series: a line through every result with a dot each, or
// for a long series the range (lowest to highest) of each group of results.
void seriesLine(QPainter &painter, const ChartAxes &axes, const QList<Result> &results, Pick pick,
                QColor colour)
{
    const double unit = axes.unit();
    if (results.size() > kDots) {
        const int group = (int(results.size()) + kGroups - 1) / kGroups;
        painter.setPen(QPen(colour, 0.3 * unit));
        for (int first = 0; first < results.size(); first += group) {
            const int last = std::min<int>(first + group, results.size()) - 1;
            int low = *(results.at(first).second->*pick), high = low;
            for (int i = first; i <= last; ++i) {
                low = std::min(low, *(results.at(i).second->*pick));
                high = std::max(high, *(results.at(i).second->*pick));
            }
            const double x = (results.at(first).first + results.at(last).first) / 2.0;
            painter.drawLine(axes.at(x, low - 0.3), axes.at(x, high + 0.3));
        }
        return;
    }
    QPainterPath path;
    for (int i = 0; i < results.size(); ++i) {
        const QPointF p = axes.at(results.at(i).first, *(results.at(i).second->*pick));
        i == 0 ? path.moveTo(p) : path.lineTo(p);
    }
    painter.setPen(QPen(colour, 0.3 * unit));
    painter.drawPath(path);
    painter.setBrush(colour);
    for (const auto &[number, m] : results)
        painter.drawEllipse(axes.at(number, *(m->*pick)), 0.7 * unit, 0.7 * unit);
    painter.setBrush(Qt::NoBrush);
}

void title(QPainter &painter, const QRectF &box, double unit, const QString &text)
{
    QFont font = painter.font();
    font.setPointSizeF(7.5);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(kText);
    painter.drawText(
        QRectF(box.left() + 14 * unit, box.top() - 0.5 * unit, box.width(), 3.5 * unit),
        Qt::AlignLeft | Qt::AlignTop, text);
    font.setBold(false);
    painter.setFont(font);
}

void legend(QPainter &painter, QPointF at, double unit, QColor colour, const QString &text)
{
    painter.setPen(QPen(colour, 0.5 * unit));
    painter.drawLine(at, at + QPointF(5 * unit, 0));
    painter.setPen(kText);
    painter.drawText(QRectF(at.x() + 6 * unit, at.y() - 1.75 * unit, 40 * unit, 3.5 * unit),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
}

} // namespace

void ReportCharts::leakStretch(QPainter &painter, const QRectF &box, double unit,
                               const CheckReport::LeakTest &test)
{
    int top = 50;
    for (const QList<PressureSample> *list : {&test.samples, &test.outliers}) {
        for (const PressureSample &s : *list)
            top = std::max(top, s.mmHg);
    }
    const double seconds = std::max(1.0, (test.endMs - test.startMs) / 1000.0);
    const ChartAxes axes(box.adjusted(0, 3.5 * unit, 0, 0), unit, 0, seconds, 0, top * 1.05);
    if (test.windowStartMs) {
        const double from = (*test.windowStartMs - test.startMs) / 1000.0;
        const QRectF band(axes.at(from, 0), axes.at(from + test.windowS, top * 1.05));
        painter.fillRect(band.normalized().intersected(axes.plot()), kWindow);
    }
    axes.draw(painter, QStringLiteral("s since Leak Test"), QStringLiteral("mmHg"));
    pressureLine(painter, axes, test.samples, test.startMs);
    outliers(painter, axes, test.outliers, test.startMs);
    title(painter, box, unit, QStringLiteral("Whole leak test (window shaded)"));
}

void ReportCharts::leakWindow(QPainter &painter, const QRectF &box, double unit,
                              const CheckReport::LeakTest &test, double limit)
{
    title(painter, box, unit, QStringLiteral("Measuring window and fitted line"));
    if (!test.windowStartMs || test.windowS <= 0) {
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("The pressure never settled"));
        return;
    }
    const qint64 from = *test.windowStartMs;
    const qint64 to = from + qRound64(test.windowS * 1000);
    QList<PressureSample> window;
    int low = 1000, high = -1000;
    for (const PressureSample &s : test.samples) {
        if (s.ms < from || s.ms > to)
            continue;
        window.append(s);
        low = std::min(low, s.mmHg);
        high = std::max(high, s.mmHg);
    }
    if (window.isEmpty())
        return;
    for (const PressureSample &s : test.outliers) {
        low = std::min(low, s.mmHg);
        high = std::max(high, s.mmHg);
    }
    const ChartAxes axes(box.adjusted(0, 3.5 * unit, 0, 0), unit, 0, test.windowS, low - 2,
                         high + 2);
    axes.draw(painter, QStringLiteral("s since the window began"), QStringLiteral("mmHg"));
    pressureLine(painter, axes, window, from);
    outliers(painter, axes, test.outliers, from);
    const QPointF corner = axes.plot().topRight() + QPointF(-45 * unit, 3 * unit);
    if (!test.outliers.isEmpty())
        legend(painter, corner + QPointF(0, 4 * unit), unit, kOutlier,
               QStringLiteral("× left out of the fit"));
    if (test.rateMmHgPerMin) {
        const double end = test.fitStartMmHg - *test.rateMmHgPerMin * test.windowS / 60.0;
        painter.setPen(QPen(kFit, 0.35 * unit, Qt::DashLine));
        painter.drawLine(axes.at(0, test.fitStartMmHg), axes.at(test.windowS, end));
        legend(painter, corner, unit, kFit,
               QStringLiteral("fit: %1 mmHg/min")
                   .arg(NumberText::judged(*test.rateMmHgPerMin, limit)));
    }
}

void ReportCharts::series(QPainter &painter, const QRectF &box, double unit,
                          const CheckReport::Measurements &measurements,
                          const std::optional<SetPoint> &setPoint, double band)
{
    // Numbered as in the report's table: a "999" keeps its number and has no point.
    QList<Result> results;
    double low = 1000, high = 0;
    for (int i = 0; i < measurements.list.size(); ++i) {
        const CheckReport::Measurement &m = measurements.list.at(i);
        if (m.ended999 || !m.systolic || !m.diastolic)
            continue;
        results.append({i + 1, &m});
        low = std::min<double>(low, *m.diastolic);
        high = std::max<double>(high, *m.systolic);
    }
    if (setPoint) {
        low = std::min(low, setPoint->diastolic - band);
        high = std::max(high, setPoint->systolic + band);
    }
    if (results.isEmpty())
        return;
    const ChartAxes axes(box.adjusted(0, 3.5 * unit, 0, 0), unit, 0.5,
                         measurements.list.size() + 0.5, low - 5, high + 5, true);
    if (setPoint) {
        for (double value : {setPoint->systolic, setPoint->diastolic}) {
            const QRectF area(axes.at(0.5, value + band),
                              axes.at(measurements.list.size() + 0.5, value - band));
            painter.fillRect(area.normalized().intersected(axes.plot()), QColor(0xee, 0xee, 0xee));
        }
    }
    axes.draw(painter, QStringLiteral("measurement"), QStringLiteral("mmHg"));
    QString heading =
        setPoint ? QStringLiteral("Systolic and diastolic against the set point (band ±%1 mmHg)")
                       .arg(CheckLimits::text(band))
                 : QStringLiteral("Systolic and diastolic per measurement");
    if (results.size() > kDots)
        heading += QStringLiteral("; each bar the range of %1 results")
                       .arg((results.size() + kGroups - 1) / kGroups);
    title(painter, box, unit, heading);
    for (auto [colour, pick, target] :
         {std::tuple{kSystolic, &CheckReport::Measurement::systolic,
                     setPoint ? std::optional<double>(setPoint->systolic) : std::nullopt},
          std::tuple{kDiastolic, &CheckReport::Measurement::diastolic,
                     setPoint ? std::optional<double>(setPoint->diastolic) : std::nullopt}}) {
        if (target) {
            painter.setPen(QPen(colour, 0.25 * unit, Qt::DashLine));
            painter.drawLine(axes.at(0.5, *target),
                             axes.at(measurements.list.size() + 0.5, *target));
        }
        seriesLine(painter, axes, results, pick, colour);
    }
    const QPointF corner = axes.plot().topRight() + QPointF(-30 * unit, 3 * unit);
    legend(painter, corner, unit, kSystolic, QStringLiteral("systolic"));
    legend(painter, corner + QPointF(0, 4 * unit), unit, kDiastolic, QStringLiteral("diastolic"));
}

void ReportCharts::curve(QPainter &painter, const QRectF &box, double unit,
                         const CheckReport::Measurement &measurement, int number)
{
    int top = 50;
    for (const PressureSample &s : measurement.samples)
        top = std::max(top, s.mmHg);
    const qint64 origin =
        measurement.samples.isEmpty() ? measurement.ms : measurement.samples.first().ms;
    const double seconds = std::max(1.0, (measurement.ms - origin) / 1000.0);
    const ChartAxes axes(box.adjusted(0, 3.5 * unit, 0, 0), unit, 0, seconds, 0, top * 1.05);
    axes.draw(painter, QStringLiteral("s"), QStringLiteral("mmHg"));
    pressureLine(painter, axes, measurement.samples, origin);
    QString outcome = QStringLiteral("ended with 999");
    if (!measurement.ended999)
        outcome = QStringLiteral("%1/%2 (%3), pulse %4")
                      .arg(measurement.systolic.value_or(0))
                      .arg(measurement.diastolic.value_or(0))
                      .arg(measurement.mean.value_or(0))
                      .arg(measurement.pulse.value_or(0));
    title(painter, box, unit, QStringLiteral("#%1  %2").arg(number).arg(outcome));
}
