// SPDX-License-Identifier: MIT
// The eight operator buttons: their gates on the operating state, the command
// each writes, the fields it changes afterwards, and the two value tables.
#include "panel_fixture.h"

#include <QtTest>

#include <functional>

using Field = BoardState::Field;

namespace {

using Action = void (BoardPanel::*)();

struct Button
{
    const char *name;
    Action action;
};

const Button kButtons[] = {
    {"START", &BoardPanel::startMeasurement},  {"Manometer", &BoardPanel::startManometer},
    {"Leaktest", &BoardPanel::startLeakTest},  {"Break", &BoardPanel::breakOperation},
    {"Neo/Adult", &BoardPanel::togglePatient}, {"Read Stat", &BoardPanel::readStatus},
    {"Pump To", &BoardPanel::stepPumpUp},      {"Set Cycle", &BoardPanel::stepCycle},
};

} // namespace

class OperatorCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void everyButtonIsGatedByTheOperatingState_data();
    void everyButtonIsGatedByTheOperatingState();
    void refusedClickChangesNothing_data();
    void refusedClickChangesNothing();
    void commandIsWrittenBeforeAnyField_data();
    void commandIsWrittenBeforeAnyField();
    void breakResetsThePressureButNotTheBar();
    void tablesWrapAround_data();
    void tablesWrapAround();
    void indexDoesNotMoveOutsideIdle();
    void failedWriteStepsTheIndexBack_data();
    void failedWriteStepsTheIndexBack();
    void patientModeToggles();
    void patientModeWithAnUnknownTextDoesNothing();
    void startIsAcceptedAgainAfterAResultEndsAMode();
};

void OperatorCommandTest::everyButtonIsGatedByTheOperatingState_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("stateAfter");

    const QStringList busy{"MEASURE", "Manometer", "Leak Test"};
    const struct
    {
        const char *sentInIdle;
        const char *stateAfterIdle;
        const char *sentWhenBusy; // nullptr: refused
    } expected[] = {
        {"01;;D7", "MEASURE", nullptr},   {"14;;DB", "Manometer", nullptr},
        {"17;;DE", "Leak Test", nullptr}, {"X", "IDLE", "X"},
        {"25;;DD", "IDLE", nullptr},      {"18;;DF", "IDLE", "18;;DF"},
        {"23;;DB", "IDLE", nullptr},      {"04;;DA", "IDLE", nullptr},
    };
    for (int b = 0; b < 8; ++b) {
        const QString sentIdle = QString::fromLatin1(expected[b].sentInIdle);
        QTest::addRow("%s in IDLE", kButtons[b].name)
            << b << "IDLE" << sentIdle << QString::fromLatin1(expected[b].stateAfterIdle);
        for (const QString &state : busy) {
            const bool acts = expected[b].sentWhenBusy != nullptr;
            const QString after = b == 3 ? QStringLiteral("IDLE") : state;
            QTest::addRow("%s in %s", kButtons[b].name, qPrintable(state))
                << b << state << QString::fromLatin1(acts ? expected[b].sentWhenBusy : "") << after;
        }
    }
}

void OperatorCommandTest::everyButtonIsGatedByTheOperatingState()
{
    QFETCH(int, button);
    QFETCH(QString, state);
    QFETCH(QString, sent);
    QFETCH(QString, stateAfter);
    PanelFixture f;
    f.start();
    f.setState(state);
    (f.panel.*kButtons[button].action)();
    QCOMPARE(f.port.written(), sent.isEmpty() ? QByteArray() : CommandFrame::build(sent));
    QCOMPARE(f.state(), stateAfter);
}

void OperatorCommandTest::refusedClickChangesNothing_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("state");
    for (int b : {0, 1, 2, 4, 6, 7})
        QTest::addRow("%s while measuring", kButtons[b].name) << b << "MEASURE";
    QTest::addRow("START with a lower-case state") << 0 << "idle";
}

void OperatorCommandTest::refusedClickChangesNothing()
{
    QFETCH(int, button);
    QFETCH(QString, state);
    PanelFixture f;
    f.start();
    f.receiveLine("120");
    f.panel.interpretLatestLine();
    f.setState(state);
    f.display.clearLog();
    f.port.clearWritten();
    (f.panel.*kButtons[button].action)();
    QVERIFY(f.display.log().isEmpty());
    QVERIFY(f.port.written().isEmpty());
    QCOMPARE(int(f.panel.pumpUpIndex()), 3);
    QCOMPARE(int(f.panel.cycleIndex()), 0);
    QCOMPARE(int(f.panel.cuffPressure()), 120);
}

void OperatorCommandTest::commandIsWrittenBeforeAnyField_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QStringList>("log");
    QTest::newRow("START clears the line and values but not Map")
        << 0
        << QStringList{"OperatingState=MEASURE",
                       "ReplyLine=", "Systolic=", "Diastolic=", "PulseRate="};
    QTest::newRow("Manometer clears only the line")
        << 1 << QStringList{"ReplyLine=", "OperatingState=Manometer"};
    QTest::newRow("Leaktest clears only the line")
        << 2 << QStringList{"ReplyLine=", "OperatingState=Leak Test"};
    QTest::newRow("Neo/Adult") << 4 << QStringList{"Patient=Neonate"};
    QTest::newRow("Break in IDLE still writes X") << 3 << QStringList{"OperatingState=IDLE"};
    QTest::newRow("Read Stat changes no field") << 5 << QStringList{};
    QTest::newRow("Pump To") << 6 << QStringList{"PumpUp=180 mmHg"};
    QTest::newRow("Set Cycle") << 7 << QStringList{"CycleTime=1 min"};
}

