// SPDX-License-Identifier: MIT
// The panel end to end on the real QtSerialPort, against simulated boards
// behind pseudo-terminals: every frame goes over a terminal into a board's
// record and every reply line comes back through the port, the reply field
// and the interpretation tick to the fields an operator reads. Each scenario
// runs against the bench the executable is built with: the real main window
// (window_over_pty_test) or the panel logic alone, read from its state
// (panel_over_pty_test).
#include "pty_bench.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using Field = BoardState::Field;
using Control = PtyBench::Control;
using Mode = SimulatedBoard::Mode;
using Command = SimulatedBoard::Command;
using Patient = SimulatedBoard::Patient;

namespace {

QString statusLine(const QString &payload)
{
    return QStringLiteral("\x02") + payload;
}

// The results shown, in order: a Sys value after an empty Sys.
QStringList resultsShown(const QList<PtyBench::Tick> &ticks)
{
    QStringList shown;
    for (qsizetype i = 1; i < ticks.size(); ++i) {
        if (ticks.at(i - 1).sys.isEmpty() && !ticks.at(i).sys.isEmpty())
            shown << ticks.at(i).sys;
    }
    return shown;
}

// The values a field was given, in order, from the bench's log.
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

// Started, and past the start-up on COM1; null if start-up did not end.
std::unique_ptr<PtyBench> startedBench(const PtyBench::Setup &setup)
{
    std::unique_ptr<PtyBench> bench = PtyBench::create(setup);
    bench->start();
    if (!bench->waitForStartUp(1))
        return nullptr;
    return bench;
}

} // namespace

class BoardOverPtyTest : public QObject
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

// `settings` is the port settings file's [ports] group, ACM standing for a
// link to the terminal of the board on `board` that appears before start-up.
void BoardOverPtyTest::startUpReachesTheFirstBoardThatOpens_data()
{
    QTest::addColumn<QList<int>>("boards");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("board");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QList<int>>("enabled");

    QTest::newRow("board on COM1") << QList<int>{1} << QByteArray() << 1 << 1 << QList<int>{1};
    QTest::newRow("board on COM3 behind two absent ports")
        << QList<int>{3} << QByteArray() << 3 << 3 << QList<int>{3};
    QTest::newRow("boards on COM2 and COM5")
        << QList<int>{2, 5} << QByteArray() << 2 << 2 << QList<int>{2, 5};
    // A board with its own USB interface; the terminal's own entry is
    // unbound, so only the file's binding reaches it.
    QTest::newRow("board bound to COM3 in the port settings")
        << QList<int>{5} << QByteArray("COM3=ACM\nCOM5=\n") << 5 << 3 << QList<int>{3};
}

void BoardOverPtyTest::startUpReachesTheFirstBoardThatOpens()
{
    QFETCH(QList<int>, boards);
    QFETCH(QByteArray, settings);
    QFETCH(int, board);
    QFETCH(int, entry);
    QFETCH(QList<int>, enabled);

    QTemporaryDir dir;
    const QString acm = dir.filePath(QStringLiteral("ttyACM0"));
    const QString file = settings.isEmpty()
                             ? QString()
                             : PtyRig::writePortSettings(
                                   dir.path(), settings.replace("ACM", QFile::encodeName(acm)));
    std::unique_ptr<PtyBench> bench = PtyBench::create({boards, 20.0, 0.0, file});
    if (!settings.isEmpty())
        QVERIFY(QFile::link(bench->rig().terminal(board), acm));
    bench->start();
    QVERIFY(bench->waitForStartUp(board));

    QCOMPARE(bench->board(board).commands(), PtyRig::onPort(PtyRig::kStartUp, board));
    QCOMPARE(bench->board(board).ignoredFrames().size(), 0);
    for (const int other : boards) {
        if (other != board)
            QCOMPARE(bench->board(other).commands().size(), 0);
    }
    QCOMPARE(bench->enabledPorts(), enabled);
    QCOMPARE(bench->checkedPorts(), QList<int>{entry});
    QCOMPARE(int(bench->panel().selectedPort()), entry);
    QCOMPARE(bench->failures(), QStringList());
    // The board's answer to the status request, read as a pressure line.
    QCOMPARE(bench->text(Field::ReplyLine), statusLine("000 I A 160 00"));
    QCOMPARE(bench->text(Field::OperatingState), QStringLiteral("IDLE"));
    QCOMPARE(bench->barValue(), 0);
}

