// SPDX-License-Identifier: MIT
// The bench core without a window, under a QCoreApplication: a leak test, a
// manometer point and a measurement run through the core's own API on the
// in-memory port (the board's lines delivered by hand, the recorder on the
// test's clock), the verdict read from the core's report; the readings and
// set points the core refuses. That the core's library needs no Qt Gui is
// checked on this test's link line (bench_core_links_no_gui).
#include "bench_core.h"
#include "command_set.h"
#include "memory_serial_port.h"
#include "port_map.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(std::optional<SetPoint>)

namespace {

enum class Run { LeakTest, Manometer, Measurement };

// A started core on the in-memory port, COM1 open unless `portOpen` is false.
class Bench
{
public:
    explicit Bench(bool portOpen = true)
    {
        auto port = std::make_unique<MemorySerialPort>();
        if (!portOpen)
            port->setOnlyOpenable({});
        m_port = port.get();
        core.recorder().setClock([this] { return m_ms; });
        core.start(std::move(port), PortMap(), QString());
    }
    // The board's lines, a step of 250 ms each.
    void lines(const QList<int> &pressures)
    {
        for (int mmHg : pressures)
            line(QByteArray::number(mmHg).rightJustified(3, '0'));
    }
    void line(const QByteArray &payload)
    {
        m_ms += 250;
        m_port->deliver('\x02' + payload + '\r');
    }

    BenchCore core;

private:
    MemorySerialPort *m_port = nullptr;
    qint64 m_ms = 0;
};

// Pumps up to 200 and then loses `rate` mmHg a minute for 90 s.
QList<int> leakLines(double rate)
{
    QList<int> pressures;
    for (int i = 0; i <= 20; ++i)
        pressures << i * 10;
    for (int i = 0; i < 90 * 4; ++i)
        pressures << qRound(200 - rate * i / 240.0);
    return pressures;
}

} // namespace

class BenchCoreTest : public QObject
{
    Q_OBJECT

private slots:
    void runsWithoutWindow_data();
    void runsWithoutWindow();
    void readingRefusals_data();
    void readingRefusals();
    void setPointTaken_data();
    void setPointTaken();
    void clearWithoutPortClearsChecksAndBoard();
};

void BenchCoreTest::runsWithoutWindow_data()
{
    QTest::addColumn<Run>("run");
    QTest::addColumn<double>("value"); // leak rate, or the board's reading at the hold
    QTest::addColumn<Verdict>("verdict");
    QTest::newRow("leak of 4 mmHg/min passes") << Run::LeakTest << 4.0 << Verdict::Pass;
    QTest::newRow("leak of 8 mmHg/min fails") << Run::LeakTest << 8.0 << Verdict::Fail;
    QTest::newRow("board on the gauge's reading passes")
        << Run::Manometer << 120.0 << Verdict::Pass;
    QTest::newRow("board 4 mmHg above the gauge fails") << Run::Manometer << 124.0 << Verdict::Fail;
    QTest::newRow("result within the set point counts") << Run::Measurement << 0.0 << Verdict::None;
}

void BenchCoreTest::runsWithoutWindow()
{
    QFETCH(Run, run);
    QFETCH(double, value);
    QFETCH(Verdict, verdict);
    QVERIFY(!QCoreApplication::instance()->inherits("QGuiApplication"));
    Bench bench;
    BenchCore &core = bench.core;
    QVERIFY(core.panel().isIdle());
    if (run == Run::LeakTest) {
        core.panel().startLeakTest();
        bench.lines(leakLines(value));
        core.panel().breakOperation();
        QCOMPARE(core.report().leakVerdict, verdict);
    } else if (run == Run::Manometer) {
        core.panel().startManometer();
        bench.lines(QList<int>(12, int(value)));
        QVERIFY(core.recordReading(120));
        QCOMPARE(core.report().staticPoints.size(), 1);
        QCOMPARE(core.report().staticVerdict, verdict);
    } else {
        QCOMPARE(core.setSetPoint(SetPoint{120, 80, std::nullopt, 72}).outcome,
                 BenchInput::SetPointCheck::Outcome::Given);
        core.panel().startMeasurement();
        bench.lines({100, 150, 120});
        bench.line("S0001 A 160    120080093  072");
        const CheckReport report = core.report();
        QCOMPARE(report.measurements.count, 1);
        QCOMPARE(report.measurements.systolic.meanError.value_or(-1), 0.0);
    }
    QCOMPARE(core.report().session.port, QString("COM1"));
    QCOMPARE(core.report().session.device, QString("memory port 1"));
}

void BenchCoreTest::readingRefusals_data()
{
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<double>("reading");
    QTest::addColumn<QString>("event"); // what reaches the trace; "" nothing
    QTest::addColumn<Failure::Kind>("refusal");
    const Failure::Kind notAReading = Failure::Kind::Refused;
    const Failure::Kind none = Failure::Kind::None;
    QTest::newRow("0 is a reading") << true << 0.0 << "reference 0" << none;
    QTest::newRow("999.94 is traced as 999.9") << true << 999.94 << "reference 999.9" << none;
    QTest::newRow("999.95 would be traced as 1000: refused") << true << 999.95 << "" << notAReading;
    QTest::newRow("below 0 refused") << true << -0.01 << "" << notAReading;
    QTest::newRow("no number refused")
        << true << std::numeric_limits<double>::quiet_NaN() << "" << notAReading;
    QTest::newRow("no open port: refused, nothing traced")
        << false << 120.0 << "" << Failure::Kind::NotFound;
}

