// SPDX-License-Identifier: MIT
#include "plan_judgement.h"

#include "measurement_statistics.h"

namespace {

bool within(qint64 ms, const PlanJudgement::StepRun &run)
{
    return ms >= run.startMs && ms <= run.endMs;
}

QString mmHg(double value)
{
    return CheckLimits::text(value);
}

QString oneDecimal(double value)
{
    return QString::number(value, 'f', 1);
}

// "systolic: mean error 6.0 mmHg, SD 2.1 mmHg" for each failed statistic.
QStringList failedStatistics(const CheckReport::Measurements &series)
{
    QStringList failed;
    for (auto [name, stat] : {std::pair{"systolic", &series.systolic},
                              {"diastolic", &series.diastolic},
                              {"mean", &series.mean}}) {
        if (stat->verdict != Verdict::Fail)
            continue;
        failed << QStringLiteral("%1: mean error %2 mmHg, SD %3 mmHg")
                      .arg(QLatin1String(name), oneDecimal(stat->meanError.value_or(0)),
                           oneDecimal(stat->sd.value_or(0)));
    }
    return failed;
}

} // namespace

QString PlanJudgement::endingName(Ending ending)
{
    switch (ending) {
    case Ending::Done:
        return QStringLiteral("done");
    case Ending::Cancelled:
        return QStringLiteral("cancelled");
    case Ending::BoardSilent:
        return QStringLiteral("the board did not answer");
    }
    return {};
}

void PlanJudgement::judge(const TestPlan &plan, const QList<StepRun> &runs, CheckReport &report)
{
    report.plan = plan.reportPart();
    QList<CheckReport::PlanStep> steps;
    Verdict run = combined(report.overPressureVerdict, report.inflationVerdict);
    for (qsizetype i = 0; i < plan.steps().size(); ++i) {
        CheckReport::PlanStep step;
        if (i < runs.size()) {
            step = judged(plan, plan.steps().at(i), runs.at(i), report);
        } else {
            step = planned(plan.steps().at(i));
            step.ending = step.reason = QStringLiteral("not run");
        }
        run = combined(run, step.verdict);
        steps.append(step);
    }
    report.steps = steps;
    report.verdict = run;
}

// What the plan asked of the step, nothing found yet.
CheckReport::PlanStep PlanJudgement::planned(const TestPlan::Step &step)
{
    CheckReport::PlanStep part;
    part.step = TestPlan::stepName(step.kind);
    part.verdict = Verdict::Incomplete;
    switch (step.kind) {
    case TestPlan::Step::Kind::Leak:
        part.holdMinMmHg = step.leak.holdMinMmHg;
        part.holdMaxMmHg = step.leak.holdMaxMmHg;
        break;
    case TestPlan::Step::Kind::Static:
        for (double point : step.staticPressure.pointsMmHg)
            part.points.append({point, std::nullopt, Verdict::Incomplete});
        break;
    case TestPlan::Step::Kind::Series:
        part.setPoint = step.series.setPoint;
        part.count = step.series.count;
        part.pauseS = step.series.pauseS;
        break;
    }
    return part;
}

CheckReport::PlanStep PlanJudgement::judged(const TestPlan &plan, const TestPlan::Step &planned,
                                            const StepRun &run, const CheckReport &report)
{
    CheckReport::PlanStep step = PlanJudgement::planned(planned);
    step.ending = endingName(run.ending);
    step.startMs = run.startMs;
    step.endMs = run.endMs;
    QStringList why;
    if (run.ending != Ending::Done)
        why << step.ending;
    Verdict found = Verdict::None;
    switch (planned.kind) {
    case TestPlan::Step::Kind::Leak:
        found = leak(step, run, report, why);
        break;
    case TestPlan::Step::Kind::Static:
        found = points(step, run, report, why);
        break;
    case TestPlan::Step::Kind::Series:
        found = series(step, run, report, why);
        break;
    }
    found = combined(found, patientKept(plan, run, report, why));
    if (run.ending != Ending::Done)
        found = combined(found, Verdict::Incomplete);
    step.verdict = found == Verdict::None ? Verdict::Incomplete : found;
    step.reason = why.join(QStringLiteral("; "));
    return step;
}