// At ten times real time the panel's 150 ms ticks see the cuff at a dozen
// pressures on the way.
void BoardOverPtyTest::measurementRunsToItsResult()
{
    std::unique_ptr<PtyBench> bench = startedBench({{1}, 10.0});
    QVERIFY(bench);
    SimulatedBoard &board = bench->board(1);
    bench->clearTicks();
    bench->clearLog();

    bench->press(Control::Start);
    QCOMPARE(bench->text(Field::OperatingState), QStringLiteral("MEASURE"));
    QCOMPARE(bench->text(Field::ReplyLine), QString());
    QVERIFY(bench->waitFor([&] { return !bench->text(Field::Systolic).isEmpty(); }));

    const std::optional<SimulatedBoard::Result> result = board.lastResult();
    QVERIFY(result.has_value());
    QCOMPARE(bench->text(Field::Systolic), PtyRig::padded(result->systolic));
    QCOMPARE(bench->text(Field::Diastolic), PtyRig::padded(result->diastolic));
    QCOMPARE(bench->text(Field::MeanPressure), PtyRig::padded(result->mean));
    QCOMPARE(bench->text(Field::PulseRate), PtyRig::padded(result->pulse));
    QCOMPARE(bench->text(Field::OperatingState), QStringLiteral("IDLE"));
    QCOMPARE(board.commands().last(), (Command{QStringLiteral("01;;D7"), 1}));
    QCOMPARE(board.measurementsStarted(), 1);
    QCOMPARE(valuesOf(bench->log(), QStringLiteral("OperatingState")).value(0),
             QStringLiteral("MEASURE"));

    // On the way the pressure lines moved Map and the bar up to the pump-up
    // pressure and down again, with the result fields empty.
    QStringList pressures;
    QList<int> bar;
    for (const PtyBench::Tick &tick : bench->ticks()) {
        if (tick.state != QLatin1String("MEASURE") || tick.map.isEmpty())
            continue;
        QCOMPARE(tick.sys, QString());
        QCOMPARE(tick.bar, tick.map.toInt());
        if (pressures.isEmpty() || pressures.last() != tick.map) {
            pressures << tick.map;
            bar << tick.bar;
        }
    }
    const QByteArray seen = pressures.join(QLatin1Char(',')).toLatin1();
    QVERIFY2(pressures.size() >= 5, seen.constData());
    const auto peak = std::max_element(bar.begin(), bar.end());
    QVERIFY2(*peak > 100 && *peak <= 160, seen.constData());
    QVERIFY2(peak != bar.begin() && peak + 1 != bar.end(), seen.constData());
}

