// SPDX-License-Identifier: MIT
// Test plans run by the plan runner on a bench core (the real serial port
// class) against a simulated board over a pseudo-terminal, as the window
// runs them: the test plays the operator, bringing the board's manometer to
// each point asked for (holdAt) and typing the gauge's reading (the applied
// pressure), or cancelling, or breaking in from outside. The recorder takes
// the board's clock, so the board runs far faster than real time and the
// checks still see its timing; the runner's pauses shrink with it. Each run
// ends with its three files written into the reports folder; the pass row
// reads them back: the JSON, the PDF's text and the trace, which an engine
// fed offline judges as the live one did.
#include "bench_core.h"
#include "check_limits.h"
#include "checks_engine.h"
#include "hold_watch.h"
#include "plan_runner.h"
#include "port_table.h"
#include "pty_rig.h"
#include "qt_serial_port.h"
#include "report_json.h"
#include "run_files.h"
#include "simulated_boards.h"
#include "trace_reader.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kPort = 1;
constexpr double kTimeScale = 80;
constexpr int kTimeoutMs = 60000;

// What the test does beside playing the operator.
enum class Interference {
    None,
    FarReadingFirst,  // the first reading typed is 20 mmHg off the point
    NearReadingFirst, // the first reading typed is the point + 10 mmHg, on the near limit
    CancelAtSecondPoint,
    SilentInLeak,     // the board falls silent 10 s into the leak test
    BreakFromOutside, // the window's Break during the first measurement
};

const char kSeriesPlan[] = R"({"plan": "Series", "version": "1", "patient": "adult",
 "limits": {}, "steps": [{"series": {"set_point": "120/80", "count": 2, "pause_s": 1}}]})";
const char kStaticPlan[] = R"({"plan": "Static", "version": "1", "patient": "neonate",
 "limits": {}, "steps": [{"static": {"points_mmHg": [100, 20]}}]})";
// Near is 3 x 3.4 = 10.2 mmHg: 110.2 - 100 is a hair above it in binary.
const char kStaticPlanNear10_2[] = R"({"plan": "Static", "version": "1", "patient": "neonate",
 "limits": {"static_mmHg": 3.4}, "steps": [{"static": {"points_mmHg": [100, 20]}}]})";

TestPlan planOf(const QString &text)
{
    if (text == QLatin1String("standard"))
        return TestPlan::standard();
    const TestPlan::Parsed parsed = TestPlan::parse(text.toUtf8());
    if (!parsed.plan)
        qFatal("bad plan in the test: %s", qPrintable(parsed.problem->text()));
    return *parsed.plan;
}

struct Run
{
    std::optional<PlanRunner::Outcome> outcome;
    QString lastCommand; // as the board took it (or ignored it, silent), after the run
    QStringList prompts;
    QStringList refusals;
    CheckLimits limitsAfterClear;
};

} // namespace

Q_DECLARE_METATYPE(Interference)
Q_DECLARE_METATYPE(PlanRunner::End)

class PlanOverPtyTest : public QObject
{
    Q_OBJECT

private slots:
    void planRuns_data();
    void planRuns();

private:
    void runPlan(const QString &settings, const QString &reports, Run &run);
    static void setUpBoard(SimulatedBoard &board);
    static void playOperator(PlanRunner &runner, SimulatedBoard &board, BenchCore &core, Run &run);
    static void checkFiles(const PlanRunner::Outcome &outcome, const QString &settings);
};