// With every write failing, an action that passes its gate changes no field;
// with writes working it changes exactly the fields listed, in order.
void OperatorCommandTest::commandIsWrittenBeforeAnyField()
{
    QFETCH(int, button);
    QFETCH(QStringList, log);
    PanelFixture failing;
    failing.start();
    failing.port.failWritesAfter(0);
    (failing.panel.*kButtons[button].action)();
    QCOMPARE(failing.display.log(), QStringList{"failure"});

    PanelFixture f;
    f.start();
    f.panel.state().setText(Field::MeanPressure, QStringLiteral("093"));
    f.display.clearLog();
    (f.panel.*kButtons[button].action)();
    QCOMPARE(f.display.log(), log);
    QCOMPARE(f.field(Field::MeanPressure), QStringLiteral("093"));
}

void OperatorCommandTest::breakResetsThePressureButNotTheBar()
{
    PanelFixture f;
    f.start();
    f.panel.startManometer();
    f.receiveLine("150");
    f.panel.interpretLatestLine();
    f.display.clearLog();
    f.panel.breakOperation();
    QCOMPARE(f.port.written().right(3), QByteArray("\x02X\x03"));
    QCOMPARE(f.display.log(), QStringList{"OperatingState=IDLE"});
    QCOMPARE(int(f.panel.cuffPressure()), 0);
    QCOMPARE(f.display.barValue(), 150);
}

void OperatorCommandTest::tablesWrapAround_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<Field>("field");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("Pump To from 160 mmHg")
        << 6 << Field::PumpUp
        << QStringList{"23;;DB", "19;;E0", "20;;D8", "21;;D9", "22;;DA", "23;;DB"}
        << QStringList{"180 mmHg", "100 mmHg", "120 mmHg", "140 mmHg", "160 mmHg", "180 mmHg"};
    QTest::newRow("Set Cycle from Manual")
        << 7 << Field::CycleTime << QStringList{"04;;DA", "05;;DB", "06;;DC", "07;;DD", "08;;DE",
                                                "09;;DF", "10;;D7", "11;;D8", "03;;D9", "04;;DA"}
        << QStringList{"1 min",  "2 min",  "3 min",  "4 min",  "5 min",
                       "10 min", "15 min", "30 min", "Manual", "1 min"};
}

void OperatorCommandTest::tablesWrapAround()
{
    QFETCH(int, button);
    QFETCH(Field, field);
    QFETCH(QStringList, commands);
    QFETCH(QStringList, texts);
    PanelFixture f;
    f.start();
    for (int i = 0; i < commands.size(); ++i) {
        f.port.clearWritten();
        (f.panel.*kButtons[button].action)();
        QCOMPARE(f.port.written(), CommandFrame::build(commands.at(i)));
        QCOMPARE(f.field(field), texts.at(i));
    }
}

void OperatorCommandTest::indexDoesNotMoveOutsideIdle()
{
    PanelFixture f;
    f.start();
    f.panel.startMeasurement();
    f.panel.stepPumpUp();
    f.panel.stepCycle();
    f.panel.breakOperation();
    f.port.clearWritten();
    f.panel.stepPumpUp();
    f.panel.stepCycle();
    QCOMPARE(f.port.written(), PanelFixture::frames({"23;;DB", "04;;DA"}));
}

void OperatorCommandTest::failedWriteStepsTheIndexBack_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("nextCommand");
    QTest::newRow("Pump To") << 6 << "23;;DB";
    QTest::newRow("Set Cycle") << 7 << "04;;DA";
}

void OperatorCommandTest::failedWriteStepsTheIndexBack()
{
    QFETCH(int, button);
    QFETCH(QString, nextCommand);
    PanelFixture f;
    f.start();
    f.port.failWritesAfter(2);
    (f.panel.*kButtons[button].action)();
    QCOMPARE(int(f.panel.pumpUpIndex()), 3);
    QCOMPARE(int(f.panel.cycleIndex()), 0);
    f.port.failWritesAfter(-1);
    f.port.clearWritten();
    (f.panel.*kButtons[button].action)();
    QCOMPARE(f.port.written(), CommandFrame::build(nextCommand));
}

void OperatorCommandTest::patientModeToggles()
{
    PanelFixture f;
    f.start();
    f.panel.togglePatient();
    QCOMPARE(f.field(Field::Patient), QStringLiteral("Neonate"));
    f.panel.togglePatient();
    QCOMPARE(f.field(Field::Patient), QStringLiteral("Adult"));
    QCOMPARE(f.port.written(), PanelFixture::frames({"25;;DD", "24;;DC"}));
}

void OperatorCommandTest::patientModeWithAnUnknownTextDoesNothing()
{
    PanelFixture f;
    f.start();
    f.panel.state().setText(Field::Patient, QStringLiteral("adult"));
    f.display.clearLog();
    f.panel.togglePatient();
    QVERIFY(f.port.written().isEmpty());
    QVERIFY(f.display.log().isEmpty());
}

void OperatorCommandTest::startIsAcceptedAgainAfterAResultEndsAMode()
{
    PanelFixture f;
    f.start();
    f.panel.startLeakTest();
    f.receiveLine("S"
                  "abcdefghijklmn"
                  "120"
                  "080"
                  "093"
                  "xy"
                  "072");
    f.panel.interpretLatestLine();
    f.port.clearWritten();
    f.panel.startMeasurement();
    QCOMPARE(f.port.written(), CommandFrame::build(QStringLiteral("01;;D7")));
    QCOMPARE(f.state(), QStringLiteral("MEASURE"));
}

QTEST_GUILESS_MAIN(OperatorCommandTest)
#include "operator_command_test.moc"
