// SPDX-License-Identifier: MIT
// Start-up puts board and window into their defaults; exit closes the port
// and ends the program.
#include "panel_fixture.h"

#include <QtTest>

using Field = BoardState::Field;

class StartupShutdownTest : public QObject
{
    Q_OBJECT

private slots:
    void startUpWritesFourFramesAroundTheDefaults();
    void startUpLeavesThePanelInItsDefaults_data();
    void startUpLeavesThePanelInItsDefaults();
    void startUpWithoutAPortShowsDefaultsAndReportsOnce();
    void startUpWriteFailureSkipsTheRemainingFrames();
    void nothingHappensOnATickBeforeTheFirstLine();
    void exitClosesAnOpenPortThenEnds_data();
    void exitClosesAnOpenPortThenEnds();
    void closingTheWindowIsNeverRefused();
};

void StartupShutdownTest::startUpWritesFourFramesAroundTheDefaults()
{
    MemorySerialPort port;
    BoardPanel panel(port);
    // How many bytes had been written when each text was set.
    QList<qsizetype> bytesAtChange;
    QObject::connect(&panel.state(), &BoardState::textChanged, &panel,
                     [&] { bytesAtChange << port.written().size(); });
    port.setOnlyOpenable({3});
    panel.startUp();
    QCOMPARE(port.writtenTo(3), PanelFixture::frames({"03;;D9", "24;;DC", "22;;DA", "18;;DF"}));
    // Every text is set after the second frame and before the third.
    QCOMPARE(bytesAtChange, QList<qsizetype>(bytesAtChange.size(), 16));
    QCOMPARE(bytesAtChange.size(), 4);
}

void StartupShutdownTest::startUpLeavesThePanelInItsDefaults_data()
{
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("operating state") << Field::OperatingState << "IDLE";
    QTest::newRow("cycle time") << Field::CycleTime << "Manual";
    QTest::newRow("patient mode") << Field::Patient << "Adult";
    QTest::newRow("pump-up value") << Field::PumpUp << "160 mmHg";
}

void StartupShutdownTest::startUpLeavesThePanelInItsDefaults()
{
    QFETCH(Field, field);
    QFETCH(QString, text);
    PanelFixture f;
    f.panel.state().setBarValue(42);
    f.panel.startUp();
    QCOMPARE(f.field(field), text);
    QCOMPARE(f.display.caption(), QStringLiteral("START"));
    QCOMPARE(f.display.barValue(), 0);
    QCOMPARE(int(f.panel.cycleIndex()), 0);
    QCOMPARE(int(f.panel.pumpUpIndex()), 3);
    QCOMPARE(int(f.panel.cuffPressure()), 0);
    QCOMPARE(f.panel.lineComplete(), false);
}

void StartupShutdownTest::startUpWithoutAPortShowsDefaultsAndReportsOnce()
{
    PanelFixture f;
    f.port.setOnlyOpenable({});
    f.panel.startUp();
    QVERIFY(f.port.written().isEmpty());
    QCOMPARE(f.port.outputCalls(), 0); // the four sends are left out, not tried
    QCOMPARE(f.display.failures().size(), 1);
    QCOMPARE(f.state(), QStringLiteral("IDLE"));
    QCOMPARE(f.field(Field::PumpUp), QStringLiteral("160 mmHg"));
    QCOMPARE(f.display.caption(), QStringLiteral("START"));
    QCOMPARE(f.display.checkedPorts(), QList<int>{});
    QCOMPARE(f.display.enabledPorts(), QList<int>{});
}

void StartupShutdownTest::startUpWriteFailureSkipsTheRemainingFrames()
{
    PanelFixture f;
    f.port.failWritesAfter(8 + 3); // the first frame, then STX and two characters
    f.panel.startUp();
    QCOMPARE(f.port.written(), PanelFixture::frames({"03;;D9"}) + "\x02"
                                                                  "24");
    QCOMPARE(f.display.failures().size(), 1);
    QCOMPARE(f.state(), QStringLiteral("IDLE"));
    QCOMPARE(f.field(Field::CycleTime), QStringLiteral("Manual"));
    QCOMPARE(int(f.panel.pumpUpIndex()), 3);
}

void StartupShutdownTest::nothingHappensOnATickBeforeTheFirstLine()
{
    PanelFixture f;
    f.start();
    f.port.deliver("\x02"
                   "160"); // a line begun but not ended
    f.panel.interpretLatestLine();
    QVERIFY(f.display.log().isEmpty());
    QVERIFY(f.port.written().isEmpty());
}

void StartupShutdownTest::exitClosesAnOpenPortThenEnds_data()
{
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<bool>("viaMenu");
    QTest::addColumn<QStringList>("operations");
    QTest::newRow("menu exit with the port open") << true << true << QStringList{"close 1"};
    QTest::newRow("window closed with the port open") << true << false << QStringList{"close 1"};
    QTest::newRow("menu exit with no port") << false << true << QStringList{};
    QTest::newRow("window closed with no port") << false << false << QStringList{};
}

void StartupShutdownTest::exitClosesAnOpenPortThenEnds()
{
    QFETCH(bool, portOpen);
    QFETCH(bool, viaMenu);
    QFETCH(QStringList, operations);
    PanelFixture f;
    f.start(portOpen ? QSet<int>{1} : QSet<int>{});
    f.port.clearOperations();
    if (viaMenu) {
        f.panel.exitProgram();
    } else {
        f.panel.shutDown();
    }
    QCOMPARE(f.port.operations(), operations);
    QVERIFY(!f.port.isOpen());
    QVERIFY(f.display.programEnded());
    QCOMPARE(f.display.log().last(), QStringLiteral("end"));
}

void StartupShutdownTest::closingTheWindowIsNeverRefused()
{
    PanelFixture f;
    f.start();
    f.panel.startMeasurement();
    f.panel.shutDown();
    QVERIFY(f.display.programEnded());
}

QTEST_GUILESS_MAIN(StartupShutdownTest)
#include "startup_shutdown_test.moc"
