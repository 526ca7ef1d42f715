// SPDX-License-Identifier: MIT
// Interpretation of the last complete reply line at each tick: pressure lines
// move the pressure field and bar, result lines show the measurement, and the
// value "999" ends a measurement with a status request. What kind of reply a
// received entry is, as the panel, the checks and the curve read it.
#include "board_reply.h"
#include "panel_fixture.h"

#include <QtTest>

using Field = BoardState::Field;

class StatusLineTest : public QObject
{
    Q_OBJECT

private slots:
    void receivedEntryIsReadAsOneKindOfReply_data();
    void receivedEntryIsReadAsOneKindOfReply();
    void tickInterpretsTheLastLine_data();
    void tickInterpretsTheLastLine();
    void pressureStepsRunInOrder_data();
    void pressureStepsRunInOrder();
    void resultStepsRunInOrder();
    void endValueIsResentAtEveryTickUntilTheNextLineBegins();
    void endValueWithAFailedWriteStopsAtTheWrite();
    void modeStartedAfterAResultKeepsItsState_data();
    void modeStartedAfterAResultKeepsItsState();
};

static const QByteArray kResult30 = "S"
                                    "abcdefghijklmn"
                                    "120"
                                    "080"
                                    "093"
                                    "xy"
                                    "072"
                                    "tail";

void StatusLineTest::receivedEntryIsReadAsOneKindOfReply_data()
{
    QTest::addColumn<QByteArray>("entry");   // the bytes as the recorder grouped them
    QTest::addColumn<QString>("kind");       // "none": no reply at all
    QTest::addColumn<QString>("pressure");   // the field as sent
    QTest::addColumn<int>("value");          // -1000: it does not convert
    QTest::addColumn<QStringList>("result"); // systolic, diastolic, mean, pulse

    const QStringList noResult{"", "", "", ""};
    const auto line = [](const QByteArray &payload) {
        return '\x02' + payload + '\r';
    };
    QTest::newRow("pressure line") << line("160") << "Pressure"
                                   << "160" << 160 << noResult;
    QTest::newRow("status answer: its 000 is a pressure") << line("000 I A 160 00") << "Pressure"
                                                          << "000" << 0 << noResult;
    QTest::newRow("negative pressure") << line("-20") << "Pressure"
                                       << "-20" << -20 << noResult;
    QTest::newRow("end value 999, which converts too") << line("999") << "EndValue"
                                                       << "999" << 999 << noResult;
    QTest::newRow("9990: the field's three characters are the end value")
        << line("9990") << "EndValue"
        << "999" << 999 << noResult;
    QTest::newRow("99 is a pressure") << line("99") << "Pressure"
                                      << "99" << 99 << noResult;
    QTest::newRow("result line") << line(kResult30) << "Result"
                                 << "Sab" << -1000 << QStringList{"120", "080", "093", "072"};
    QTest::newRow("result line cut short gives what it has")
        << line(kResult30.left(23)) << "Result"
        << "Sab" << -1000 << QStringList{"120", "080", "09", ""};
    QTest::newRow("lower-case s is a status text") << line("s12345") << "Other"
                                                   << "s12" << -1000 << noResult;
    QTest::newRow("letters are a status text") << line("abc") << "Other"
                                               << "abc" << -1000 << noResult;
    QTest::newRow("STX and CR alone") << line("") << "Other"
                                      << "" << -1000 << noResult;
    QTest::newRow("a line without its CR is no reply") << QByteArray("\x02"
                                                                     "160")
                                                       << "none"
                                                       << "" << -1000 << noResult;
    QTest::newRow("a result line without its CR is no reply") << '\x02' + kResult30 << "none"
                                                              << "" << -1000 << noResult;
    QTest::newRow("bytes before an STX are no reply") << QByteArray("160\r") << "none"
                                                      << "" << -1000 << noResult;
    QTest::newRow("an empty entry is no reply") << QByteArray() << "none"
                                                << "" << -1000 << noResult;
}

// The panel completes a line at CR only; the checks and the curve read the
// traffic by the same rule.
void StatusLineTest::receivedEntryIsReadAsOneKindOfReply()
{
    QFETCH(QByteArray, entry);
    QFETCH(QString, kind);
    const std::optional<BoardReply> reply = BoardReply::fromReceived(entry);
    QCOMPARE(reply.has_value(), kind != QLatin1String("none"));
    if (!reply)
        return;
    static const char *const kinds[] = {"Pressure", "Result", "EndValue", "Other"};
    QCOMPARE(QString::fromLatin1(kinds[int(reply->kind())]), kind);
    QCOMPARE(reply->line(), QString::fromLatin1(entry.chopped(1)));
    QTEST(reply->pressureText(), "pressure");
    QTEST(int(reply->pressure().value_or(-1000)), "value");
    QTEST(QStringList({reply->systolic(), reply->diastolic(), reply->mean(), reply->pulse()}),
          "result");
}

