// The real main window end to end: MainWindow on the real QtSerialPort, simulated
// boards behind pseudo-terminals, buttons clicked with the mouse and menu
// entries chosen. Every frame goes over a terminal into a board's record and
// every reply line comes back through the port, the window's reply field and
// its Val_Update timer to the fields an operator reads.
#include "window_bench.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using Field = PanelDisplay::Field;
using Mode = SimulatedBoard::Mode;
using Command = SimulatedBoard::Command;

namespace {

QString statusLine(const QString &payload)
{
    return QStringLiteral("\x02") + payload;
}

// The results the window showed, in order: a Sys value after an empty Sys.
QStringList resultsShown(const QList<WindowBench::Tick> &ticks)
{
    QStringList shown;
    for (qsizetype i = 1; i < ticks.size(); ++i) {
        if (ticks.at(i - 1).sys.isEmpty() && !ticks.at(i).sys.isEmpty())
            shown << ticks.at(i).sys;
    }
    return shown;
}

} // namespace

class WindowOverPtyTest : public QObject
{
    Q_OBJECT

private slots:
    void startUpReachesTheFirstBoardThatOpens_data();
    void startUpReachesTheFirstBoardThatOpens();
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
    void breakStopsAMeasurementTheBoardStarted();
    void adapterPluggedInAfterStartUpCanBeChosen();
};

void WindowOverPtyTest::startUpReachesTheFirstBoardThatOpens_data()
{
    QTest::addColumn<QList<int>>("boards");
    QTest::addColumn<int>("first");

    QTest::newRow("board on COM1") << QList<int>{1} << 1;
    QTest::newRow("board on COM3 behind two absent ports") << QList<int>{3} << 3;
    QTest::newRow("boards on COM2 and COM5") << QList<int>{2, 5} << 2;
}

void WindowOverPtyTest::startUpReachesTheFirstBoardThatOpens()
{
    QFETCH(QList<int>, boards);
    QFETCH(int, first);

    WindowBench bench(boards);
    QVERIFY(bench.waitForStartUp(first));

    QCOMPARE(bench.board(first).commands(), PtyRig::onPort(PtyRig::kStartUp, first));
    QCOMPARE(bench.board(first).ignoredFrames().size(), 0);
    for (const int other : boards) {
        if (other != first)
            QCOMPARE(bench.board(other).commands().size(), 0);
    }
    for (int port = 1; port <= 8; ++port) {
        const QAction *entry = bench.action(QStringLiteral("setCOM%1").arg(port));
        QVERIFY2(entry->isEnabled() == boards.contains(port), qPrintable(entry->text()));
        QVERIFY2(entry->isChecked() == (port == first), qPrintable(entry->text()));
    }
    QCOMPARE(bench.window().failureNotice(), QString());
    // The board's answer to the status request, read as a pressure line.
    QCOMPARE(bench.text(Field::ReplyLine), statusLine("000 I A 160 00"));
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("IDLE"));
    QCOMPARE(bench.barValue(), 0);
}