// The board sends "999" and falls silent; the panel asks for the status at
// every tick until the status line begins, then rests on that line.
void BoardOverPtyTest::failedMeasurementEndsOnTheEndValue()
{
    std::unique_ptr<PtyBench> bench = startedBench({{1}, 20.0, 1.0});
    QVERIFY(bench);
    SimulatedBoard &board = bench->board(1);
    board.clearRecord();
    bench->clearTicks();
    bench->clearLog();

    bench->press(Control::Start);
    QVERIFY(bench->waitFor([&] {
        return board.lastMeasurementFailed() &&
               bench->text(Field::MeanPressure) == QLatin1String("000");
    }));

    const QList<PtyBench::Tick> ticks = bench->ticks();
    const auto endValue = std::find_if(ticks.begin(), ticks.end(), [](const PtyBench::Tick &t) {
        return t.map == QLatin1String("999");
    });
    QVERIFY(endValue != ticks.end());
    QCOMPARE(endValue->state, QStringLiteral("IDLE"));
    QCOMPARE(endValue->bar, 0);
    const QStringList log = bench->log();
    const qsizetype endValueWritten = log.indexOf(QStringLiteral("MeanPressure=999"));
    QVERIFY(endValueWritten >= 0);
    QVERIFY(log.indexOf(QStringLiteral("OperatingState=IDLE"), endValueWritten) > endValueWritten);
    QVERIFY(log.indexOf(QStringLiteral("bar=0"), endValueWritten) > endValueWritten);
    QCOMPARE(bench->text(Field::OperatingState), QStringLiteral("IDLE"));
    QCOMPARE(bench->barValue(), 0);
    QCOMPARE(bench->panel().cuffPressure(), 0);
    QCOMPARE(bench->text(Field::Systolic), QString());

    QStringList texts = board.commandTexts();
    QCOMPARE(texts.takeFirst(), QStringLiteral("01;;D7"));
    QVERIFY(!texts.isEmpty());
    QCOMPARE(texts.count(QStringLiteral("18;;DF")), texts.size());
    QCOMPARE(board.sentLines().last(), QStringLiteral("000 I A 160 00"));
    // The status line ends the requests (once those already on the line are answered).
    PtyBench::run(bench->quietMs());
    const qsizetype requests = board.commands().size();
    QVERIFY(requests <= 10);
    PtyBench::run(bench->quietMs());
    QCOMPARE(board.commands().size(), requests);
    QCOMPARE(bench->failures(), QStringList());
}

void BoardOverPtyTest::modeIsLeftWithBreak_data()
{
    QTest::addColumn<Control>("control");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("command");
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<bool>("holds");

    QTest::newRow("Manometer") << Control::Manometer << "Manometer"
                               << "14;;DB" << Mode::Manometer << false;
    QTest::newRow("Leak Test") << Control::LeakTest << "Leak Test"
                               << "17;;DE" << Mode::LeakTest << true;
}

void BoardOverPtyTest::modeIsLeftWithBreak()
{
    QFETCH(Control, control);
    QFETCH(QString, state);
    QFETCH(QString, command);
    QFETCH(Mode, mode);
    QFETCH(bool, holds);

    std::unique_ptr<PtyBench> bench = startedBench({{1}});
    QVERIFY(bench);
    SimulatedBoard &board = bench->board(1);
    board.clearRecord();

    bench->press(control);
    QCOMPARE(bench->text(Field::OperatingState), state);
    QVERIFY(bench->waitFor(
        [&] { return bench->panel().cuffPressure() >= 150 && bench->barValue() >= 150; }));
    QCOMPARE(board.mode(), mode);
    QVERIFY(bench->text(Field::MeanPressure).toInt() >= 150);
    if (holds) {
        // The hold pressure is reached and then leaks away.
        QVERIFY(bench->waitFor(
            [&] { return bench->text(Field::MeanPressure) == QLatin1String("200"); }));
        QVERIFY(bench->waitFor(
            [&] { return bench->text(Field::MeanPressure) == QLatin1String("199"); }));
    }
    QCOMPARE(bench->text(Field::OperatingState), state);

    bench->press(Control::Break);
    QCOMPARE(bench->text(Field::OperatingState), QStringLiteral("IDLE"));
    QVERIFY(bench->waitFor([&] {
        return bench->text(Field::MeanPressure) == QLatin1String("000") && bench->barValue() == 0;
    }));
    QCOMPARE(board.commands(), PtyRig::onPort({command, QStringLiteral("X")}, 1));
    QCOMPARE(board.mode(), Mode::Idle);
    QCOMPARE(board.sentLines().last(), QStringLiteral("000"));
    QCOMPARE(bench->text(Field::OperatingState), QStringLiteral("IDLE"));
}

void BoardOverPtyTest::readStatIsAnsweredInEveryState_data()
{
    QTest::addColumn<QList<Control>>("before");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("modeLetter");

    QTest::newRow("IDLE") << QList<Control>{} << "IDLE"
                          << "I";
    QTest::newRow("MEASURE") << QList<Control>{Control::Start} << "MEASURE"
                             << "M";
    QTest::newRow("Manometer") << QList<Control>{Control::Manometer} << "Manometer"
                               << "N";
    QTest::newRow("Leak Test") << QList<Control>{Control::LeakTest} << "Leak Test"
                               << "L";
}