void StatusLineTest::tickInterpretsTheLastLine_data()
{
    QTest::addColumn<QByteArray>("before"); // an earlier pressure line, or none
    QTest::addColumn<QString>("state");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("shown"); // Sys, Dia, Map, Pulse
    QTest::addColumn<int>("cuff");
    QTest::addColumn<int>("bar");
    QTest::addColumn<QString>("stateAfter");
    QTest::addColumn<QByteArray>("sent");

    const QByteArray none;
    const QByteArray status = PanelFixture::frames({"18;;DF"});
    QTest::newRow("pressure 160") << none << "MEASURE" << QByteArray("160")
                                  << QStringList{"", "", "160", ""} << 160 << 160 << "MEASURE"
                                  << none;
    QTest::newRow("pressure 299 moves the bar")
        << none << "MEASURE" << QByteArray("299") << QStringList{"", "", "299", ""} << 299 << 299
        << "MEASURE" << none;
    QTest::newRow("pressure 300 fills the bar")
        << QByteArray("120") << "MEASURE" << QByteArray("300") << QStringList{"", "", "300", ""}
        << 300 << 300 << "MEASURE" << none;
    QTest::newRow("over-pressure 320 after 40 fills the bar")
        << QByteArray("040") << "MEASURE" << QByteArray("320") << QStringList{"", "", "320", ""}
        << 320 << 300 << "MEASURE" << none;
    QTest::newRow("end value 999")
        << QByteArray("120") << "MEASURE" << QByteArray("999") << QStringList{"", "", "999", ""}
        << 999 << 0 << "IDLE" << status;
    QTest::newRow("end value 999 in idle too")
        << none << "IDLE" << QByteArray("999") << QStringList{"", "", "999", ""} << 999 << 0
        << "IDLE" << status;
    QTest::newRow("two digits 99 is no end value")
        << none << "MEASURE" << QByteArray("99") << QStringList{"", "", "99", ""} << 99 << 99
        << "MEASURE" << none;
    QTest::newRow("only three characters of 9990")
        << none << "MEASURE" << QByteArray("9990") << QStringList{"", "", "999", ""} << 999 << 0
        << "IDLE" << status;
    QTest::newRow("leading zero") << none << "MEASURE" << QByteArray("085")
                                  << QStringList{"", "", "085", ""} << 85 << 85 << "MEASURE"
                                  << none;
    QTest::newRow("leading blank shown as sent")
        << none << "MEASURE" << QByteArray(" 85") << QStringList{"", "", " 85", ""} << 85 << 85
        << "MEASURE" << none;
    QTest::newRow("trailing blank")
        << none << "MEASURE" << QByteArray("85 ") << QStringList{"", "", "85 ", ""} << 85 << 85
        << "MEASURE" << none;
    QTest::newRow("STX alone keeps the pressure")
        << QByteArray("120") << "MEASURE" << QByteArray() << QStringList{"", "", "", ""} << 120
        << 120 << "MEASURE" << none;
    QTest::newRow("lower-case s is a pressure line")
        << QByteArray("120") << "MEASURE" << QByteArray("s12345") << QStringList{"", "", "s12", ""}
        << 120 << 120 << "MEASURE" << none;
    QTest::newRow("letters keep the pressure")
        << QByteArray("120") << "MEASURE" << QByteArray("abc") << QStringList{"", "", "abc", ""}
        << 120 << 120 << "MEASURE" << none;
    QTest::newRow("fraction keeps the pressure")
        << QByteArray("120") << "MEASURE" << QByteArray("1.5") << QStringList{"", "", "1.5", ""}
        << 120 << 120 << "MEASURE" << none;
    QTest::newRow("exponent keeps the pressure")
        << QByteArray("120") << "MEASURE" << QByteArray("1e2") << QStringList{"", "", "1e2", ""}
        << 120 << 120 << "MEASURE" << none;
    QTest::newRow("sign alone keeps the pressure")
        << QByteArray("120") << "MEASURE" << QByteArray("-") << QStringList{"", "", "-", ""} << 120
        << 120 << "MEASURE" << none;
    QTest::newRow("negative pressure shows the bar at 0")
        << QByteArray("120") << "MEASURE" << QByteArray("-20") << QStringList{"", "", "-20", ""}
        << -20 << 0 << "MEASURE" << none;
    QTest::newRow("plus sign") << none << "MEASURE" << QByteArray("+50")
                               << QStringList{"", "", "+50", ""} << 50 << 50 << "MEASURE" << none;
    QTest::newRow("result line of 30 and more")
        << QByteArray("120") << "MEASURE" << kResult30 << QStringList{"120", "080", "093", "072"}
        << 120 << 120 << "IDLE" << none;
    QTest::newRow("result line in manometer mode")
        << none << "Manometer" << kResult30 << QStringList{"120", "080", "093", "072"} << 0 << 0
        << "IDLE" << none;
    QTest::newRow("result line in leak test")
        << none << "Leak Test" << kResult30 << QStringList{"120", "080", "093", "072"} << 0 << 0
        << "IDLE" << none;
    QTest::newRow("result line of 24 characters")
        << none << "MEASURE" << kResult30.left(23) << QStringList{"120", "080", "09", ""} << 0 << 0
        << "IDLE" << none;
    QTest::newRow("result line S alone") << none << "MEASURE" << QByteArray("S")
                                         << QStringList{"", "", "", ""} << 0 << 0 << "IDLE" << none;
}

