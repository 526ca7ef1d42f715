// SPDX-License-Identifier: MIT
// The board's state as views and tools follow it: every change announced in
// order, and the failure notice's rules; and a command with a deadline, which
// is answered by the next complete reply line or reports the board's silence.
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
// "withdraw TEXT". A withdrawal notes what it returned.
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
    else if (verb == QLatin1String("withdraw"))
        seen << QStringLiteral("withdraw %1: %2")
                    .arg(rest, state.withdrawFailure(rest) ? QStringLiteral("taken")
                                                           : QStringLiteral("refused"));
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
    void requestIsAnsweredOrTimesOut_data();
    void requestIsAnsweredOrTimesOut();
};

void BoardStateTest::everyChangeIsAnnouncedInOrder_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("seen");   // the recorder's log, withdrawals' answers
    QTest::addColumn<QString>("notice");     // shown at the end
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
    QTEST(state.failureNotice(), "notice");
    QTEST(recorder.checkedPorts(), "checked");
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