// The board's clock is held once it is busy, so its answer stays the last
// line and the reading of it can be seen. (In "IDLE" the answer is the same
// line that start-up's status request brought.)
void BoardOverPtyTest::readStatIsAnsweredInEveryState()
{
    QFETCH(QList<Control>, before);
    QFETCH(QString, state);
    QFETCH(QString, modeLetter);

    std::unique_ptr<PtyBench> bench = startedBench({{1}});
    QVERIFY(bench);
    SimulatedBoard &board = bench->board(1);
    board.clearRecord();
    for (const Control control : before) {
        bench->press(control);
        QVERIFY(bench->waitFor([&] { return board.sentLines().size() >= 3; }));
    }
    board.stop();
    const QString last = statusLine(board.sentLines().value(board.sentLines().size() - 1));
    if (!before.isEmpty())
        QVERIFY(bench->waitFor([&] { return bench->text(Field::ReplyLine) == last; }));

    const qsizetype linesBefore = board.sentLines().size();
    bench->press(Control::ReadStatus);
    QCOMPARE(bench->text(Field::OperatingState), state);
    QVERIFY(bench->waitFor([&] { return board.sentLines().size() == linesBefore + 1; }));
    QCOMPARE(board.commandTexts().last(), QStringLiteral("18;;DF"));
    const QRegularExpression status(QStringLiteral("^\\x02(\\d{3}) %1 A 160 00$").arg(modeLetter));
    QVERIFY(bench->waitFor([&] { return status.match(bench->text(Field::ReplyLine)).hasMatch(); }));
    // The status line is read as a pressure line: its pressure reaches Map,
    // and the state stays.
    const QString pressure = status.match(bench->text(Field::ReplyLine)).captured(1);
    QCOMPARE(pressure, PtyRig::padded(board.pressure()));
    QVERIFY(bench->waitFor([&] { return bench->text(Field::MeanPressure) == pressure; }));
    PtyBench::run(bench->quietMs());
    QCOMPARE(bench->text(Field::OperatingState), state);
}

// Two boards on COM1 and COM3: every frame arrives on the board whose port
// entry is checked at the time, and lines come from that board.
void BoardOverPtyTest::framesFollowThePortMenu()
{
    std::unique_ptr<PtyBench> bench = startedBench({{1, 3}});
    QVERIFY(bench);
    SimulatedBoard &one = bench->board(1);
    SimulatedBoard &three = bench->board(3);

    bench->choosePort(3);
    QCOMPARE(bench->checkedPorts(), QList<int>{3});
    bench->press(Control::ReadStatus);
    QVERIFY(bench->waitFor(
        [&] { return bench->text(Field::ReplyLine) == statusLine("000 I A 160 00"); }));
    bench->press(Control::Start);
    QVERIFY(bench->waitFor([&] { return three.mode() == Mode::Measuring; }));
    QVERIFY(
        bench->waitFor([&] { return bench->panel().cuffPressure() > 0 && bench->barValue() > 0; }));
    // A frame written just before the switch still goes out on the old port.
    bench->press(Control::Break);
    bench->choosePort(1);
    QCOMPARE(bench->checkedPorts(), QList<int>{1});
    QVERIFY(bench->waitFor([&] { return three.commands().size() == 3; }, 2000));

    bench->press(Control::Patient);
    QCOMPARE(bench->text(Field::Patient), QStringLiteral("Neonate"));
    QVERIFY(bench->waitFor([&] { return one.patient() == Patient::Neonate; }));
    bench->press(Control::ReadStatus);
    QVERIFY(bench->waitFor(
        [&] { return bench->text(Field::ReplyLine) == statusLine("000 I N 160 00"); }));

    QCOMPARE(one.commands(), PtyRig::onPort(PtyRig::kStartUp + QStringList{"25;;DD", "18;;DF"}, 1));
    QCOMPARE(three.commands(), PtyRig::onPort({"18;;DF", "01;;D7", "X"}, 3));
    QCOMPARE(one.patient(), Patient::Neonate);
    QCOMPARE(three.patient(), Patient::Adult);
    QCOMPARE(one.measurementsStarted(), 0);
    QCOMPARE(bench->failures(), QStringList());
}