void PlanOverPtyTest::planRuns_data()
{
    QTest::addColumn<QString>("plan"); // "standard" or the plan's text
    QTest::addColumn<double>("leakRate");
    QTest::addColumn<int>("leakHold");
    QTest::addColumn<double>("gaugeOffset");
    QTest::addColumn<double>("stallS");  // 0: no stalled deflation
    QTest::addColumn<QString>("checks"); // the settings file's [checks] lines
    QTest::addColumn<Interference>("interference");
    QTest::addColumn<PlanRunner::End>("end");
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<QStringList>("steps"); // each step's verdict
    QTest::addColumn<QString>("why");       // in a step's reason or the run's

    const QString standard = QStringLiteral("standard");
    using E = PlanRunner::End;
    using I = Interference;
    QTest::newRow("standard plan passes a good board")
        << standard << 4.0 << 250 << 0.0 << 0.0 << QString() << I::None << E::Completed
        << Verdict::Pass << QStringList{"pass", "pass", "pass"} << QString();
    QTest::newRow("leak of 8 mmHg/min fails though the settings file allows 10")
        << standard << 8.0 << 250 << 0.0 << 0.0 << "leak_mmHg_per_min=10" << I::None << E::Completed
        << Verdict::Fail << QStringList{"fail", "pass", "pass"} << "leak rate 8.0 mmHg/min above 6";
    QTest::newRow("hold of 200 mmHg fails the leak step")
        << standard << 4.0 << 200 << 0.0 << 0.0 << QString() << I::None << E::Completed
        << Verdict::Fail << QStringList{"fail", "pass", "pass"} << "hold 200 mmHg outside 240..260";
    QTest::newRow("reading 20 mmHg off the point is asked for again, then taken")
        << QString::fromLatin1(kStaticPlan) << 4.0 << 250 << 0.0 << 0.0 << QString()
        << I::FarReadingFirst << E::Completed << Verdict::Pass << QStringList{"pass"} << QString();
    QTest::newRow("reading on the near limit (10 mmHg off) is taken: the point fails")
        << QString::fromLatin1(kStaticPlan) << 4.0 << 250 << 0.0 << 0.0 << QString()
        << I::NearReadingFirst << E::Completed << Verdict::Fail << QStringList{"fail"}
        << "100 mmHg: error -";
    QTest::newRow("reading 110.2 at 100 with near 10.2 is taken: the point fails (was refused)")
        << QString::fromLatin1(kStaticPlanNear10_2) << 4.0 << 250 << 0.0 << 0.0 << QString()
        << I::NearReadingFirst << E::Completed << Verdict::Fail << QStringList{"fail"}
        << "100 mmHg: error -10.2";
    QTest::newRow("board reading 4 mmHg high fails the static step")
        << QString::fromLatin1(kStaticPlan) << 4.0 << 250 << 4.0 << 0.0 << QString() << I::None
        << E::Completed << Verdict::Fail << QStringList{"fail"} << "100 mmHg: error 4.0 mmHg";
    QTest::newRow("cancel at the second point is incomplete")
        << QString::fromLatin1(kStaticPlan) << 4.0 << 250 << 0.0 << 0.0 << QString()
        << I::CancelAtSecondPoint << E::Cancelled << Verdict::Incomplete
        << QStringList{"incomplete"} << "no reading for 20 mmHg";
    QTest::newRow("board falling silent in the leak test: did not answer, rest not run")
        << standard << 4.0 << 250 << 0.0 << 0.0 << QString() << I::SilentInLeak << E::BoardSilent
        << Verdict::Incomplete << QStringList{"incomplete", "incomplete", "incomplete"}
        << "the board did not answer";
    QTest::newRow("Break from outside the run cancels it")
        << QString::fromLatin1(kSeriesPlan) << 4.0 << 250 << 0.0 << 0.0 << QString()
        << I::BreakFromOutside << E::Cancelled << Verdict::Incomplete << QStringList{"incomplete"}
        << "Break was sent from outside the run";
    QTest::newRow("inflation of 181 s in a series fails")
        << QString::fromLatin1(kSeriesPlan) << 4.0 << 250 << 0.0 << 181.0 << QString() << I::None
        << E::Completed << Verdict::Fail << QStringList{"pass"} << QString();
    QTest::newRow("inflation of 179 s in a series passes")
        << QString::fromLatin1(kSeriesPlan) << 4.0 << 250 << 0.0 << 179.0 << QString() << I::None
        << E::Completed << Verdict::Pass << QStringList{"pass"} << QString();
}

void PlanOverPtyTest::setUpBoard(SimulatedBoard &board)
{
    QFETCH(double, leakRate);
    QFETCH(int, leakHold);
    QFETCH(double, gaugeOffset);
    QFETCH(double, stallS);
    board.setTimeScale(kTimeScale);
    board.setFailureRate(0);
    board.setLeakRate(leakRate);
    board.setLeakHold(leakHold);
    board.setGaugeError(1.0, gaugeOffset);
    board.setSetPoint(SimulatedBoard::SetPoint{120, 80, 72, 1.0});
    if (stallS > 0)
        board.setDeflationStall(stallS);
}