void BenchCoreTest::readingRefusals()
{
    QFETCH(bool, portOpen);
    QFETCH(double, reading);
    Bench bench(portOpen);
    QStringList events;
    connect(&bench.core.recorder(), &TrafficRecorder::entryRecorded, this,
            [&events](const TrafficEntry &entry) {
                if (entry.kind.startsWith("reference"))
                    events << entry.kind;
            });
    QSignalSpy refused(&bench.core, &BenchCore::readingRefused);

    QFETCH(Failure::Kind, refusal);
    const bool taken = refusal == Failure::Kind::None;
    QCOMPARE(bench.core.recordReading(reading), taken);
    QFETCH(QString, event);
    QCOMPARE(events, event.isEmpty() ? QStringList() : QStringList{event});
    QCOMPARE(refused.size(), taken ? 0 : 1);
    if (!taken)
        QCOMPARE(refused.first().at(1).value<Failure>().kind, refusal);
}

void BenchCoreTest::setPointTaken_data()
{
    using Outcome = BenchInput::SetPointCheck::Outcome;
    QTest::addColumn<std::optional<SetPoint>>("setPoint");
    QTest::addColumn<Outcome>("outcome");
    QTest::newRow("one above diastolic is given")
        << std::optional<SetPoint>(SetPoint{81, 80, std::nullopt, std::nullopt}) << Outcome::Given;
    QTest::newRow("systolic equal to diastolic is refused")
        << std::optional<SetPoint>(SetPoint{80, 80, std::nullopt, std::nullopt})
        << Outcome::Refused;
    QTest::newRow("diastolic 0 is refused")
        << std::optional<SetPoint>(SetPoint{120, 0, std::nullopt, std::nullopt})
        << Outcome::Refused;
    QTest::newRow("999.9 is a value")
        << std::optional<SetPoint>(SetPoint{999.9, 80, 93, 72}) << Outcome::Given;
    QTest::newRow("999.95 is none")
        << std::optional<SetPoint>(SetPoint{999.95, 80, 93, 72}) << Outcome::Refused;
    QTest::newRow("mean on systolic is given")
        << std::optional<SetPoint>(SetPoint{120, 80, 120, 72}) << Outcome::Given;
    QTest::newRow("mean on diastolic is given")
        << std::optional<SetPoint>(SetPoint{120, 80, 80, 72}) << Outcome::Given;
    QTest::newRow("mean 0.5 above systolic is refused, was taken")
        << std::optional<SetPoint>(SetPoint{120, 80, 120.5, 72}) << Outcome::Refused;
    QTest::newRow("mean 0.5 below diastolic is refused, was taken")
        << std::optional<SetPoint>(SetPoint{120, 80, 79.5, 72}) << Outcome::Refused;
    QTest::newRow("pulse 0 is refused")
        << std::optional<SetPoint>(SetPoint{120, 80, std::nullopt, 0}) << Outcome::Refused;
    QTest::newRow("none is statistics only") << std::optional<SetPoint>() << Outcome::NotGiven;
}

// The checks judge by a set point only when the core took it; a refused one
// also takes back the one before.
void BenchCoreTest::setPointTaken()
{
    using Outcome = BenchInput::SetPointCheck::Outcome;
    QFETCH(std::optional<SetPoint>, setPoint);
    QFETCH(Outcome, outcome);
    Bench bench;
    bench.core.setSetPoint(SetPoint{120, 80, std::nullopt, std::nullopt});
    QSignalSpy announced(&bench.core, &BenchCore::setPointChanged);
    QCOMPARE(bench.core.setSetPoint(setPoint).outcome, outcome);
    QCOMPARE(announced.size(), 1);
    const std::optional<SetPoint> judgedBy = bench.core.checks().report().setPoint;
    QCOMPARE(judgedBy.has_value(), outcome == Outcome::Given);
    if (judgedBy)
        QCOMPARE(judgedBy->systolic, setPoint->systolic);
}

void BenchCoreTest::clearWithoutPortClearsChecksAndBoard()
{
    Bench bench(false);
    bench.core.setSessionField(BenchCore::SessionField::Board, "4711");
    bench.core.setSessionField(BenchCore::SessionField::Operator, "A. Berg");
    bench.core.checks().feed({0, "COM1", "sent",
                              "\x02"
                              "01;;D7\x03"});
    bench.core.checks().feed({250, "COM1", "received",
                              "\x02"
                              "310\r"});
    QCOMPARE(bench.core.report().overPressureVerdict, Verdict::Fail);
    QSignalSpy fields(&bench.core, &BenchCore::sessionFieldChanged);

    bench.core.clearChecks();
    QCOMPARE(bench.core.report().overPressureVerdict, Verdict::None);
    QCOMPARE(bench.core.report().session.board, QString());
    QCOMPARE(bench.core.report().session.operatorName, QString("A. Berg"));
    QCOMPARE(fields.size(), 1);
}

QTEST_GUILESS_MAIN(BenchCoreTest)
#include "bench_core_test.moc"
