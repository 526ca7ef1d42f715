// SPDX-License-Identifier: MIT
// The verdict of a run under a test plan, on hand-built check reports: each
// step's rule and its boundaries (a hold on hold_min and hold_max passes, one
// mmHg outside fails; count - 1 results are incomplete), steps cancelled, cut
// short by a silent board or never reached, and the safety checks judged over
// the whole run, outside every step too.
#include "plan_judgement.h"

#include <QtTest>

#include <functional>

namespace {

using StepRun = PlanJudgement::StepRun;
using Ending = PlanJudgement::Ending;

// The built-in plan run well: a leak test from 1 s, six static points from
// 100 s, five results from 200 s; the steps' spans around them.
CheckReport goodRun()
{
    CheckReport report;
    CheckReport::LeakTest leak;
    leak.startMs = 1000;
    leak.endMs = 95000;
    leak.holdMmHg = 250;
    leak.windowStartMs = 30000;
    leak.rateMmHgPerMin = 3;
    leak.complete = true;
    leak.verdict = Verdict::Pass;
    report.leakTests << leak;
    qint64 ms = 110000;
    for (double reference : {250, 200, 150, 100, 50, 0}) {
        CheckReport::StaticPoint point;
        point.ms = ms;
        ms += 10000;
        point.referenceMmHg = reference;
        point.boardMmHg = reference + 1;
        point.errorMmHg = 1;
        point.verdict = Verdict::Pass;
        report.staticPoints << point;
    }
    for (int i = 0; i < 5; ++i) {
        CheckReport::Measurement m;
        m.ms = 210000 + i * 20000;
        m.systolic = 119 + i % 3;
        m.diastolic = 80;
        m.mean = 93;
        m.pulse = 70;
        report.measurements.list << m;
    }
    for (auto [kind, start] : {std::pair{StretchKind::LeakTest, 1000},
                               {StretchKind::Manometer, 100000},
                               {StretchKind::Measurement, 200000}}) {
        CheckReport::Stretch stretch;
        stretch.kind = kind;
        stretch.startMs = start;
        report.overPressure << stretch;
    }
    report.overPressureVerdict = Verdict::Pass;
    report.inflationVerdict = Verdict::Pass;
    return report;
}

QList<StepRun> goodRuns()
{
    StepRun leak{1000, 96000, Ending::Done, {}};
    StepRun points{100000, 180000, Ending::Done, {}};
    for (qint64 ms = 110000; ms <= 160000; ms += 10000)
        points.pointMs << ms;
    StepRun series{200000, 300000, Ending::Done, {}};
    return {leak, points, series};
}

using Change = std::function<void(CheckReport &, QList<StepRun> &)>;

// Each step as "static fail (why)", then the run's verdict.
QStringList describe(const CheckReport &report)
{
    QStringList lines;
    for (const CheckReport::PlanStep &step : report.steps)
        lines << QStringLiteral("%1 %2%3").arg(
            step.step, verdictName(step.verdict),
            step.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(step.reason));
    lines << "run " + verdictName(report.verdict);
    return lines;
}

} // namespace

Q_DECLARE_METATYPE(Change)

class PlanJudgementTest : public QObject
{
    Q_OBJECT

private slots:
    void runsJudged_data();
    void runsJudged();
    void stepsCarryWhatWasFound();
};

