// SPDX-License-Identifier: MIT
// The bench checks live, as the program wires them (a BenchCore on the real
// serial port class, the recorder feeding the checks and the trace, the main
// window and the Bench checks window on it), against a simulated board over
// a pseudo-terminal; and the same trace read back offline. Live and offline
// must give the same report, by the limits of the settings file's [checks]
// group. A reading recorded with no port open is refused and never traced.
// The recorder takes its times from the board's clock, so the board can run
// fifty times faster than real time.
#include "bench_checks_window.h"
#include "bench_core.h"
#include "check_limits.h"
#include "checks_engine.h"
#include "main_window.h"
#include "port_map.h"
#include "port_table.h"
#include "pty_rig.h"
#include "qt_serial_port.h"
#include "report_json.h"
#include "simulated_boards.h"
#include "trace_reader.h"

#include <QAction>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPort = 1;
constexpr int kTimeoutMs = 30000;

enum class Run { LeakTest, Manometer, Measurements };

struct Outcome
{
    CheckReport live;
    QJsonObject liveJson;
    QJsonObject offlineJson;
    std::optional<TraceHeader> header;
    QList<SimulatedBoard::Result> results; // as the board measured them
    int overPressureSignals = 0;
    QString note; // the Bench checks window's note on a reading
};

bool waitFor(const std::function<bool()> &done)
{
    return PtyRig::waitFor(done, kTimeoutMs, 1);
}

} // namespace

class ChecksOverPtyTest : public QObject
{
    Q_OBJECT

private slots:
    void liveEqualsOffline_data();
    void liveEqualsOffline();

private:
    void drive(Run run, int count, BenchCore &core, MainWindow &window, SimulatedBoard &board,
               Outcome &out);
    static void recordWithoutPort(MainWindow &window, Outcome &out);
    static void setUpBoard(SimulatedBoard &board);
    static void checkRun(const Outcome &out, const QList<TrafficEntry> &entries);
};

// A reading recorded while no port is open is refused in the window and
// never reaches the trace or the checks.
void ChecksOverPtyTest::recordWithoutPort(MainWindow &window, Outcome &out)
{
    window.findChild<QAction *>("benchChecksAction")->trigger();
    BenchChecksWindow *checks = window.benchChecksWindow();
    QVERIFY(checks);
    checks->findChild<QLineEdit *>("referenceReading")->setText("120");
    checks->recordPoint();
    out.note = checks->findChild<QLabel *>("pointNote")->text();
}

void ChecksOverPtyTest::drive(Run run, int count, BenchCore &core, MainWindow &window,
                              SimulatedBoard &board, Outcome &out)
{
    const auto idle = [&] {
        return board.mode() == SimulatedBoard::Mode::Idle && board.pressure() == 0 &&
               window.panel().isIdle();
    };
    const auto click = [&](const char *name) {
        window.findChild<QPushButton *>(QLatin1String(name))->click();
    };
    QVERIFY(waitFor(idle));
    if (run == Run::LeakTest) {
        click("LeakTest");
        QVERIFY(waitFor([&] {
            return core.checks().leakState().phase == ChecksEngine::LeakState::Phase::Done;
        }));
        click("Break");
    } else if (run == Run::Manometer) {
        window.findChild<QAction *>("benchChecksAction")->trigger();
        BenchChecksWindow *checks = window.benchChecksWindow();
        QVERIFY(checks);
        click("ManoMode");
        QVERIFY(waitFor([&] { return board.holdIndex() == 0 && board.heldSteps() >= 12; }));
        checks->findChild<QLineEdit *>("referenceReading")
            ->setText(QString::number(board.appliedPressure(), 'f', 1));
        checks->recordPoint();
        click("Break");
    } else {
        for (int i = 0; i < count; ++i) {
            QVERIFY(waitFor(idle));
            const int started = board.measurementsStarted();
            click("StartStop");
            QVERIFY(waitFor([&] { return board.measurementsStarted() > started && idle(); }));
            QVERIFY(board.lastResult().has_value());
            out.results.append(*board.lastResult());
        }
    }
    QVERIFY(waitFor(idle));
}