// At ten times real time the window's 150 ms ticks see the cuff at a dozen
// pressures on the way.
void WindowOverPtyTest::measurementRunsToItsResult()
{
    WindowBench bench({1}, 10.0);
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &board = bench.board(1);
    bench.clearTicks();

    bench.click("StartStop");
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("MEASURE"));
    QCOMPARE(bench.text(Field::ReplyLine), QString());
    QVERIFY(bench.waitFor([&] { return !bench.text(Field::Systolic).isEmpty(); }));

    const std::optional<SimulatedBoard::Result> result = board.lastResult();
    QVERIFY(result.has_value());
    QCOMPARE(bench.text(Field::Systolic), PtyRig::padded(result->systolic));
    QCOMPARE(bench.text(Field::Diastolic), PtyRig::padded(result->diastolic));
    QCOMPARE(bench.text(Field::MeanPressure), PtyRig::padded(result->mean));
    QCOMPARE(bench.text(Field::PulseRate), PtyRig::padded(result->pulse));
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("IDLE"));
    QCOMPARE(board.commands().last(), (Command{QStringLiteral("01;;D7"), 1}));
    QCOMPARE(board.measurementsStarted(), 1);

    // On the way the pressure lines moved Map and the bar up to the pump-up
    // pressure and down again, with the result fields empty.
    QStringList pressures;
    QList<int> bar;
    for (const WindowBench::Tick &tick : bench.ticks()) {
        if (tick.state != QLatin1String("MEASURE") || tick.map.isEmpty())
            continue;
        QCOMPARE(tick.sys, QString());
        QCOMPARE(tick.bar, tick.map.toInt());
        if (pressures.isEmpty() || pressures.last() != tick.map) {
            pressures << tick.map;
            bar << tick.bar;
        }
    }
    QVERIFY2(pressures.size() >= 5, qPrintable(pressures.join(QLatin1Char(','))));
    const auto peak = std::max_element(bar.begin(), bar.end());
    QVERIFY2(*peak > 100 && *peak <= 200, qPrintable(pressures.join(QLatin1Char(','))));
    QVERIFY2(peak != bar.begin() && peak + 1 != bar.end(),
             qPrintable(pressures.join(QLatin1Char(','))));
}

// The board sends "999" and falls silent; the window asks for the status at
// every tick until the status line begins, then rests on that line.
void WindowOverPtyTest::failedMeasurementEndsOnTheEndValue()
{
    WindowBench bench({1}, 20.0, 1.0);
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &board = bench.board(1);
    board.clearRecord();
    bench.clearTicks();

    bench.click("StartStop");
    QVERIFY(bench.waitFor([&] {
        return board.lastMeasurementFailed() &&
               bench.text(Field::MeanPressure) == QLatin1String("000");
    }));

    const QList<WindowBench::Tick> ticks = bench.ticks();
    const auto endValue = std::find_if(ticks.begin(), ticks.end(), [](const WindowBench::Tick &t) {
        return t.map == QLatin1String("999");
    });
    QVERIFY(endValue != ticks.end());
    QCOMPARE(endValue->state, QStringLiteral("IDLE"));
    QCOMPARE(endValue->bar, 0);
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("IDLE"));
    QCOMPARE(bench.barValue(), 0);
    QCOMPARE(bench.text(Field::Systolic), QString());

    QStringList texts = board.commandTexts();
    QCOMPARE(texts.takeFirst(), QStringLiteral("01;;D7"));
    QVERIFY(!texts.isEmpty());
    QCOMPARE(texts.count(QStringLiteral("18;;DF")), texts.size());
    QCOMPARE(board.sentLines().last(), QStringLiteral("000 I A 160 00"));
    // The status line ends the requests.
    WindowBench::run(3 * MainWindow::kInterpretIntervalMs);
    const qsizetype requests = board.commands().size();
    WindowBench::run(3 * MainWindow::kInterpretIntervalMs);
    QCOMPARE(board.commands().size(), requests);
    QCOMPARE(bench.window().failureNotice(), QString());
}

void WindowOverPtyTest::modeIsLeftWithBreak_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("mode");

    QTest::newRow("Manometer") << "ManoMode"
                               << "Manometer"
                               << "14;;DB" << int(Mode::Manometer);
    QTest::newRow("Leak Test") << "LeakTest"
                               << "Leak Test"
                               << "17;;DE" << int(Mode::LeakTest);
}

void WindowOverPtyTest::modeIsLeftWithBreak()
{
    QFETCH(QString, button);
    QFETCH(QString, state);
    QFETCH(QString, command);
    QFETCH(int, mode);

    WindowBench bench({1});
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &board = bench.board(1);
    board.clearRecord();

    bench.click(button);
    QCOMPARE(bench.text(Field::OperatingState), state);
    QVERIFY(bench.waitFor([&] { return bench.barValue() >= 100; }));
    QCOMPARE(int(board.mode()), mode);
    QCOMPARE(bench.text(Field::OperatingState), state);
    QVERIFY(bench.text(Field::MeanPressure).toInt() >= 100);

    bench.click("Break");
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("IDLE"));
    QVERIFY(bench.waitFor([&] {
        return bench.text(Field::MeanPressure) == QLatin1String("000") && bench.barValue() == 0;
    }));
    QCOMPARE(board.commands(), PtyRig::onPort({command, QStringLiteral("X")}, 1));
    QCOMPARE(board.mode(), Mode::Idle);
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("IDLE"));
}