// The last leak test that began in the step, and its hold once it settled.
Verdict PlanJudgement::leak(CheckReport::PlanStep &step, const StepRun &run,
                            const CheckReport &report, QStringList &why)
{
    for (const CheckReport::LeakTest &test : report.leakTests) {
        if (within(test.startMs, run))
            step.leakTest = test;
    }
    if (!step.leakTest) {
        why << QStringLiteral("no leak test");
        return Verdict::Incomplete;
    }
    const CheckReport::LeakTest &test = *step.leakTest;
    Verdict verdict = test.verdict;
    if (verdict == Verdict::Fail && test.rateMmHgPerMin)
        why << QStringLiteral("leak rate %1 mmHg/min above %2")
                   .arg(oneDecimal(*test.rateMmHgPerMin), mmHg(report.limits.leakMmHgPerMin));
    else if (verdict != Verdict::Pass && !test.reason.isEmpty())
        why << test.reason;
    // Before the pressure settled the peak may still be on its way up.
    if (test.windowStartMs && test.holdMmHg &&
        (*test.holdMmHg < step.holdMinMmHg || *test.holdMmHg > step.holdMaxMmHg)) {
        why << QStringLiteral("hold %1 mmHg outside %2..%3")
                   .arg(mmHg(*test.holdMmHg), mmHg(step.holdMinMmHg), mmHg(step.holdMaxMmHg));
        verdict = combined(verdict, Verdict::Fail);
    }
    return verdict;
}

// Each planned point with the reading the runner recorded for it.
Verdict PlanJudgement::points(CheckReport::PlanStep &step, const StepRun &run,
                              const CheckReport &report, QStringList &why)
{
    Verdict verdict = Verdict::None;
    QStringList missing;
    for (qsizetype i = 0; i < step.points.size(); ++i) {
        CheckReport::PlannedPoint &point = step.points[i];
        const std::optional<qint64> ms = run.pointMs.value(i);
        for (const CheckReport::StaticPoint &recorded : report.staticPoints) {
            if (ms && recorded.ms == *ms && within(recorded.ms, run))
                point.recorded = recorded;
        }
        if (!point.recorded) {
            missing << mmHg(point.plannedMmHg);
        } else {
            point.verdict = point.recorded->verdict;
            if (point.verdict == Verdict::Fail)
                why << QStringLiteral("%1 mmHg: error %2 mmHg beyond %3")
                           .arg(mmHg(point.plannedMmHg), oneDecimal(point.recorded->errorMmHg),
                                mmHg(report.limits.staticMmHg));
            else if (point.verdict == Verdict::Incomplete)
                why << QStringLiteral("%1 mmHg: %2")
                           .arg(mmHg(point.plannedMmHg), point.recorded->reason);
        }
        verdict = combined(verdict, point.verdict);
    }
    if (!missing.isEmpty())
        why << QStringLiteral("no reading for %1 mmHg").arg(missing.join(QStringLiteral(", ")));
    return verdict;
}

// The results in the step against its set point, `count` of them at least.
Verdict PlanJudgement::series(CheckReport::PlanStep &step, const StepRun &run,
                              const CheckReport &report, QStringList &why)
{
    QList<CheckReport::Measurement> results;
    for (const CheckReport::Measurement &measurement : report.measurements.list) {
        if (within(measurement.ms, run))
            results.append(measurement);
    }
    CheckLimits limits = report.limits;
    limits.seriesMinN = step.count;
    CheckReport::Measurements found = MeasurementStatistics::of(results, step.setPoint, limits);
    for (const CheckReport::Gap &gap : report.gaps) {
        if (gap.toMs >= run.startMs && gap.fromMs <= run.endMs)
            MeasurementStatistics::cannotJudge(
                found, QStringLiteral("traffic lost: %1 at %2 s")
                           .arg(gap.what, QString::number(gap.toMs / 1000.0, 'f', 1)));
    }
    if (found.count < step.count && found.reason.isEmpty())
        found.reason = QStringLiteral("%1 of %2 results").arg(found.count).arg(step.count);
    if (found.count < step.count)
        found.verdict = combined(found.verdict, Verdict::Incomplete);
    if (found.verdict == Verdict::Fail)
        why << failedStatistics(found);
    else if (found.verdict != Verdict::Pass && !found.reason.isEmpty())
        why << found.reason;
    step.series = found;
    return found.verdict;
}

// Every stretch that began in the step ran in the plan's patient mode.
Verdict PlanJudgement::patientKept(const TestPlan &plan, const StepRun &run,
                                   const CheckReport &report, QStringList &why)
{
    const QString wanted = TestPlan::patientName(plan.patient());
    for (const CheckReport::Stretch &stretch : report.overPressure) {
        const QString patient = patientModeName(stretch.patient);
        if (within(stretch.startMs, run) && patient != wanted) {
            why << QStringLiteral("a %1 ran in %2 mode; the plan is for %3")
                       .arg(stretchKindName(stretch.kind), patient, wanted);
            return Verdict::Incomplete;
        }
    }
    return Verdict::None;
}
