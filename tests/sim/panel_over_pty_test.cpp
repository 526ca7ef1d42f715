// The panel logic end to end without a window: BoardPanel on the real
// QtSerialPort, simulated boards behind pseudo-terminals, a recording display.
// Every frame goes over a terminal into a board's record and every reply line
// comes back through the port, the assembler and the interpretation tick.
#include "panel_bench.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using Field = PanelDisplay::Field;
using Mode = SimulatedBoard::Mode;
using Command = SimulatedBoard::Command;

namespace {

// Buttons by number, for the data tables.
constexpr int NoButton = 0, Start = 1, Manometer = 2, LeakTest = 3, NeoAdult = 4, PumpTo = 5,
              SetCycle = 6;

void click(BoardPanel &panel, int button)
{
    using Action = void (BoardPanel::*)();
    const Action actions[] = {nullptr,
                              &BoardPanel::startMeasurement,
                              &BoardPanel::startManometer,
                              &BoardPanel::startLeakTest,
                              &BoardPanel::togglePatient,
                              &BoardPanel::stepPumpUp,
                              &BoardPanel::stepCycle};
    if (actions[button])
        (panel.*actions[button])();
}

// How many times a result appeared in Sys: an empty Sys followed by a value.
int resultsShown(const QStringList &sys)
{
    int shown = 0;
    for (qsizetype i = 1; i < sys.size(); ++i)
        shown += sys.at(i - 1).isEmpty() && !sys.at(i).isEmpty() ? 1 : 0;
    return shown;
}

// The values a field took, in order, from the display's log.
QStringList valuesOf(const QStringList &log, const QString &name)
{
    QStringList values;
    const QString prefix = name + QLatin1Char('=');
    for (const QString &entry : log) {
        if (entry.startsWith(prefix))
            values << entry.mid(prefix.size());
    }
    return values;
}

} // namespace

class PanelOverPtyTest : public QObject
{
    Q_OBJECT

private slots:
    void startUpFramesReachTheFirstBoardThatOpens_data();
    void startUpFramesReachTheFirstBoardThatOpens();
    void startUpFramesReachABoardBoundInThePortSettings();
    void measurementRunsToItsResult();
    void failedMeasurementEndsOnTheEndValue();
    void modeIsLeftWithBreak_data();
    void modeIsLeftWithBreak();
    void readStatIsAnsweredInEveryState_data();
    void readStatIsAnsweredInEveryState();
    void framesFollowThePortMenu();
    void settingsReachTheBoard_data();
    void settingsReachTheBoard();
    void cycleTimeStartsMeasurements();
};

void PanelOverPtyTest::startUpFramesReachTheFirstBoardThatOpens_data()
{
    QTest::addColumn<QList<int>>("boards");
    QTest::addColumn<int>("first");

    QTest::newRow("board on COM1") << QList<int>{1} << 1;
    QTest::newRow("board behind two dead entries") << QList<int>{3} << 3;
    QTest::newRow("boards on COM2 and COM5") << QList<int>{2, 5} << 2;
}

void PanelOverPtyTest::startUpFramesReachTheFirstBoardThatOpens()
{
    QFETCH(QList<int>, boards);
    QFETCH(int, first);

    PanelBench bench(boards);
    bench.start();
    QVERIFY(bench.waitForStartUp(first));

    QCOMPARE(bench.board(first).commands(), PtyRig::onPort(PtyRig::kStartUp, first));
    QCOMPARE(bench.board(first).ignoredFrames().size(), 0);
    for (const int other : boards) {
        if (other != first)
            QCOMPARE(bench.board(other).commands().size(), 0);
    }
    QCOMPARE(bench.display().enabledPorts(), boards);
    QCOMPARE(bench.display().checkedPorts(), QList<int>{first});
    QCOMPARE(bench.panel().selectedPort(), first);
    QCOMPARE(bench.display().failures(), QStringList{});
    QCOMPARE(bench.text(Field::ReplyLine), QStringLiteral("\x02"
                                                          "000 I A 160 00"));
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("IDLE"));
}