void WindowOverPtyTest::readStatIsAnsweredInEveryState_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("modeLetter");

    QTest::newRow("IDLE") << QString() << "IDLE"
                          << "I";
    QTest::newRow("MEASURE") << "StartStop"
                             << "MEASURE"
                             << "M";
    QTest::newRow("Manometer") << "ManoMode"
                               << "Manometer"
                               << "N";
    QTest::newRow("Leak Test") << "LeakTest"
                               << "Leak Test"
                               << "L";
}

// The board's clock is held once it is busy, so its answer stays the last
// line and the window's reading of it can be seen. (In "IDLE" the answer is
// the same line that start-up's status request brought.)
void WindowOverPtyTest::readStatIsAnsweredInEveryState()
{
    QFETCH(QString, button);
    QFETCH(QString, state);
    QFETCH(QString, modeLetter);

    WindowBench bench({1});
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &board = bench.board(1);
    board.clearRecord();
    if (!button.isEmpty()) {
        bench.click(button);
        QVERIFY(bench.waitFor([&] { return board.sentLines().size() >= 3; }));
    }
    board.stop();
    const QString last =
        QStringLiteral("\x02") + board.sentLines().value(board.sentLines().size() - 1);
    if (!button.isEmpty())
        QVERIFY(bench.waitFor([&] { return bench.text(Field::ReplyLine) == last; }));

    const qsizetype linesBefore = board.sentLines().size();
    bench.click("Reset");
    QCOMPARE(bench.text(Field::OperatingState), state);
    QVERIFY(bench.waitFor([&] { return board.sentLines().size() == linesBefore + 1; }));
    QCOMPARE(board.commandTexts().last(), QStringLiteral("18;;DF"));
    const QRegularExpression status(QStringLiteral("^\\x02(\\d{3}) %1 A 160 00$").arg(modeLetter));
    QVERIFY(bench.waitFor([&] { return status.match(bench.text(Field::ReplyLine)).hasMatch(); }));
    // The status line is read as a pressure line: its pressure reaches Map,
    // and the state stays.
    const QString pressure = status.match(bench.text(Field::ReplyLine)).captured(1);
    QCOMPARE(pressure, PtyRig::padded(board.pressure()));
    QVERIFY(bench.waitFor([&] { return bench.text(Field::MeanPressure) == pressure; }));
    WindowBench::run(2 * MainWindow::kInterpretIntervalMs);
    QCOMPARE(bench.text(Field::OperatingState), state);
}

// Two boards on COM1 and COM3: every frame arrives on the board whose port
// is checked in the Port menu at the time, and lines come from that board.
void WindowOverPtyTest::framesFollowThePortMenu()
{
    WindowBench bench({1, 3});
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &one = bench.board(1);
    SimulatedBoard &three = bench.board(3);

    bench.choose("setCOM3");
    QVERIFY(bench.action("setCOM3")->isChecked());
    QVERIFY(!bench.action("setCOM1")->isChecked());
    bench.click("Reset");
    QVERIFY(bench.waitFor(
        [&] { return bench.text(Field::ReplyLine) == statusLine("000 I A 160 00"); }));
    bench.click("StartStop");
    QVERIFY(bench.waitFor([&] { return three.mode() == Mode::Measuring; }));
    QVERIFY(bench.waitFor([&] { return bench.barValue() > 0; }));
    bench.click("Break");
    QVERIFY(bench.waitFor([&] { return three.commands().size() == 3; }));

    bench.choose("setCOM1");
    QVERIFY(bench.action("setCOM1")->isChecked());
    QVERIFY(!bench.action("setCOM3")->isChecked());
    bench.click("Patientsel");
    QCOMPARE(bench.text(Field::Patient), QStringLiteral("Neonate"));
    bench.click("Reset");
    QVERIFY(bench.waitFor(
        [&] { return bench.text(Field::ReplyLine) == statusLine("000 I N 160 00"); }));

    QCOMPARE(one.commands(), PtyRig::onPort(PtyRig::kStartUp + QStringList{"25;;DD", "18;;DF"}, 1));
    QCOMPARE(three.commands(), PtyRig::onPort({"18;;DF", "01;;D7", "X"}, 3));
    QCOMPARE(one.patient(), SimulatedBoard::Patient::Neonate);
    QCOMPARE(three.patient(), SimulatedBoard::Patient::Adult);
    QCOMPARE(one.measurementsStarted(), 0);
    QCOMPARE(bench.window().failureNotice(), QString());
}