void PlanJudgementTest::runsJudged_data()
{
    QTest::addColumn<Change>("change"); // to the good run of the built-in plan
    QTest::addColumn<QStringList>("expected");

    const QStringList allPass{"leak pass", "static pass", "series pass", "run pass"};
    const auto hold = [](double mmHg) {
        return Change([mmHg](CheckReport &r, QList<StepRun> &) { r.leakTests[0].holdMmHg = mmHg; });
    };
    QTest::newRow("every step and the safety checks passed")
        << Change([](CheckReport &, QList<StepRun> &) {}) << allPass;
    QTest::newRow("a hold on hold_min passes") << hold(240) << allPass;
    QTest::newRow("a hold on hold_max passes") << hold(260) << allPass;
    QTest::newRow("a hold 1 mmHg below hold_min fails")
        << hold(239)
        << QStringList{"leak fail (hold 239 mmHg outside 240..260)", "static pass", "series pass",
                       "run fail"};
    QTest::newRow("a hold 1 mmHg above hold_max fails")
        << hold(261)
        << QStringList{"leak fail (hold 261 mmHg outside 240..260)", "static pass", "series pass",
                       "run fail"};
    QTest::newRow("cancelled while pumping up at 150 mmHg: incomplete, not a fail on the hold")
        << Change([](CheckReport &r, QList<StepRun> &runs) {
               r.leakTests[0] = CheckReport::LeakTest{};
               r.leakTests[0].startMs = 1000;
               r.leakTests[0].holdMmHg = 150;
               r.leakTests[0].reason = "the window ran 0.0 s of 60 s";
               runs[0].ending = Ending::Cancelled;
               runs.resize(1);
           })
        << QStringList{"leak incomplete (cancelled; the window ran 0.0 s of 60 s)",
                       "static incomplete (not run)", "series incomplete (not run)",
                       "run incomplete"};
    QTest::newRow("a leak rate above its limit fails")
        << Change([](CheckReport &r, QList<StepRun> &) {
               r.limits.leakMmHgPerMin = 6;
               r.leakTests[0].rateMmHgPerMin = 8.04;
               r.leakTests[0].verdict = Verdict::Fail;
           })
        << QStringList{"leak fail (leak rate 8.0 mmHg/min above 6)", "static pass", "series pass",
                       "run fail"};
    QTest::newRow("a leak test begun before the step does not count")
        << Change([](CheckReport &, QList<StepRun> &runs) { runs[0].startMs = 2000; })
        << QStringList{"leak incomplete (no leak test)", "static pass", "series pass",
                       "run incomplete"};
    QTest::newRow("the last leak test of the step counts: a failed one before it does not")
        << Change([](CheckReport &r, QList<StepRun> &) {
               CheckReport::LeakTest failed = r.leakTests[0];
               failed.verdict = Verdict::Fail;
               failed.holdMmHg = 200;
               r.leakTests.prepend(failed);
               r.leakTests[1].startMs = 40000;
           })
        << allPass;
    QTest::newRow("a static point with no reading is incomplete")
        << Change([](CheckReport &, QList<StepRun> &runs) {
               runs[1].pointMs[2].reset();
               runs[1].pointMs.resize(5);
           })
        << QStringList{"leak pass", "static incomplete (no reading for 150, 0 mmHg)", "series pass",
                       "run incomplete"};
    QTest::newRow("a reading the engine did not record (no such time) is none")
        << Change([](CheckReport &, QList<StepRun> &runs) { runs[1].pointMs[0] = 110001; })
        << QStringList{"leak pass", "static incomplete (no reading for 250 mmHg)", "series pass",
                       "run incomplete"};
    QTest::newRow("a static point recorded outside the step's span is none")
        << Change([](CheckReport &, QList<StepRun> &runs) { runs[1].endMs = 155000; })
        << QStringList{"leak pass", "static incomplete (no reading for 0 mmHg)", "series pass",
                       "run incomplete"};
    QTest::newRow("a static point that failed fails the step")
        << Change([](CheckReport &r, QList<StepRun> &) {
               r.limits.staticMmHg = 3;
               r.staticPoints[3].errorMmHg = -3.5;
               r.staticPoints[3].verdict = Verdict::Fail;
           })
        << QStringList{"leak pass", "static fail (100 mmHg: error -3.5 mmHg beyond 3)",
                       "series pass", "run fail"};
    QTest::newRow("count - 1 results: incomplete")
        << Change([](CheckReport &r, QList<StepRun> &) { r.measurements.list.removeLast(); })
        << QStringList{"leak pass", "static pass", "series incomplete (4 of 5 results)",
                       "run incomplete"};
    QTest::newRow("a result after the step's end does not count")
        << Change([](CheckReport &, QList<StepRun> &runs) { runs[2].endMs = 289999; })
        << QStringList{"leak pass", "static pass", "series incomplete (4 of 5 results)",
                       "run incomplete"};
    QTest::newRow("a \"999\" is no result")
        << Change([](CheckReport &r, QList<StepRun> &) {
               r.measurements.list[4] = CheckReport::Measurement{};
               r.measurements.list[4].ms = 290000;
               r.measurements.list[4].ended999 = true;
           })
        << QStringList{"leak pass", "static pass", "series incomplete (4 of 5 results)",
                       "run incomplete"};
    QTest::newRow("results 6 below the set point fail")
        << Change([](CheckReport &r, QList<StepRun> &) {
               for (CheckReport::Measurement &m : r.measurements.list)
                   m.diastolic = 74;
           })
        << QStringList{"leak pass", "static pass",
                       "series fail (diastolic: mean error -6.0 mmHg, SD 0.0 mmHg)", "run fail"};
    QTest::newRow("lost traffic in the series: incomplete")
        << Change([](CheckReport &r, QList<StepRun> &) {
               r.gaps << CheckReport::Gap{250000, 251000, "COM1", "12 trace lines dropped"};
           })
        << QStringList{"leak pass", "static pass",
                       "series incomplete (traffic lost: 12 trace lines dropped at 251.0 s)",
                       "run incomplete"};
    QTest::newRow("lost traffic ending 1 ms before the series does not touch it")
        << Change([](CheckReport &r, QList<StepRun> &) {
               r.gaps << CheckReport::Gap{190000, 199999, "COM1", "12 trace lines dropped"};
           })
        << allPass;
    QTest::newRow("the series cancelled after 3 results")
        << Change([](CheckReport &, QList<StepRun> &runs) {
               runs[2].endMs = 255000;
               runs[2].ending = Ending::Cancelled;
           })
        << QStringList{"leak pass", "static pass", "series incomplete (cancelled; 3 of 5 results)",
                       "run incomplete"};
    QTest::newRow("a step that passed but was cancelled at its end is incomplete")
        << Change([](CheckReport &, QList<StepRun> &runs) { runs[1].ending = Ending::Cancelled; })
        << QStringList{"leak pass", "static incomplete (cancelled)", "series pass",
                       "run incomplete"};
    QTest::newRow("a failed step stays failed when the run is cancelled in it")
        << Change([](CheckReport &r, QList<StepRun> &runs) {
               r.staticPoints[0].verdict = Verdict::Fail;
               runs[1].ending = Ending::Cancelled;
               runs.resize(2);
           })
        << QStringList{"leak pass", "static fail (cancelled; 250 mmHg: error 1.0 mmHg beyond 3)",
                       "series incomplete (not run)", "run fail"};
    QTest::newRow("the board silent in the leak test")
        << Change([](CheckReport &, QList<StepRun> &runs) {
               runs[0].ending = Ending::BoardSilent;
               runs.resize(1);
           })
        << QStringList{"leak incomplete (the board did not answer)", "static incomplete (not run)",
                       "series incomplete (not run)", "run incomplete"};
    QTest::newRow("over-pressure failed outside every step: the run fails")
        << Change([](CheckReport &r, QList<StepRun> &) {
               CheckReport::Stretch between;
               between.startMs = 98000;
               between.verdict = Verdict::Fail;
               r.overPressure << between;
               r.overPressureVerdict = Verdict::Fail;
           })
        << QStringList{"leak pass", "static pass", "series pass", "run fail"};
    QTest::newRow("inflation time failed: the run fails")
        << Change([](CheckReport &r, QList<StepRun> &) { r.inflationVerdict = Verdict::Fail; })
        << QStringList{"leak pass", "static pass", "series pass", "run fail"};
    QTest::newRow("over-pressure not judged for lost traffic: the run is incomplete")
        << Change([](CheckReport &r, QList<StepRun> &) {
               r.overPressureVerdict = Verdict::Incomplete;
           })
        << QStringList{"leak pass", "static pass", "series pass", "run incomplete"};
    QTest::newRow("a step in neonate mode under an adult plan is incomplete")
        << Change([](CheckReport &r, QList<StepRun> &) {
               r.overPressure[1].patient = PatientMode::Neonate;
           })
        << QStringList{"leak pass",
                       "static incomplete (a manometer ran in neonate mode; the plan is for adult)",
                       "series pass", "run incomplete"};
}