// A board with its own USB interface, bound to COM3 by the settings file; the
// terminal's own entry is unbound there, so only the file's binding reaches it.
void PanelOverPtyTest::startUpFramesReachABoardBoundInThePortSettings()
{
    QTemporaryDir dir;
    const QString acm = dir.filePath(QStringLiteral("ttyACM0"));
    PanelBench bench(
        {5}, 50.0, 0.0,
        PtyRig::writePortSettings(dir.path(), "COM3=" + QFile::encodeName(acm) + "\nCOM5=\n"));
    QVERIFY(QFile::link(bench.rig().terminal(5), acm));
    bench.start();
    QVERIFY(bench.waitForStartUp(5));

    QCOMPARE(bench.board(5).commands(), PtyRig::onPort(PtyRig::kStartUp, 5));
    QCOMPARE(bench.display().checkedPorts(), QList<int>{3});
    QCOMPARE(bench.display().failures(), QStringList{});
}

void PanelOverPtyTest::measurementRunsToItsResult()
{
    PanelBench bench({1});
    bench.start();
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &board = bench.board(1);
    bench.display().clearLog();

    bench.panel().startMeasurement();
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("MEASURE"));
    QVERIFY(bench.waitFor([&] { return !bench.text(Field::Systolic).isEmpty(); }));

    const std::optional<SimulatedBoard::Result> result = board.lastResult();
    QVERIFY(result.has_value());
    QCOMPARE(bench.text(Field::Systolic), PtyRig::padded(result->systolic));
    QCOMPARE(bench.text(Field::Diastolic), PtyRig::padded(result->diastolic));
    QCOMPARE(bench.text(Field::MeanPressure), PtyRig::padded(result->mean));
    QCOMPARE(bench.text(Field::PulseRate), PtyRig::padded(result->pulse));
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("IDLE"));
    QCOMPARE(board.commands().last(), (Command{QStringLiteral("01;;D7"), 1}));

    // On the way, pressure lines moved Map and the bar up to the pump-up value and down.
    const QStringList log = bench.display().log();
    QStringList pressures = valuesOf(log, QStringLiteral("MeanPressure"));
    pressures.removeAll(QString());
    pressures.removeDuplicates();
    QVERIFY2(pressures.size() >= 5, qPrintable(pressures.join(QLatin1Char(','))));
    QList<int> bar;
    for (const QString &value : valuesOf(log, QStringLiteral("bar")))
        bar << value.toInt();
    const auto peak = std::max_element(bar.begin(), bar.end());
    QVERIFY(*peak > 100 && *peak <= 160);
    QVERIFY(std::any_of(peak, bar.end(), [&](int v) { return v < *peak; }));
    QCOMPARE(valuesOf(log, QStringLiteral("OperatingState")).first(), QStringLiteral("MEASURE"));
}

// The board sends "999" and falls silent; the panel asks for the status at
// every tick until the status line begins, then rests on that line.
void PanelOverPtyTest::failedMeasurementEndsOnTheEndValue()
{
    PanelBench bench({1}, 50.0, 1.0);
    bench.start();
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &board = bench.board(1);
    board.clearRecord();
    bench.display().clearLog();

    bench.panel().startMeasurement();
    QVERIFY(bench.waitFor([&] {
        return board.lastMeasurementFailed() &&
               bench.text(Field::MeanPressure) == QLatin1String("000");
    }));

    const QStringList log = bench.display().log();
    const qsizetype endValue = log.indexOf(QStringLiteral("MeanPressure=999"));
    QVERIFY(endValue >= 0);
    QVERIFY(log.indexOf(QStringLiteral("OperatingState=IDLE"), endValue) > endValue);
    QVERIFY(log.indexOf(QStringLiteral("bar=0"), endValue) > endValue);
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("IDLE"));
    QCOMPARE(bench.display().barValue(), 0);
    QCOMPARE(bench.panel().cuffPressure(), 0);

    QStringList texts = board.commandTexts();
    QCOMPARE(texts.takeFirst(), QStringLiteral("01;;D7"));
    QVERIFY(!texts.isEmpty());
    QCOMPARE(texts.count(QStringLiteral("18;;DF")), texts.size());
    QCOMPARE(board.sentLines().last(), QStringLiteral("000 I A 160 00"));
    // The status line ends the requests (once those already on the line are answered).
    PanelBench::run(100);
    const qsizetype requests = board.commands().size();
    QVERIFY(requests <= 10);
    PanelBench::run(200);
    QCOMPARE(board.commands().size(), requests);
}