void BoardOverPtyTest::settingsReachTheBoard_data()
{
    QTest::addColumn<Control>("control");
    QTest::addColumn<int>("presses");
    QTest::addColumn<QString>("command");
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("status");

    const Control patient = Control::Patient, pumpUp = Control::PumpUp, cycle = Control::Cycle;
    QTest::newRow("Neo/Adult once") << patient << 1 << "25;;DD" << Field::Patient << "Neonate"
                                    << "000 I N 160 00";
    QTest::newRow("Neo/Adult twice") << patient << 2 << "24;;DC" << Field::Patient << "Adult"
                                     << "000 I A 160 00";
    QTest::newRow("Pump To once") << pumpUp << 1 << "23;;DB" << Field::PumpUp << "180 mmHg"
                                  << "000 I A 180 00";
    QTest::newRow("Pump To twice") << pumpUp << 2 << "19;;E0" << Field::PumpUp << "100 mmHg"
                                   << "000 I A 100 00";
    QTest::newRow("Pump To five times") << pumpUp << 5 << "22;;DA" << Field::PumpUp << "160 mmHg"
                                        << "000 I A 160 00";
    QTest::newRow("Set Cycle once") << cycle << 1 << "04;;DA" << Field::CycleTime << "1 min"
                                    << "000 I A 160 01";
    QTest::newRow("Set Cycle seven times") << cycle << 7 << "10;;D7" << Field::CycleTime << "15 min"
                                           << "000 I A 160 15";
    QTest::newRow("Set Cycle eight times") << cycle << 8 << "11;;D8" << Field::CycleTime << "30 min"
                                           << "000 I A 160 30";
    QTest::newRow("Set Cycle nine times") << cycle << 9 << "03;;D9" << Field::CycleTime << "Manual"
                                          << "000 I A 160 00";
}

// What is shown is what the board took: the board's status line says so.
// The board's clock is held, so no cycle starts a measurement meanwhile.
void BoardOverPtyTest::settingsReachTheBoard()
{
    QFETCH(Control, control);
    QFETCH(int, presses);
    QFETCH(QString, command);
    QFETCH(Field, field);
    QFETCH(QString, shown);
    QFETCH(QString, status);

    std::unique_ptr<PtyBench> bench = startedBench({{1}});
    QVERIFY(bench);
    SimulatedBoard &board = bench->board(1);
    board.stop();
    board.clearRecord();

    for (int i = 0; i < presses; ++i)
        bench->press(control);
    QCOMPARE(bench->text(field), shown);
    bench->press(Control::ReadStatus);
    QVERIFY(bench->waitFor([&] { return board.sentLines().size() == 1; }));
    QVERIFY(bench->waitFor([&] { return bench->text(Field::ReplyLine) == statusLine(status); }));
    QCOMPARE(board.commands().size(), presses + 1);
    QCOMPARE(board.commandTexts().at(presses - 1), command);
    QCOMPARE(board.ignoredFrames().size(), 0);
}

// A one-minute cycle makes the board measure by itself; each result is shown
// while the state stays "IDLE". At fifty times real time a cycle takes 1.2 s
// and each measurement spans more than two of the panel's ticks.
void BoardOverPtyTest::cycleTimeStartsMeasurements()
{
    std::unique_ptr<PtyBench> bench = startedBench({{1}, 50.0});
    QVERIFY(bench);
    SimulatedBoard &board = bench->board(1);
    QStringList measured;
    connect(&board, &SimulatedBoard::measurementFinished, this, [&](bool failed) {
        measured << (failed ? QStringLiteral("999") : PtyRig::padded(board.lastResult()->systolic));
    });
    bench->clearTicks();
    bench->clearLog();

    bench->press(Control::Cycle);
    QCOMPARE(bench->text(Field::CycleTime), QStringLiteral("1 min"));
    QVERIFY(bench->waitFor([&] { return resultsShown(bench->ticks()).size() >= 2; }));

    QCOMPARE(resultsShown(bench->ticks()).mid(0, 2), measured.mid(0, 2));
    QCOMPARE(board.measurementsStarted(), 2);
    QCOMPARE(bench->text(Field::Systolic), PtyRig::padded(board.lastResult()->systolic));
    QCOMPARE(bench->text(Field::PulseRate), PtyRig::padded(board.lastResult()->pulse));
    QVERIFY(!board.commandTexts().contains(QStringLiteral("01;;D7")));
    for (const PtyBench::Tick &tick : bench->ticks())
        QCOMPARE(tick.state, QStringLiteral("IDLE"));
    QVERIFY(!valuesOf(bench->log(), QStringLiteral("OperatingState"))
                 .contains(QStringLiteral("MEASURE")));
    QCOMPARE(bench->text(Field::OperatingState), QStringLiteral("IDLE"));
}