void ChecksOverPtyTest::liveEqualsOffline_data()
{
    QTest::addColumn<Run>("run");
    QTest::addColumn<double>("leakRate");
    QTest::addColumn<double>("gaugeOffset");
    QTest::addColumn<int>("overPressurePeak"); // 0: none
    QTest::addColumn<int>("measurements");
    QTest::addColumn<Verdict>("verdict"); // of the check the run is about
    QTest::addColumn<QString>("checks");  // the settings file's [checks] lines; "" none
    QTest::addColumn<bool>("portOpen");   // false: no entry is bound to the board

    QTest::newRow("leak of 4 mmHg/min passes")
        << Run::LeakTest << 4.0 << 0.0 << 0 << 0 << Verdict::Pass << "" << true;
    QTest::newRow("leak of 8 mmHg/min fails")
        << Run::LeakTest << 8.0 << 0.0 << 0 << 0 << Verdict::Fail << "" << true;
    QTest::newRow("leak of 4 mmHg/min fails the settings file's limit of 3")
        << Run::LeakTest << 4.0 << 0.0 << 0 << 0 << Verdict::Fail << "leak_mmHg_per_min=3" << true;
    QTest::newRow("manometer point 4 mmHg off fails")
        << Run::Manometer << 0.0 << 4.0 << 0 << 0 << Verdict::Fail << "" << true;
    QTest::newRow("reading with no open port is refused, nothing recorded")
        << Run::Manometer << 0.0 << 0.0 << 0 << 0 << Verdict::None << "" << false;
    QTest::newRow("pump to 310 mmHg in adult mode fails")
        << Run::Measurements << 0.0 << 0.0 << 310 << 1 << Verdict::Fail << "" << true;
    QTest::newRow("five results around 120/80 give their mean and SD")
        << Run::Measurements << 0.0 << 0.0 << 0 << 5 << Verdict::None << "" << true;
}

// The simulated board as the row has it.
void ChecksOverPtyTest::setUpBoard(SimulatedBoard &board)
{
    QFETCH(double, leakRate);
    QFETCH(double, gaugeOffset);
    QFETCH(int, overPressurePeak);
    board.setTimeScale(50);
    board.setFailureRate(0);
    board.setLeakRate(leakRate);
    board.setManometerHolds({150}, 5);
    board.setGaugeError(1.0, gaugeOffset);
    board.setSetPoint(SimulatedBoard::SetPoint{120, 80, 72, 4.0});
    if (overPressurePeak > 0)
        board.setOverPressurePeak(overPressurePeak);
}

