// SPDX-License-Identifier: MIT
// The board's state as views and tools follow it: every change announced in
// order, and the rules of the notice (a failure or an information); what the
// state shows when the port's device is lost and when it comes back; and a
// command with a deadline, which is answered by the next complete reply line
// or reports the board's silence.
#include "board_request.h"
#include "panel_fixture.h"

#include <QtTest>

namespace {

QString kindName(BoardReply::Kind kind)
{
    switch (kind) {
    case BoardReply::Kind::Pressure:
        return QStringLiteral("Pressure");
    case BoardReply::Kind::Result:
        return QStringLiteral("Result");
    case BoardReply::Kind::EndValue:
        return QStringLiteral("EndValue");
    case BoardReply::Kind::Other:
        return QStringLiteral("Other");
    }
    return {};
}

// One step on the state: "text FIELD=TEXT" (OperatingState only), "bar N",
// "caption TEXT", "enable N=0/1", "check N=0/1", "report TEXT",
// "withdraw TEXT", "info TEXT". A withdrawal notes what it returned.
void runStateStep(BoardState &state, const QString &step, QStringList &seen)
{
    const QString verb = step.section(QLatin1Char(' '), 0, 0);
    const QString rest = step.section(QLatin1Char(' '), 1);
    const int port = rest.section(QLatin1Char('='), 0, 0).toInt();
    const bool on = rest.section(QLatin1Char('='), 1) == QLatin1String("1");
    if (verb == QLatin1String("text"))
        state.setText(BoardState::Field::OperatingState, rest.section(QLatin1Char('='), 1));
    else if (verb == QLatin1String("bar"))
        state.setBarValue(rest.toInt());
    else if (verb == QLatin1String("caption"))
        state.setStartCaption(rest);
    else if (verb == QLatin1String("enable"))
        state.setPortEntryEnabled(port, on);
    else if (verb == QLatin1String("check"))
        state.setPortEntryChecked(port, on);
    else if (verb == QLatin1String("report"))
        state.reportFailure(rest);
    else if (verb == QLatin1String("info"))
        state.reportInfo(rest);
    else if (verb == QLatin1String("withdraw"))
        seen << QStringLiteral("withdraw %1: %2")
                    .arg(rest, state.withdrawFailure(rest) ? QStringLiteral("taken")
                                                           : QStringLiteral("refused"));
    else
        QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
}

// The notice shown: the failure's text, "info TEXT" for an information, empty
// for none.
QString shownNotice(const BoardState &state)
{
    if (!state.infoNotice().isEmpty())
        return QStringLiteral("info ") + state.infoNotice();
    return state.failureNotice();
}

// The settings and run as the state shows them: operating state, cycle,
// patient, pump-up, Sys, the bar and the checked entries.
QString shownRun(const PanelFixture &f)
{
    using Field = BoardState::Field;
    QStringList checked;
    for (int port = 1; port <= BoardState::kPortCount; ++port) {
        if (f.panel.state().portEntryChecked(port))
            checked << QString::number(port);
    }
    return QStringList{f.field(Field::OperatingState),
                       f.field(Field::CycleTime),
                       f.field(Field::Patient),
                       f.field(Field::PumpUp),
                       QStringLiteral("Sys ") + f.field(Field::Systolic),
                       QStringLiteral("bar %1").arg(f.panel.state().barValue()),
                       QStringLiteral("checked ") +
                           (checked.isEmpty() ? QStringLiteral("none") : checked.join(','))}
        .join(QStringLiteral(", "));
}

// One step of a lost device's table on COM1: "neonate", "pump", "cycle",
// "start" (the buttons), "line PAYLOAD", "tick", "lose" (the device goes
// away), "hang up" (the port closes as lost, its device stays), "gone" and
// "back" (the device goes, comes back), "refuse" (it is there but held by
// another program), "look", "looks N", "choose N",
// "exit", "fail writes after N".
void runLossStep(PanelFixture &f, const QString &step)
{
    const QString verb = step.section(QLatin1Char(' '), 0, 0);
    const QString rest = step.section(QLatin1Char(' '), 1);
    if (verb == QLatin1String("neonate"))
        f.panel.togglePatient();
    else if (verb == QLatin1String("pump"))
        f.panel.stepPumpUp();
    else if (verb == QLatin1String("cycle"))
        f.panel.stepCycle();
    else if (verb == QLatin1String("start"))
        f.panel.startMeasurement();
    else if (verb == QLatin1String("line"))
        f.receiveLine(rest.toLatin1());
    else if (verb == QLatin1String("tick"))
        f.panel.interpretLatestLine();
    else if (verb == QLatin1String("lose"))
        f.port.loseDevice();
    else if (step == QLatin1String("hang up")) {
        f.port.close();
        emit f.port.deviceLost(QStringLiteral("Lost the device on COM1: the device hung up"));
    } else if (verb == QLatin1String("gone") || verb == QLatin1String("back"))
        f.port.setOpenable(1, verb == QLatin1String("back"));
    else if (verb == QLatin1String("refuse"))
        f.port.refuseOpen(1, Failure::Kind::InUse);
    else if (verb == QLatin1String("look"))
        f.panel.lookForLostDevice();
    else if (verb == QLatin1String("looks"))
        for (int i = 0; i < rest.toInt(); ++i)
            f.panel.lookForLostDevice();
    else if (verb == QLatin1String("choose"))
        f.panel.choosePort(rest.toInt());
    else if (verb == QLatin1String("exit"))
        f.panel.exitProgram();
    else if (verb == QLatin1String("fail"))
        f.port.failWritesAfter(step.section(QLatin1Char(' '), 3).toInt());
    else
        QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
}

} // namespace

