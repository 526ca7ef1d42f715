// SPDX-License-Identifier: MIT
#include "run_lines.h"

#include "check_limits.h"
#include "verdict.h"

#include <algorithm>
#include <cmath>

namespace {

QString statistic(const char *name, const CheckReport::Statistic &s)
{
    return QStringLiteral("%1 mean %2 SD %3")
        .arg(QLatin1String(name))
        .arg(s.mean, 0, 'f', 1)
        .arg(s.sd ? QString::number(*s.sd, 'f', 1) : QStringLiteral("-"));
}

QString line(const QString &what, const QString &verdict, const QString &text)
{
    return QStringLiteral("%1 %2 %3").arg(what, -7).arg(verdict, -11).arg(text).trimmed();
}

} // namespace

QString RunLines::found(const CheckReport::PlanStep &step)
{
    if (step.leakTest && step.leakTest->rateMmHgPerMin)
        return QStringLiteral("hold %1 mmHg, leak %2 mmHg/min")
            .arg(CheckLimits::text(step.leakTest->holdMmHg.value_or(0)))
            .arg(*step.leakTest->rateMmHgPerMin, 0, 'f', 1);
    if (!step.points.isEmpty()) {
        int recorded = 0;
        double largest = 0;
        for (const CheckReport::PlannedPoint &point : step.points) {
            if (!point.recorded)
                continue;
            ++recorded;
            largest = std::max(largest, std::abs(point.recorded->errorMmHg));
        }
        return QStringLiteral("%1 of %2 points, largest error %3 mmHg")
            .arg(recorded)
            .arg(step.points.size())
            .arg(largest, 0, 'f', 1);
    }
    if (step.series)
        return QStringLiteral("%1 of %2 results; %3; %4")
            .arg(step.series->count)
            .arg(step.count)
            .arg(statistic("systolic", step.series->systolic),
                 statistic("diastolic", step.series->diastolic));
    return QString();
}

QStringList RunLines::of(const PlanRunner::Outcome &outcome)
{
    const CheckReport &report = outcome.report;
    QStringList lines;
    for (const CheckReport::PlanStep &step : report.steps)
        lines << line(step.step, verdictName(step.verdict).toUpper(),
                      step.reason.isEmpty() ? found(step) : step.reason);
    lines << line(QStringLiteral("run"), verdictName(report.verdict).toUpper(), outcome.reason);
    for (const QString &file : {outcome.files.pdf, outcome.files.json, outcome.files.trace})
        lines << line(QStringLiteral("saved"), file, QString());
    return lines;
}