void PlanJudgementTest::runsJudged()
{
    QFETCH(Change, change);
    QFETCH(QStringList, expected);
    CheckReport report = goodRun();
    QList<StepRun> runs = goodRuns();
    change(report, runs);
    PlanJudgement::judge(TestPlan::standard(), runs, report);
    QCOMPARE(describe(report), expected);
}

// The report carries the plan and, for each step, what was planned and found.
void PlanJudgementTest::stepsCarryWhatWasFound()
{
    CheckReport report = goodRun();
    QList<StepRun> runs = goodRuns();
    runs[1].pointMs[1].reset();
    const TestPlan plan = TestPlan::standard();
    PlanJudgement::judge(plan, runs, report);
    QVERIFY(report.plan);
    QCOMPARE(report.plan->sha256, plan.sha256());
    QCOMPARE(report.plan->name, "Standard NIBP bench check");
    QCOMPARE(report.steps.size(), 3);
    const CheckReport::PlanStep &leak = report.steps[0];
    QCOMPARE(leak.ending, "done");
    QCOMPARE(QList<double>({leak.holdMinMmHg, leak.holdMaxMmHg}), QList<double>({240, 260}));
    QCOMPARE(leak.leakTest->holdMmHg, std::optional<double>(250));
    const CheckReport::PlanStep &points = report.steps[1];
    QCOMPARE(QList<qint64>({points.startMs, points.endMs}), QList<qint64>({100000, 180000}));
    QStringList found;
    for (const CheckReport::PlannedPoint &p : points.points)
        found << QStringLiteral("%1:%2 %3")
                     .arg(p.plannedMmHg)
                     .arg(p.recorded ? QString::number(p.recorded->referenceMmHg) : "-",
                          verdictName(p.verdict));
    QCOMPARE(found.join(' '), "250:250 pass 200:- incomplete 150:150 pass 100:100 pass 50:50 pass "
                              "0:0 pass");
    const CheckReport::PlanStep &series = report.steps[2];
    QCOMPARE(series.count, 5);
    QCOMPARE(series.setPoint->mean, std::optional<double>(93));
    QCOMPARE(series.series->count, 5);
    QCOMPARE(series.series->systolic.n, 5);
}

QTEST_GUILESS_MAIN(PlanJudgementTest)
#include "plan_judgement_test.moc"