class BoardStateTest : public QObject
{
    Q_OBJECT

private slots:
    void everyChangeIsAnnouncedInOrder_data();
    void everyChangeIsAnnouncedInOrder();
    void lostDeviceEndsTheRunAndComesBackWithDefaults_data();
    void lostDeviceEndsTheRunAndComesBackWithDefaults();
    void requestIsAnsweredOrTimesOut_data();
    void requestIsAnsweredOrTimesOut();
};

void BoardStateTest::everyChangeIsAnnouncedInOrder_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("seen");   // the recorder's log, withdrawals' answers
    QTest::addColumn<QString>("notice");     // shown at the end (an information: "info TEXT")
    QTest::addColumn<QList<int>>("checked"); // entries checked at the end

    const QList<int> com1{1};
    QTest::newRow("each set announced in order, an unchanged value too")
        << QStringList{"text OperatingState=IDLE",
                       "text OperatingState=IDLE",
                       "bar 0",
                       "bar 120",
                       "caption START",
                       "enable 4=0"}
        << QStringList{"OperatingState=IDLE", "OperatingState=IDLE", "bar=0", "bar=120",
                       "caption=START",       "enabled 4=0"}
        << QString() << com1;
    QTest::newRow("a repeated identical failure is not announced again")
        << QStringList{"report A", "report A"} << QStringList{"failure"} << "A" << com1;
    QTest::newRow("a newer failure replaces it; the first again is announced")
        << QStringList{"report A", "report B", "report A"}
        << QStringList{"failure", "failure", "failure"} << "A" << com1;
    QTest::newRow("withdrawing the notice shown clears it")
        << QStringList{"report A", "withdraw A"}
        << QStringList{"failure", "withdrawn", "withdraw A: taken"} << QString() << com1;
    QTest::newRow("withdrawing a notice that is not shown is refused")
        << QStringList{"report A", "report B", "withdraw A"}
        << QStringList{"failure", "failure", "withdraw A: refused"} << "B" << com1;
    QTest::newRow("withdrawing with no notice shown is refused, an empty one too")
        << QStringList{"withdraw A", "withdraw "}
        << QStringList{"withdraw A: refused", "withdraw : refused"} << QString() << com1;
    QTest::newRow("after a withdrawal the same report shows again")
        << QStringList{"report A", "withdraw A", "report A"}
        << QStringList{"failure", "withdrawn", "withdraw A: taken", "failure"} << "A" << com1;
    QTest::newRow("an entry checked (a port opened) clears the notice")
        << QStringList{"report A", "check 1=0", "check 3=1"}
        << QStringList{"failure", "checked 1=0", "checked 3=1", "withdrawn"} << QString()
        << QList<int>{3};
    QTest::newRow("an entry unchecked leaves the notice")
        << QStringList{"report A", "check 1=0"} << QStringList{"failure", "checked 1=0"} << "A"
        << QList<int>{};
    QTest::newRow("an entry checked with no notice withdraws nothing")
        << QStringList{"check 2=1"} << QStringList{"checked 2=1"} << QString() << QList<int>{1, 2};
    QTest::newRow("entries outside 1..8 are ignored")
        << QStringList{"report A", "check 9=1", "check 0=1", "enable 9=0"} << QStringList{"failure"}
        << "A" << com1;
    QTest::newRow("an empty report shows nothing")
        << QStringList{"report "} << QStringList{} << QString() << com1;
    QTest::newRow("an information replaces the failure, a newer failure the information")
        << QStringList{"report A", "info I", "report B"}
        << QStringList{"failure", "withdrawn", "info", "info gone", "failure"} << "B" << com1;
    QTest::newRow("an empty or repeated information is not announced; an entry checked clears it")
        << QStringList{"info ", "info I", "info I", "check 2=1"}
        << QStringList{"info", "checked 2=1", "info gone"} << QString() << QList<int>{1, 2};
    QTest::newRow("withdrawing a failure no longer shown leaves the information")
        << QStringList{"report A", "info I", "withdraw A", "check 1=0"}
        << QStringList{"failure", "withdrawn", "info", "withdraw A: refused", "checked 1=0"}
        << "info I" << QList<int>{};
}