// A measurement the board started on its cycle time runs while the state
// shows "IDLE"; Break Operation still stops it: the board vents the cuff to
// "000", falls silent and sends no result for it.
void BoardOverPtyTest::breakStopsAMeasurementTheBoardStarted()
{
    std::unique_ptr<PtyBench> bench = startedBench({{1}});
    QVERIFY(bench);
    SimulatedBoard &board = bench->board(1);
    bool finished = false;
    connect(&board, &SimulatedBoard::measurementFinished, this, [&] { finished = true; });

    bench->press(Control::Cycle);
    QVERIFY(
        bench->waitFor([&] { return board.mode() == Mode::Measuring && bench->barValue() > 0; }));
    QCOMPARE(bench->text(Field::OperatingState), QStringLiteral("IDLE"));
    board.clearRecord();

    bench->press(Control::Break);
    QVERIFY(bench->waitFor([&] {
        return bench->text(Field::MeanPressure) == QLatin1String("000") && bench->barValue() == 0;
    }));
    QCOMPARE(board.commandTexts(), QStringList{QStringLiteral("X")});
    QCOMPARE(board.mode(), Mode::Idle);
    const qsizetype linesAfterVent = board.sentLines().size();
    PtyBench::run(bench->quietMs());
    QCOMPARE(board.sentLines().size(), linesAfterVent);
    QVERIFY(!finished);
    QCOMPARE(board.measurementsStarted(), 1);
    QCOMPARE(bench->text(Field::OperatingState), QStringLiteral("IDLE"));
    QCOMPARE(bench->failures(), QStringList());
}

// Start-up finds nothing: the settings file binds COM5 to a ttyACM0 that is
// not there yet. Once it appears, opening the Port menu enables COM5, and
// choosing it gives the board the start-up frames, once.
void BoardOverPtyTest::adapterPluggedInAfterStartUpCanBeChosen()
{
    QTemporaryDir dir;
    const QString acm = dir.filePath(QStringLiteral("ttyACM0"));
    std::unique_ptr<PtyBench> bench = PtyBench::create(
        {{5}, 20.0, 0.0, PtyRig::writePortSettings(dir.path(), "COM5=" + QFile::encodeName(acm))});
    bench->start();
    QVERIFY(bench->failureNotice().contains("unavailable (8 not present)\n"));
    QCOMPARE(bench->portEntryDevice(5), acm);

    QVERIFY(QFile::link(bench->rig().terminal(5), acm)); // plugged in
    bench->openPortMenu();
    QCOMPARE(bench->enabledPorts(), QList<int>{5});
    QCOMPARE(bench->board(5).commands().size(), 0); // looked for, not opened

    bench->choosePort(5);
    QVERIFY(bench->waitForStartUp(5));
    QCOMPARE(bench->board(5).commands(), PtyRig::onPort(PtyRig::kStartUp, 5));
    QCOMPARE(bench->failureNotice(), QString());
    bench->choosePort(5);
    PtyBench::run(bench->quietMs());
    QCOMPARE(bench->board(5).commands().size(), PtyRig::kStartUp.size());
}

QTEST_MAIN(BoardOverPtyTest)
#include "board_over_pty_test.moc"
