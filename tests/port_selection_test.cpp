// SPDX-License-Identifier: MIT
// Finding, opening and switching the serial port, and the port menu entries
// that show the result.
#include "panel_fixture.h"

#include <QtTest>

using Ports = QList<int>;

class PortSelectionTest : public QObject
{
    Q_OBJECT

private slots:
    void startUpOpensTheFirstPortThatOpens_data();
    void startUpOpensTheFirstPortThatOpens();
    void openAppliesTheConfigurationInOrder();
    void findPortLeavesEveryTriedPortClosed();
    void menuChoiceMovesTheCheckMark_data();
    void menuChoiceMovesTheCheckMark();
    void choosingAPortThatNoLongerOpensLeavesNothingChecked();
    void commandsAfterAFailedChoiceAreReportedNotSent();
    void lostDeviceLeavesNoEntryCheckedUntilChosenAgain();
    void failuresSayWhyPerEntry_data();
    void failuresSayWhyPerEntry();
    void menuEnablesEntriesWhoseDeviceAppeared();
};

void PortSelectionTest::startUpOpensTheFirstPortThatOpens_data()
{
    QTest::addColumn<QSet<int>>("openable");
    QTest::addColumn<int>("selected");
    QTest::addColumn<Ports>("enabled");
    QTest::addColumn<Ports>("checked");
    QTest::newRow("only port 3") << QSet<int>{3} << 3 << Ports{3} << Ports{3};
    QTest::newRow("ports 1 and 2") << QSet<int>{1, 2} << 1 << Ports{1, 2} << Ports{1};
    QTest::newRow("every port") << QSet<int>{1, 2, 3, 4, 5, 6, 7, 8} << 1
                                << Ports{1, 2, 3, 4, 5, 6, 7, 8} << Ports{1};
    QTest::newRow("only the last port") << QSet<int>{8} << 8 << Ports{8} << Ports{8};
    QTest::newRow("ports 5 and 7") << QSet<int>{5, 7} << 5 << Ports{5, 7} << Ports{5};
    QTest::newRow("no port at all") << QSet<int>{} << 0 << Ports{} << Ports{};
}

void PortSelectionTest::startUpOpensTheFirstPortThatOpens()
{
    QFETCH(QSet<int>, openable);
    QFETCH(int, selected);
    QFETCH(Ports, enabled);
    QFETCH(Ports, checked);
    PanelFixture f;
    f.panel.state().setPortEntryChecked(1, true); // "COM1" is checked when the window is created
    f.port.setOnlyOpenable(openable);
    f.panel.startUp();
    QCOMPARE(int(f.panel.selectedPort()), selected);
    QCOMPARE(f.display.enabledPorts(), enabled);
    QCOMPARE(f.display.checkedPorts(), checked);
    QCOMPARE(f.port.isOpen(), selected != 0);
    if (selected != 0)
        QCOMPARE(f.port.commPort(), selected);
}

void PortSelectionTest::openAppliesTheConfigurationInOrder()
{
    PanelFixture f;
    f.start({1, 4});
    f.panel.choosePort(4);
    QCOMPARE(f.port.operations(),
             QStringList({"close 1", "commPort 4", "settings 4800 8N1", "open 4"}));
}

void PortSelectionTest::findPortLeavesEveryTriedPortClosed()
{
    PanelFixture f;
    f.port.setOnlyOpenable({2, 6});
    f.panel.startUp();
    QStringList findPort = f.port.operations();
    findPort = findPort.mid(0, findPort.indexOf(QStringLiteral("commPort 2"), 3));
    QCOMPARE(findPort,
             QStringList({"commPort 1", "open 1", "commPort 2", "open 2", "close 2", "commPort 3",
                          "open 3", "commPort 4", "open 4", "commPort 5", "open 5", "commPort 6",
                          "open 6", "close 6", "commPort 7", "open 7", "commPort 8", "open 8"}));
}

void PortSelectionTest::menuChoiceMovesTheCheckMark_data()
{
    QTest::addColumn<int>("choice");
    QTest::addColumn<Ports>("checked");
    QTest::newRow("another port") << 2 << Ports{2};
    QTest::newRow("the port already open reopens it") << 1 << Ports{1};
}

void PortSelectionTest::menuChoiceMovesTheCheckMark()
{
    QFETCH(int, choice);
    QFETCH(Ports, checked);
    PanelFixture f;
    f.start({1, 2});
    f.panel.choosePort(choice);
    QCOMPARE(f.display.checkedPorts(), checked);
    QVERIFY(f.port.isOpen());
    QCOMPARE(f.port.commPort(), choice);
    QCOMPARE(f.port.operations().first(), QStringLiteral("close 1"));
    QCOMPARE(f.port.operations().last(), QStringLiteral("open %1").arg(choice));
    QVERIFY(f.display.failures().isEmpty());
    QCOMPARE(f.state(), QStringLiteral("IDLE")); // the menu leaves the operating state alone
    QCOMPARE(int(f.panel.selectedPort()), 1);    // nor does it change the port found at start

    f.panel.readStatus();
    QCOMPARE(f.port.writtenTo(choice), PanelFixture::frames({"18;;DF"}));
}