// The operator at the bench: brings the line to each point asked for and
// types what the gauge shows, a moment later, as a person would.
void PlanOverPtyTest::playOperator(PlanRunner &runner, SimulatedBoard &board, BenchCore &core,
                                   Run &run)
{
    QFETCH(Interference, interference);
    QObject::connect(&runner, &PlanRunner::prompted, &runner, [&](int step, const QString &text) {
        run.prompts << text;
        if (step < 0 || !text.startsWith(QLatin1String("Bring")))
            return;
        for (double point : runner.plan()->steps().at(step).staticPressure.pointsMmHg) {
            if (text == PlanRunner::holdPrompt(point))
                board.holdAt(point);
        }
    });
    QObject::connect(&runner, &PlanRunner::readingAsked, &runner,
                     [&, interference](int, int point, double pointMmHg) {
                         if (interference == Interference::CancelAtSecondPoint && point == 1) {
                             QTimer::singleShot(0, &runner, [&runner] { runner.cancel(); });
                             return;
                         }
                         const bool far = interference == Interference::FarReadingFirst &&
                                          run.refusals.isEmpty();
                         double reading = board.referenceReading() + (far ? 20 : 0);
                         if (interference == Interference::NearReadingFirst && point == 0 &&
                             run.refusals.isEmpty())
                             reading = pointMmHg + HoldWatch::nearMmHg(core.checks().limits());
                         QTimer::singleShot(0, &runner,
                                            [&runner, reading] { runner.giveReading(reading); });
                     });
    QObject::connect(&runner, &PlanRunner::readingRefused, &runner,
                     [&](double, const Failure &why) { run.refusals << why.text; });
    QObject::connect(&runner, &PlanRunner::stepStarted, &runner, [&, interference](int step) {
        if (interference == Interference::SilentInLeak && step == 0)
            board.fallSilentAfter(10);
        if (interference == Interference::BreakFromOutside)
            QTimer::singleShot(20, &core, [&core] { core.panel().breakOperation(); });
    });
}

// Runs the row's plan on a core against the board, the test at the bench.
void PlanOverPtyTest::runPlan(const QString &settings, const QString &reports, Run &run)
{
    QFETCH(QString, plan);
    SimulatedBoards boards({kPort});
    QVERIFY(boards.isValid());
    SimulatedBoard &board = boards.board(kPort);
    setUpBoard(board);
    BenchCore core;
    core.recorder().setClock([&board] { return board.elapsedSteps() * SimulatedBoard::kTickMs; });
    core.start(std::make_unique<QtSerialPort>(PortTable(boards.devicePaths())), settings,
               QString());
    boards.start();
    QVERIFY(PtyRig::waitFor([&] { return board.commands().size() >= 4; }, kTimeoutMs, 1));

    PlanRunner runner(core, [](const QString &folder, const CheckReport &report,
                               const QByteArray &trace, const QDateTime &started) {
        const RunFiles::Written w =
            RunFiles::save(folder, report, trace, started, QDateTime::currentDateTime());
        return PlanRunner::Files{w.pdf, w.json, w.trace, w.failure};
    });
    runner.setTimeScale(kTimeScale);
    playOperator(runner, board, core, run);
    connect(&runner, &PlanRunner::finished, this,
            [&run](const PlanRunner::Outcome &outcome) { run.outcome = outcome; });
    Failure why;
    QVERIFY2(runner.start(planOf(plan), {"SN-0412", "A. Tester", "gauge 7", reports}, &why),
             qPrintable(why.text));
    QVERIFY(PtyRig::waitFor([&] { return run.outcome.has_value(); }, kTimeoutMs, 1));
    // A Break sent at the end is on its way over the terminal.
    const auto lastTaken = [&board] {
        const QList<SimulatedBoard::Command> taken =
            board.isSilent() ? board.ignoredFrames() : board.commands();
        return taken.isEmpty() ? QString() : taken.constLast().text;
    };
    if (run.outcome->end != PlanRunner::End::Completed)
        PtyRig::waitFor([&] { return lastTaken() == QLatin1String("X"); }, 2000, 1);
    run.lastCommand = lastTaken();
    core.clearChecks();
    run.limitsAfterClear = core.checks().limits();
}