void WindowOverPtyTest::settingsReachTheBoard_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("status");

    const int patient = int(Field::Patient), pumpUp = int(Field::PumpUp),
              cycle = int(Field::CycleTime);
    QTest::newRow("Neo/Adult once") << "Patientsel" << 1 << "25;;DD" << patient << "Neonate"
                                    << "000 I N 160 00";
    QTest::newRow("Neo/Adult twice") << "Patientsel" << 2 << "24;;DC" << patient << "Adult"
                                     << "000 I A 160 00";
    QTest::newRow("Pump To once") << "PumpUp" << 1 << "23;;DB" << pumpUp << "180 mmHg"
                                  << "000 I A 180 00";
    QTest::newRow("Pump To twice") << "PumpUp" << 2 << "19;;E0" << pumpUp << "100 mmHg"
                                   << "000 I A 100 00";
    QTest::newRow("Pump To five times") << "PumpUp" << 5 << "22;;DA" << pumpUp << "160 mmHg"
                                        << "000 I A 160 00";
    QTest::newRow("Set Cycle once") << "SetCycle" << 1 << "04;;DA" << cycle << "1 min"
                                    << "000 I A 160 01";
    QTest::newRow("Set Cycle eight times") << "SetCycle" << 8 << "11;;D8" << cycle << "30 min"
                                           << "000 I A 160 30";
    QTest::newRow("Set Cycle nine times") << "SetCycle" << 9 << "03;;D9" << cycle << "Manual"
                                          << "000 I A 160 00";
}

// What the window shows is what the board took: the board's status line says
// so. The board's clock is held, so no cycle starts a measurement meanwhile.
void WindowOverPtyTest::settingsReachTheBoard()
{
    QFETCH(QString, button);
    QFETCH(int, clicks);
    QFETCH(QString, command);
    QFETCH(int, field);
    QFETCH(QString, shown);
    QFETCH(QString, status);

    WindowBench bench({1});
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &board = bench.board(1);
    board.stop();
    board.clearRecord();

    for (int i = 0; i < clicks; ++i)
        bench.click(button);
    QCOMPARE(bench.text(Field(field)), shown);
    bench.click("Reset");
    QVERIFY(bench.waitFor([&] { return board.sentLines().size() == 1; }));
    QVERIFY(bench.waitFor([&] { return bench.text(Field::ReplyLine) == statusLine(status); }));
    QCOMPARE(board.commands().size(), clicks + 1);
    QCOMPARE(board.commandTexts().at(clicks - 1), command);
    QCOMPARE(board.ignoredFrames().size(), 0);
}