void StatusLineTest::tickInterpretsTheLastLine()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, state);
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, shown);
    QFETCH(int, cuff);
    QFETCH(int, bar);
    QFETCH(QString, stateAfter);
    QFETCH(QByteArray, sent);

    PanelFixture f;
    f.start();
    if (!before.isNull()) {
        f.receiveLine(before);
        f.panel.interpretLatestLine();
    }
    f.setState(state);
    f.port.clearWritten();

    f.receiveLine(payload);
    f.panel.interpretLatestLine();
    QCOMPARE(QStringList({f.field(Field::Systolic), f.field(Field::Diastolic),
                          f.field(Field::MeanPressure), f.field(Field::PulseRate)}),
             shown);
    QCOMPARE(int(f.panel.cuffPressure()), cuff);
    QCOMPARE(f.display.barValue(), bar);
    QCOMPARE(f.state(), stateAfter);
    QCOMPARE(f.port.written(), sent);
    QCOMPARE(f.panel.lineComplete(), true); // the tick never clears the flag
}

void StatusLineTest::pressureStepsRunInOrder_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("log");
    QTest::newRow("pressure below the limit")
        << QByteArray("160")
        << QStringList{"MeanPressure=160", "Systolic=", "Diastolic=", "PulseRate=", "bar=160"};
    QTest::newRow("end value") << QByteArray("999")
                               << QStringList{
                                      "MeanPressure=999", "Systolic=",           "Diastolic=",
                                      "PulseRate=",       "OperatingState=IDLE", "bar=0"};
}

void StatusLineTest::pressureStepsRunInOrder()
{
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, log);
    PanelFixture f;
    f.start();
    f.receiveLine(payload);
    f.display.clearLog();
    f.panel.interpretLatestLine();
    QCOMPARE(f.display.log(), log);
}

void StatusLineTest::resultStepsRunInOrder()
{
    PanelFixture f;
    f.start();
    f.receiveLine(kResult30);
    f.display.clearLog();
    f.panel.interpretLatestLine();
    QCOMPARE(f.display.log(), QStringList({"MeanPressure=093", "Systolic=120", "Diastolic=080",
                                           "PulseRate=072", "OperatingState=IDLE"}));
}

void StatusLineTest::endValueIsResentAtEveryTickUntilTheNextLineBegins()
{
    PanelFixture f;
    f.start();
    f.receiveLine("999");
    f.panel.interpretLatestLine();
    f.panel.interpretLatestLine();
    f.panel.interpretLatestLine();
    QCOMPARE(f.port.written(), PanelFixture::frames({"18;;DF", "18;;DF", "18;;DF"}));
    f.port.deliver("\x02"
                   "0"); // the board begins its next line
    f.panel.interpretLatestLine();
    QCOMPARE(f.port.written(), PanelFixture::frames({"18;;DF", "18;;DF", "18;;DF"}));
}

// The status request is the step that fails; the steps after it do not run,
// and the failure is reported each time it happens.
void StatusLineTest::endValueWithAFailedWriteStopsAtTheWrite()
{
    PanelFixture f;
    f.start();
    f.setState("MEASURE");
    f.receiveLine("120");
    f.panel.interpretLatestLine();
    f.port.failWritesAfter(0);
    f.receiveLine("999");
    f.panel.interpretLatestLine();
    QCOMPARE(f.state(), QStringLiteral("MEASURE"));
    QCOMPARE(f.display.barValue(), 120);
    QCOMPARE(f.field(Field::MeanPressure), QStringLiteral("999"));
    QCOMPARE(f.display.failures().size(), 1);
}

void StatusLineTest::modeStartedAfterAResultKeepsItsState_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("state");
    QTest::newRow("start") << 0 << "MEASURE";
    QTest::newRow("manometer") << 1 << "Manometer";
    QTest::newRow("leak test") << 2 << "Leak Test";
}

void StatusLineTest::modeStartedAfterAResultKeepsItsState()
{
    QFETCH(int, button);
    QFETCH(QString, state);
    PanelFixture f;
    f.start();
    f.receiveLine("140");
    f.panel.interpretLatestLine();
    f.receiveLine(kResult30);
    f.panel.interpretLatestLine();
    QCOMPARE(f.state(), QStringLiteral("IDLE"));

    if (button == 0)
        f.panel.startMeasurement();
    else if (button == 1)
        f.panel.startManometer();
    else
        f.panel.startLeakTest();
    f.panel.interpretLatestLine();
    f.panel.interpretLatestLine();
    QCOMPARE(f.state(), state);
    QCOMPARE(f.field(Field::MeanPressure), QString());
    QCOMPARE(f.field(Field::Systolic), QString());
    QCOMPARE(f.field(Field::PulseRate), QString());
    QCOMPARE(int(f.panel.cuffPressure()), 140);
    QCOMPARE(f.display.barValue(), 140);
}

QTEST_GUILESS_MAIN(StatusLineTest)
#include "status_line_test.moc"