void PortSelectionTest::choosingAPortThatNoLongerOpensLeavesNothingChecked()
{
    PanelFixture f;
    f.start({1, 2});
    f.port.setOpenable(2, false); // unplugged since start-up
    f.panel.choosePort(2);
    QCOMPARE(f.display.checkedPorts(), Ports{});
    QVERIFY(!f.port.isOpen());
    QCOMPARE(f.display.failures().size(), 1);
    QVERIFY(f.display.failures().first().contains(QLatin1String("COM2")));
    QCOMPARE(f.display.enabledPorts(), Ports({1, 2})); // entries stay as start-up left them

    f.panel.choosePort(1); // and the operator can go back
    QCOMPARE(f.display.checkedPorts(), Ports{1});
    QVERIFY(f.port.isOpen());
}

void PortSelectionTest::commandsAfterAFailedChoiceAreReportedNotSent()
{
    PanelFixture f;
    f.start({1, 2});
    f.port.setOpenable(2, false);
    f.panel.choosePort(2);
    f.display.clearLog();
    f.panel.startMeasurement();
    QVERIFY(f.port.written().isEmpty());
    QCOMPARE(f.display.log(), QStringList{"failure"});
    QCOMPARE(f.state(), QStringLiteral("IDLE"));
}

void PortSelectionTest::lostDeviceLeavesNoEntryCheckedUntilChosenAgain()
{
    PanelFixture f;
    f.start({1, 2});
    f.port.close(); // the port closes itself when its device goes away
    emit f.port.deviceLost(QStringLiteral("Lost the device on COM1"));
    QCOMPARE(f.display.checkedPorts(), Ports{});
    QCOMPARE(f.display.failures(), QStringList{"Lost the device on COM1"});
    QCOMPARE(f.display.enabledPorts(), Ports({1, 2}));

    f.panel.choosePort(1);
    QCOMPARE(f.display.checkedPorts(), Ports{1});
    QVERIFY(f.port.isOpen());
}

void PortSelectionTest::failuresSayWhyPerEntry_data()
{
    QTest::addColumn<int>("port"); // fails with `kind`; every other port is not present
    QTest::addColumn<Failure::Kind>("kind");
    QTest::addColumn<QString>("summary"); // the end of the notice's first line
    QTest::addColumn<QString>("reason");  // the entry's own line
#ifdef Q_OS_LINUX
    const QString denied = "permission denied; add your user to the dialout group and log in again";
#else
    const QString denied = "permission denied";
#endif
    QTest::newRow("nothing present") << 4 << Failure::Kind::NotFound << "(8 not present)"
                                     << "COM4 could not be opened: not present";
    QTest::newRow("permission denied, with its remedy")
        << 5 << Failure::Kind::PermissionDenied << "(7 not present; COM5 " + denied + ")"
        << "COM5 could not be opened: " + denied;
    QTest::newRow("in use by another program")
        << 2 << Failure::Kind::InUse << "(7 not present; COM2 in use by another program)"
        << "COM2 could not be opened: in use by another program";
    QTest::newRow("an unbound entry")
        << 6 << Failure::Kind::Unbound << "(7 not present; 1 not bound)"
        << "COM6 could not be opened: not bound to a device";
    QTest::newRow("the system's own reason")
        << 3 << Failure::Kind::Other << "(7 not present; COM3 could not be opened)"
        << "COM3 could not be opened: refused by the test";
}

// The notice's first line stands alone in the status bar; the lines after it,
// one per entry, go to its tooltip.
void PortSelectionTest::failuresSayWhyPerEntry()
{
    QFETCH(int, port);
    QFETCH(Failure::Kind, kind);
    PanelFixture f;
    f.port.setOnlyOpenable({});
    f.port.refuseOpen(port, kind);
    f.panel.startUp();
    QCOMPARE(f.display.failures().size(), 1);
    const QStringList lines = f.display.failures().constFirst().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 1 + 8);
    QTEST(lines.first().section(QLatin1String("unavailable "), 1), "summary");
    QTEST(lines.at(port), "reason");
}

// COM3 and COM4 were missing at start-up, COM2 was held. COM3 appears; COM2 is
// free again but was there all along, so only COM3 comes back. The first port
// opened then gets the start-up frames, once.
void PortSelectionTest::menuEnablesEntriesWhoseDeviceAppeared()
{
    PanelFixture f;
    f.port.setOnlyOpenable({});
    f.port.refuseOpen(2, Failure::Kind::InUse);
    f.panel.startUp();
    f.panel.recheckMissingPorts();
    QCOMPARE(f.display.enabledPorts(), Ports{});

    f.port.refuseOpen(2, Failure::Kind::None);
    f.port.refuseOpen(3, Failure::Kind::None);
    f.port.clearOperations();
    f.panel.recheckMissingPorts();
    QCOMPARE(f.display.enabledPorts(), Ports{3});
    QCOMPARE(f.port.operations(), QStringList()); // looked for, not opened

    f.panel.choosePort(3);
    QCOMPARE(f.port.writtenTo(3), PanelFixture::frames({"03;;D9", "24;;DC", "22;;DA", "18;;DF"}));
    f.panel.choosePort(3);
    QCOMPARE(f.port.writtenTo(3).size(), 4 * 8);
}

QTEST_GUILESS_MAIN(PortSelectionTest)
#include "port_selection_test.moc"