void PanelOverPtyTest::modeIsLeftWithBreak_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("holds");

    QTest::newRow("Manometer") << Manometer << "Manometer"
                               << "14;;DB" << int(Mode::Manometer) << false;
    QTest::newRow("Leak Test") << LeakTest << "Leak Test"
                               << "17;;DE" << int(Mode::LeakTest) << true;
}

void PanelOverPtyTest::modeIsLeftWithBreak()
{
    QFETCH(int, button);
    QFETCH(QString, state);
    QFETCH(QString, command);
    QFETCH(int, mode);
    QFETCH(bool, holds);

    PanelBench bench({1});
    bench.start();
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &board = bench.board(1);
    board.clearRecord();

    click(bench.panel(), button);
    QCOMPARE(bench.text(Field::OperatingState), state);
    QVERIFY(bench.waitFor([&] { return bench.panel().cuffPressure() >= 150; }));
    QCOMPARE(int(board.mode()), mode);
    if (holds) {
        // The hold pressure is reached and then leaks away.
        QVERIFY(
            bench.waitFor([&] { return bench.text(Field::MeanPressure) == QLatin1String("200"); }));
        QVERIFY(
            bench.waitFor([&] { return bench.text(Field::MeanPressure) == QLatin1String("199"); }));
    }
    QCOMPARE(bench.text(Field::OperatingState), state);

    bench.panel().breakOperation();
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("IDLE"));
    QVERIFY(bench.waitFor([&] {
        return bench.text(Field::MeanPressure) == QLatin1String("000") &&
               bench.display().barValue() == 0;
    }));
    QCOMPARE(board.commands(), PtyRig::onPort({command, QStringLiteral("X")}, 1));
    QCOMPARE(board.mode(), Mode::Idle);
    QCOMPARE(board.sentLines().last(), QStringLiteral("000"));
}

void PanelOverPtyTest::readStatIsAnsweredInEveryState_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("modeLetter");

    QTest::newRow("IDLE") << NoButton << "IDLE"
                          << "I";
    QTest::newRow("MEASURE") << Start << "MEASURE"
                             << "M";
    QTest::newRow("Manometer") << Manometer << "Manometer"
                               << "N";
    QTest::newRow("Leak Test") << LeakTest << "Leak Test"
                               << "L";
}

void PanelOverPtyTest::readStatIsAnsweredInEveryState()
{
    QFETCH(int, button);
    QFETCH(QString, state);
    QFETCH(QString, modeLetter);

    PanelBench bench({1});
    bench.start();
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &board = bench.board(1);
    board.clearRecord();
    bench.display().clearLog();
    if (button != NoButton) {
        click(bench.panel(), button);
        QVERIFY(bench.waitFor([&] { return board.sentLines().size() >= 3; }));
    }

    bench.panel().readStatus();
    QCOMPARE(bench.text(Field::OperatingState), state);
    QVERIFY(bench.waitFor([&] { return board.commandTexts().endsWith(QStringLiteral("18;;DF")); }));
    const QRegularExpression status(
        QStringLiteral("^ReplyLine=\\x02\\d{3} %1 A 160 00$").arg(modeLetter));
    QVERIFY(bench.waitFor([&] { return !bench.display().log().filter(status).isEmpty(); }));
    QCOMPARE(bench.text(Field::OperatingState), state);
}