void ChecksOverPtyTest::liveEqualsOffline()
{
    QFETCH(Run, run);
    QFETCH(int, measurements);
    QFETCH(QString, checks);
    QFETCH(bool, portOpen);

    QTemporaryDir dir;
    const QString tracePath = dir.filePath("trace.txt");
    const QString settingsPath = dir.filePath("tarnvik.conf");
    if (!checks.isEmpty()) {
        QFile settings(settingsPath);
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[checks]\n" + checks.toUtf8() + '\n');
    }
    Outcome out;
    {
        SimulatedBoards boards({kPort});
        QVERIFY(boards.isValid());
        SimulatedBoard &board = boards.board(kPort);
        setUpBoard(board);

        BenchCore core;
        Failure why;
        QVERIFY2(core.openTrace(tracePath, &why), qPrintable(why.text));
        core.recorder().setClock(
            [&board] { return board.elapsedSteps() * SimulatedBoard::kTickMs; });
        QStringList devices = boards.devicePaths();
        for (int port = 1; !portOpen && port <= devices.size(); ++port)
            devices[port - 1] = dir.filePath(QStringLiteral("absent%1").arg(port));
        const PortMap portMap = PortMap::load(settingsPath, PortTable(devices));
        core.start(std::make_unique<QtSerialPort>(portMap.table()), portMap, QString());
        MainWindow window(core);
        connect(&core.checks(), &ChecksEngine::overPressure, this,
                [&out] { ++out.overPressureSignals; });
        window.show();
        boards.start();
        if (portOpen)
            drive(run, measurements, core, window, board, out);
        else
            recordWithoutPort(window, out);
        if (QTest::currentTestFailed())
            return;
        window.findChild<QAction *>("menEnde")->trigger();
        core.recorder().finish();
        out.live = core.checks().report();
        out.liveJson = ReportJson::object(out.live);
    }

    QFile trace(tracePath);
    QVERIFY(trace.open(QIODevice::ReadOnly));
    int skipped = -1;
    const QList<TrafficEntry> entries = TraceReader::read(trace, &skipped, &out.header);
    QCOMPARE(skipped, 0);
    QVERIFY(out.header.has_value());
    QCOMPARE(out.header->program, QString("tarnvik"));
    QVERIFY(out.header->started.isValid());
    ChecksEngine offline(CheckLimits::load(settingsPath));
    for (const TrafficEntry &entry : entries)
        offline.feed(entry);
    const QJsonObject offlineJson = ReportJson::object(offline.report());
    QCOMPARE(QJsonDocument(out.liveJson).toJson(), QJsonDocument(offlineJson).toJson());

    checkRun(out, entries);
}

// What the row's run is about, live (live and offline being equal).
void ChecksOverPtyTest::checkRun(const Outcome &out, const QList<TrafficEntry> &entries)
{
    QFETCH(Run, run);
    QFETCH(double, leakRate);
    QFETCH(double, gaugeOffset);
    QFETCH(int, overPressurePeak);
    QFETCH(int, measurements);
    QFETCH(bool, portOpen);
    QFETCH(Verdict, verdict);
    if (run == Run::LeakTest) {
        QCOMPARE(out.live.leakTests.size(), 1);
        QCOMPARE(out.live.leakVerdict, verdict);
        QVERIFY(out.live.leakTests.first().rateMmHgPerMin.has_value());
        QVERIFY2(std::abs(*out.live.leakTests.first().rateMmHgPerMin - leakRate) < 1.0,
                 qPrintable(QString::number(*out.live.leakTests.first().rateMmHgPerMin)));
    } else if (run == Run::Manometer && !portOpen) {
        QCOMPARE(out.note, QString("No port is open: nothing recorded."));
        QVERIFY(std::none_of(entries.cbegin(), entries.cend(), [](const TrafficEntry &entry) {
            return entry.kind.startsWith("reference");
        }));
        QCOMPARE(out.live.staticPoints.size(), 0);
        QCOMPARE(out.live.staticVerdict, verdict);
    } else if (run == Run::Manometer) {
        QCOMPARE(out.live.staticPoints.size(), 1);
        QCOMPARE(out.live.staticVerdict, verdict);
        QCOMPARE(out.live.staticPoints.first().errorMmHg, gaugeOffset);
    } else if (overPressurePeak > 0) {
        QCOMPARE(out.live.overPressureVerdict, verdict);
        QCOMPARE(out.overPressureSignals, 1);
    } else {
        QCOMPARE(out.live.measurements.count, measurements);
        double sum = 0, squares = 0;
        for (const SimulatedBoard::Result &result : std::as_const(out.results))
            sum += result.systolic;
        const double mean = sum / measurements;
        for (const SimulatedBoard::Result &result : std::as_const(out.results))
            squares += (result.systolic - mean) * (result.systolic - mean);
        QCOMPARE(out.live.measurements.systolic.mean, mean);
        QVERIFY(out.live.measurements.systolic.sd.has_value());
        QVERIFY(std::abs(*out.live.measurements.systolic.sd -
                         std::sqrt(squares / (measurements - 1))) < 1e-9);
        QVERIFY(std::abs(mean - 120) < 8);
    }
}

QTEST_MAIN(ChecksOverPtyTest)
#include "checks_over_pty_test.moc"