void PlanOverPtyTest::planRuns()
{
    QFETCH(QString, checks);
    QTemporaryDir dir;
    const QString settings = dir.filePath("tarnvik.conf");
    QFile file(settings);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[checks]\n" + checks.toUtf8() + '\n');
    file.close();
    QVERIFY(QDir(dir.path()).mkdir("reports"));
    Run run;
    runPlan(settings, dir.filePath("reports"), run);
    if (QTest::currentTestFailed())
        return;

    QFETCH(PlanRunner::End, end);
    QFETCH(Verdict, verdict);
    QFETCH(QStringList, steps);
    QFETCH(QString, why);
    QFETCH(double, stallS);
    const PlanRunner::Outcome &outcome = *run.outcome;
    QVERIFY2(outcome.saved(), qPrintable(outcome.notSaved()));
    QCOMPARE(outcome.end, end);
    QStringList found, reasons{outcome.reason};
    for (const CheckReport::PlanStep &step : outcome.report.steps) {
        found << verdictName(step.verdict);
        reasons << step.reason;
    }
    QCOMPARE(found, steps);
    // A series that ran to its end took its count of measurements, no more.
    for (const CheckReport::PlanStep &step : outcome.report.steps) {
        if (step.series && step.ending == QLatin1String("done"))
            QCOMPARE(step.series->count, step.count);
    }
    QCOMPARE(outcome.verdict(), std::optional<Verdict>(verdict));
    QVERIFY2(reasons.join('|').contains(why), qPrintable(reasons.join('|')));
    if (stallS > 0)
        QCOMPARE(outcome.report.inflationVerdict, verdict);
    // Break goes last whenever the run stopped early, to a silent board too;
    // the settings file's limits come back with the next board.
    if (end != PlanRunner::End::Completed)
        QCOMPARE(run.lastCommand, QString("X"));
    QCOMPARE(run.limitsAfterClear.leakMmHgPerMin, CheckLimits::load(settings).leakMmHgPerMin);
    checkFiles(outcome, settings);
}

// The three files: named after the board, the JSON and the PDF read back,
// and the trace judged offline as the run was live (the run's limits).
void PlanOverPtyTest::checkFiles(const PlanRunner::Outcome &outcome, const QString &settings)
{
    QFETCH(QString, plan);
    for (const QString &path : {outcome.files.pdf, outcome.files.json, outcome.files.trace})
        QVERIFY2(QFileInfo(path).fileName().startsWith("SN-0412-"), qPrintable(path));
    QFile json(outcome.files.json);
    QVERIFY(json.open(QIODevice::ReadOnly));
    const QJsonObject object = QJsonDocument::fromJson(json.readAll()).object();
    QCOMPARE(object.value("verdict").toString(), verdictName(outcome.report.verdict));
    QCOMPARE(object.value("board").toString(), QString("SN-0412"));
    QProcess text;
    text.start("pdftotext", {outcome.files.pdf, "-"});
    QVERIFY(text.waitForFinished(20000));
    QVERIFY(QString::fromUtf8(text.readAllStandardOutput()).contains("SN-0412"));

    QFile traceFile(outcome.files.trace);
    QVERIFY(traceFile.open(QIODevice::ReadOnly));
    int skipped = -1;
    std::optional<TraceHeader> header;
    const QList<TrafficEntry> entries = TraceReader::read(traceFile, &skipped, &header);
    QCOMPARE(skipped, 0);
    QVERIFY(header.has_value());
    QCOMPARE(entries.constFirst().kind, QString(ChecksEngine::kClearedEvent));
    ChecksEngine offline(planOf(plan).effectiveLimits(CheckLimits::load(settings)));
    for (const TrafficEntry &entry : entries)
        offline.feed(entry);
    CheckReport live = outcome.report;
    CheckReport replayed = offline.report();
    replayed.session = live.session;
    replayed.verdict = live.verdict; // the run's, under the plan
    replayed.plan = live.plan;       // what the runner adds: the plan and its steps
    replayed.steps = live.steps;
    QCOMPARE(QJsonDocument(ReportJson::object(replayed)).toJson(),
             QJsonDocument(ReportJson::object(live)).toJson());
}

QTEST_MAIN(PlanOverPtyTest)
#include "plan_over_pty_test.moc"