void BoardStateTest::everyChangeIsAnnouncedInOrder()
{
    QFETCH(QStringList, steps);
    BoardState state;
    RecordingDisplay recorder(state);
    QStringList seen;
    for (const QString &step : steps) {
        QStringList answer;
        runStateStep(state, step, answer);
        seen << recorder.log() << answer;
        recorder.clearLog();
    }
    QTEST(seen, "seen");
    QTEST(shownNotice(state), "notice");
    QTEST(recorder.checkedPorts(), "checked");
}

// On the in-memory port, the device watch's looks run by hand.
void BoardStateTest::lostDeviceEndsTheRunAndComesBackWithDefaults_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("shown");      // shownRun at the end
    QTest::addColumn<QString>("notice");     // its first line; an information: "info TEXT"
    QTest::addColumn<QByteArray>("written"); // since the loss
    QTest::addColumn<int>("opens");          // opens tried since the loss
    QTest::addColumn<int>("lostPort");       // still watched for at the end
    QTest::addColumn<int>("ended");          // measurements that ended

    const QByteArray startUp = PanelFixture::frames({"03;;D9", "24;;DC", "22;;DA", "18;;DF"});
    const QString defaults = "IDLE, Manual, Adult, 160 mmHg, Sys ---, bar 0, checked 1";
    const QString lostIdle = "IDLE, Manual, Adult, 160 mmHg, Sys ---, bar 0, checked none";
    const QString lost = "Lost the device on COM1: the device is no longer available";
    const QString back = "info COM1 is back";
    QTest::newRow("settings changed before the loss go back to the defaults with the frames")
        << QStringList{"neonate", "pump", "cycle", "lose", "look", "back", "look"} << defaults
        << back << startUp << 1 << 0 << 0;
    QTest::newRow("a measurement running at the loss ends; its last line is not read again")
        << QStringList{"start", "line 150", "tick", "lose", "tick", "tick"}
        << "IDLE, Manual, Adult, 160 mmHg, Sys , bar 0, checked none" << lost << QByteArray() << 0
        << 1 << 0;
    QTest::newRow("a result that came just before the loss is still read")
        << QStringList{"start", "line Sabcdefghijklmn120080093xy072tail", "lose", "tick"}
        << "IDLE, Manual, Adult, 160 mmHg, Sys 120, bar 0, checked none" << lost << QByteArray()
        << 0 << 1 << 1;
    QTest::newRow("a device still there at the loss (a hung-up line) is not opened again")
        << QStringList{"hang up", "looks 5"} << lostIdle
        << "Lost the device on COM1: the device hung up" << QByteArray() << 0 << 1 << 0;
    QTest::newRow("a device back but held is tried four times, then left")
        << QStringList{"lose", "look", "refuse", "looks 6"} << lostIdle
        << "COM1 could not be opened: in use by another program" << QByteArray() << 4 << 1 << 0;
    QTest::newRow("a device left after four tries is tried again once it has gone and come back")
        << QStringList{"lose", "look", "refuse", "looks 6", "gone", "look", "back", "look"}
        << defaults << back << startUp << 5 << 0 << 0;
    QTest::newRow("another port that does not open ends the watch too")
        << QStringList{"lose", "choose 3", "back", "looks 3"} << lostIdle
        << "COM3 could not be opened: not present" << QByteArray() << 1 << 0 << 0;
    QTest::newRow("the lost port chosen by hand while still gone keeps the watch")
        << QStringList{"lose", "choose 1", "back", "look"} << defaults << back << startUp << 2 << 0
        << 0;
    QTest::newRow("exit while the loss is pending: the device back is never opened")
        << QStringList{"lose", "exit", "back", "looks 3"} << lostIdle << lost << QByteArray() << 0
        << 0 << 0;
    QTest::newRow("a frame not written after the reopen replaces the information; defaults shown")
        << QStringList{"neonate", "lose", "fail writes after 8", "back", "look"} << defaults
        << "Command 24;;DC not sent: Write to COM1 failed" << PanelFixture::frames({"03;;D9"}) << 1
        << 0 << 0;
}

void BoardStateTest::lostDeviceEndsTheRunAndComesBackWithDefaults()
{
    QFETCH(QStringList, steps);
    PanelFixture f;
    f.start();
    int ended = 0;
    connect(&f.panel, &BoardPanel::measurementEnded, this, [&ended] { ++ended; });
    for (const QString &step : steps) {
        if (step == QLatin1String("lose") || step == QLatin1String("hang up")) {
            f.port.clearWritten();
            f.port.clearOperations();
        }
        runLossStep(f, step);
    }
    QTEST(shownRun(f), "shown");
    QTEST(shownNotice(f.panel.state()).section(QLatin1Char('\n'), 0, 0), "notice");
    QTEST(f.port.written(), "written");
    QTEST(int(f.port.operations().filter(QRegularExpression(QStringLiteral("^open "))).size()),
          "opens");
    QTEST(f.panel.lostPort(), "lostPort");
    QTEST(ended, "ended");
}