// A one-minute cycle makes the board measure by itself; the window shows each
// result while its state stays "IDLE". At fifty times real time a cycle takes
// 1.2 s and each measurement spans more than two of the window's ticks.
void WindowOverPtyTest::cycleTimeStartsMeasurements()
{
    WindowBench bench({1}, 50.0);
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &board = bench.board(1);
    QStringList measured;
    connect(&board, &SimulatedBoard::measurementFinished, this, [&](bool failed) {
        measured << (failed ? QStringLiteral("999") : PtyRig::padded(board.lastResult()->systolic));
    });
    bench.clearTicks();

    bench.click("SetCycle");
    QCOMPARE(bench.text(Field::CycleTime), QStringLiteral("1 min"));
    QVERIFY(bench.waitFor([&] { return resultsShown(bench.ticks()).size() >= 2; }));

    QCOMPARE(resultsShown(bench.ticks()).mid(0, 2), measured.mid(0, 2));
    QVERIFY(board.measurementsStarted() >= 2);
    QVERIFY(!board.commandTexts().contains(QStringLiteral("01;;D7")));
    for (const WindowBench::Tick &tick : bench.ticks())
        QCOMPARE(tick.state, QStringLiteral("IDLE"));
}

// A measurement the board started on its cycle time runs while the window
// shows "IDLE"; Break Operation still stops it: the board vents the cuff to
// "000", falls silent and sends no result for it.
void WindowOverPtyTest::breakStopsAMeasurementTheBoardStarted()
{
    WindowBench bench({1}, 20.0);
    QVERIFY(bench.waitForStartUp(1));
    SimulatedBoard &board = bench.board(1);
    bool finished = false;
    connect(&board, &SimulatedBoard::measurementFinished, this, [&] { finished = true; });

    bench.click("SetCycle");
    QVERIFY(bench.waitFor([&] { return board.mode() == Mode::Measuring && bench.barValue() > 0; }));
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("IDLE"));
    board.clearRecord();

    bench.click("Break");
    QVERIFY(bench.waitFor([&] {
        return bench.text(Field::MeanPressure) == QLatin1String("000") && bench.barValue() == 0;
    }));
    QCOMPARE(board.commandTexts(), QStringList{QStringLiteral("X")});
    QCOMPARE(board.mode(), Mode::Idle);
    const qsizetype linesAfterVent = board.sentLines().size();
    WindowBench::run(3 * MainWindow::kInterpretIntervalMs);
    QCOMPARE(board.sentLines().size(), linesAfterVent);
    QVERIFY(!finished);
    QCOMPARE(board.measurementsStarted(), 1);
    QCOMPARE(bench.text(Field::OperatingState), QStringLiteral("IDLE"));
    QCOMPARE(bench.window().failureNotice(), QString());
}

// Start-up finds nothing: the settings file binds COM5 to a ttyACM0 that is
// not there yet. Once it appears, opening the Port menu enables COM5, and
// choosing it gives the board the start-up frames, once.
void WindowOverPtyTest::adapterPluggedInAfterStartUpCanBeChosen()
{
    QTemporaryDir dir;
    const QString acm = dir.filePath(QStringLiteral("ttyACM0"));
    WindowBench bench({5}, 20.0, 0.0,
                      PtyRig::writePortSettings(dir.path(), "COM5=" + QFile::encodeName(acm)));
    QVERIFY(bench.window().failureNotice().contains("unavailable (8 not present)\n"));
    QCOMPARE(bench.action(QStringLiteral("setCOM5"))->toolTip(), acm);

    QVERIFY(QFile::link(bench.rig().terminal(5), acm)); // plugged in
    auto *menPort = bench.window().findChild<QMenu *>(QStringLiteral("menPort"));
    menPort->popup(QPoint(0, 0));
    menPort->hide();
    for (int port = 1; port <= 8; ++port)
        QCOMPARE(bench.action(QStringLiteral("setCOM%1").arg(port))->isEnabled(), port == 5);
    QCOMPARE(bench.board(5).commands().size(), 0); // looked for, not opened

    bench.choose(QStringLiteral("setCOM5"));
    QVERIFY(bench.waitForStartUp(5));
    QCOMPARE(bench.board(5).commands(), PtyRig::onPort(PtyRig::kStartUp, 5));
    QCOMPARE(bench.window().failureNotice(), QString());
    bench.choose(QStringLiteral("setCOM5"));
    bench.run(200);
    QCOMPARE(bench.board(5).commands().size(), PtyRig::kStartUp.size());
}

QTEST_MAIN(WindowOverPtyTest)
#include "window_over_pty_test.moc"