// Two boards on COM1 and COM3: every frame arrives on the board whose port
// is checked in the menu at the time.
void PanelOverPtyTest::framesFollowThePortMenu()
{
    PanelBench bench({1, 3});
    bench.start();
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &one = bench.board(1);
    SimulatedBoard &three = bench.board(3);

    bench.panel().choosePort(3);
    QCOMPARE(bench.display().checkedPorts(), QList<int>{3});
    bench.panel().readStatus();
    bench.panel().startMeasurement();
    QVERIFY(bench.waitFor([&] { return three.mode() == Mode::Measuring; }));
    QVERIFY(bench.waitFor([&] { return bench.panel().cuffPressure() > 0; }));
    // A frame written just before the switch still goes out on the old port.
    bench.panel().breakOperation();
    bench.panel().choosePort(1);
    QCOMPARE(bench.display().checkedPorts(), QList<int>{1});
    QVERIFY(bench.waitFor([&] { return three.commands().size() == 3; }, 2000));
    bench.panel().togglePatient();
    QVERIFY(bench.waitFor([&] { return one.patient() == SimulatedBoard::Patient::Neonate; }));

    QCOMPARE(one.commands(), PtyRig::onPort(PtyRig::kStartUp + QStringList{"25;;DD"}, 1));
    QCOMPARE(three.commands(), PtyRig::onPort({"18;;DF", "01;;D7", "X"}, 3));
    QCOMPARE(three.patient(), SimulatedBoard::Patient::Adult);
    QCOMPARE(bench.display().failures(), QStringList{});
}

void PanelOverPtyTest::settingsReachTheBoard_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("status");

    QTest::newRow("Neo/Adult once") << NeoAdult << 1 << "25;;DD"
                                    << "000 I N 160 00";
    QTest::newRow("Neo/Adult twice") << NeoAdult << 2 << "24;;DC"
                                     << "000 I A 160 00";
    QTest::newRow("Pump To once") << PumpTo << 1 << "23;;DB"
                                  << "000 I A 180 00";
    QTest::newRow("Pump To twice") << PumpTo << 2 << "19;;E0"
                                   << "000 I A 100 00";
    QTest::newRow("Pump To five times") << PumpTo << 5 << "22;;DA"
                                        << "000 I A 160 00";
    QTest::newRow("Set Cycle once") << SetCycle << 1 << "04;;DA"
                                    << "000 I A 160 01";
    QTest::newRow("Set Cycle seven times") << SetCycle << 7 << "10;;D7"
                                           << "000 I A 160 15";
    QTest::newRow("Set Cycle nine times") << SetCycle << 9 << "03;;D9"
                                          << "000 I A 160 00";
}

// What the panel shows is what the board took: its status line says so.
void PanelOverPtyTest::settingsReachTheBoard()
{
    QFETCH(int, button);
    QFETCH(int, clicks);
    QFETCH(QString, command);
    QFETCH(QString, status);

    PanelBench bench({1});
    bench.start();
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &board = bench.board(1);
    board.clearRecord();

    for (int i = 0; i < clicks; ++i)
        click(bench.panel(), button);
    bench.panel().readStatus();
    QVERIFY(bench.waitFor([&] { return board.commands().size() == clicks + 1; }));
    QVERIFY(bench.waitFor([&] { return board.sentLines().size() == 1; }));
    QVERIFY(bench.waitFor(
        [&] { return bench.display().log().contains(QStringLiteral("ReplyLine=\x02") + status); }));
    QCOMPARE(board.commandTexts().at(clicks - 1), command);
}

// A one-minute cycle makes the board measure by itself; the panel shows each
// result while its state stays "IDLE".
void PanelOverPtyTest::cycleTimeStartsMeasurements()
{
    PanelBench bench({1}, 250.0);
    bench.start();
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &board = bench.board(1);
    bench.display().clearLog();

    bench.panel().stepCycle();
    QCOMPARE(bench.text(Field::CycleTime), QStringLiteral("1 min"));
    QVERIFY(bench.waitFor([&] {
        return resultsShown(valuesOf(bench.display().log(), QStringLiteral("Systolic"))) >= 2;
    }));

    QCOMPARE(board.measurementsStarted(), 2);
    QCOMPARE(bench.text(Field::Systolic), PtyRig::padded(board.lastResult()->systolic));
    QCOMPARE(bench.text(Field::PulseRate), PtyRig::padded(board.lastResult()->pulse));
    QVERIFY(!board.commandTexts().contains(QStringLiteral("01;;D7")));
    QVERIFY(!valuesOf(bench.display().log(), QStringLiteral("OperatingState"))
                 .contains(QStringLiteral("MEASURE")));
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("IDLE"));
}

QTEST_GUILESS_MAIN(PanelOverPtyTest)
#include "panel_over_pty_test.moc"