void BoardStateTest::requestIsAnsweredOrTimesOut_data()
{
    // Steps: "send CMD MS", "line PAYLOAD" (STX, payload, CR), "bytes PAYLOAD"
    // (STX and payload, no CR), "wait MS", "start" (START pressed), "fail writes". Events: what the
    // request reported and what send() refused.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QByteArray>("written");

    const QByteArray status = PanelFixture::frames({"18;;DF"});
    QTest::newRow("answered by the next line, with its kind")
        << QStringList{"send 18;;DF 5000", "line 000 I A 160 00"}
        << QStringList{"answered 18;;DF Pressure 000 I A 160 00"} << status;
    QTest::newRow("answered by a status text")
        << QStringList{"send 18;;DF 5000", "line I A"} << QStringList{"answered 18;;DF Other I A"}
        << status;
    QTest::newRow("silent past the deadline, reported once")
        << QStringList{"send 18;;DF 30", "wait 200"} << QStringList{"unanswered 18;;DF 30"}
        << status;
    QTest::newRow("an answer after the deadline does not count")
        << QStringList{"send 18;;DF 30", "wait 200", "line 999", "wait 50"}
        << QStringList{"unanswered 18;;DF 30"} << status;
    QTest::newRow("a line that came before the send answers nothing")
        << QStringList{"line 160", "send 18;;DF 30", "wait 200"}
        << QStringList{"unanswered 18;;DF 30"} << status;
    QTest::newRow("a line without its CR answers nothing")
        << QStringList{"send 18;;DF 30", "bytes 160", "wait 200"}
        << QStringList{"unanswered 18;;DF 30"} << status;
    QTest::newRow("START emptying the reply line is no answer; the line after it is")
        << QStringList{"send 18;;DF 5000", "start", "line 150"}
        << QStringList{"answered 18;;DF Pressure 150"} << status + PanelFixture::frames({"01;;D7"});
    QTest::newRow("two requests in a row, each answered by the line after it")
        << QStringList{"send 18;;DF 5000", "line 000 I A 160 00", "send X 5000", "line 999"}
        << QStringList{"answered 18;;DF Pressure 000 I A 160 00", "answered X EndValue 999"}
        << status + PanelFixture::frames({"X"});
    QTest::newRow("a second request while one is pending is refused, nothing sent")
        << QStringList{"send 18;;DF 5000", "send X 5000", "line 160"}
        << QStringList{"refused X", "answered 18;;DF Pressure 160"} << status;
    QTest::newRow("a command that cannot be written leaves nothing pending")
        << QStringList{"fail writes", "send 18;;DF 30", "wait 200"} << QStringList{"refused 18;;DF"}
        << QByteArray();
}

void BoardStateTest::requestIsAnsweredOrTimesOut()
{
    QFETCH(QStringList, steps);
    PanelFixture f;
    f.start();
    BoardRequest request(f.panel);
    QStringList events;
    connect(&request, &BoardRequest::answered, this,
            [&events](const QString &command, const BoardReply &reply) {
                events << QStringLiteral("answered %1 %2 %3")
                              .arg(command, kindName(reply.kind()), reply.line().mid(1));
            });
    connect(&request, &BoardRequest::unanswered, this, [&events](const QString &command, int ms) {
        events << QStringLiteral("unanswered %1 %2").arg(command).arg(ms);
    });
    for (const QString &step : steps) {
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        const QString rest = step.section(QLatin1Char(' '), 1);
        if (verb == QLatin1String("send")) {
            const QString command = rest.section(QLatin1Char(' '), 0, 0);
            if (!request.send(command, rest.section(QLatin1Char(' '), 1).toInt()))
                events << QStringLiteral("refused ") + command;
        } else if (verb == QLatin1String("line")) {
            f.receiveLine(rest.toLatin1());
        } else if (verb == QLatin1String("bytes")) {
            f.port.deliver('\x02' + rest.toLatin1());
        } else if (verb == QLatin1String("wait")) {
            QTest::qWait(rest.toInt());
        } else if (step == QLatin1String("start")) {
            f.panel.startMeasurement();
        } else if (step == QLatin1String("fail writes")) {
            f.port.failWritesAfter(0);
        }
    }
    QTEST(events, "events");
    QTEST(f.port.written(), "written");
    QVERIFY(!request.isPending());
}

QTEST_GUILESS_MAIN(BoardStateTest)
#include "board_state_test.moc"
