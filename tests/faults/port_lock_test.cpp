// SPDX-License-Identifier: MIT
// A port that another program holds: a second opener of the same
// pseudo-terminal, by the same path or by another one, and a program that holds
// an flock on it. Such a port counts as one that does not open.
#include "board_panel.h"
#include "port_table.h"
#include "pseudo_terminal.h"
#include "qt_serial_port.h"
#include "recording_display.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Another program holding an exclusive flock on a device until release().
class LockHolder
{
public:
    explicit LockHolder(const QString &device)
    {
        m_process.start(QStringLiteral("flock"),
                        {QStringLiteral("--exclusive"), device, QStringLiteral("sh"),
                         QStringLiteral("-c"), QStringLiteral("echo held; exec cat")});
        m_held = m_process.waitForReadyRead(5000) &&
                 m_process.readAllStandardOutput().startsWith("held");
    }
    ~LockHolder() { release(); }
    bool isHeld() const { return m_held; }
    void release()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel(); // cat ends, flock ends and lets go
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
        m_held = false;
    }

private:
    QProcess m_process;
    bool m_held = false;
};

} // namespace

class TestPortLock : public QObject
{
    Q_OBJECT

private slots:
    void secondOpenerIsRefused_data();
    void secondOpenerIsRefused();
    void findPortSkipsHeldPort_data();
    void findPortSkipsHeldPort();
    void menuChoiceOfHeldPortFailsVisibly();
};

void TestPortLock::secondOpenerIsRefused_data()
{
    QTest::addColumn<QString>("holder");

    QTest::newRow("this program again, same path") << QStringLiteral("same path");
    QTest::newRow("this program again, through a symlink") << QStringLiteral("symlink");
    QTest::newRow("another process holding an flock") << QStringLiteral("flock");
}

void TestPortLock::secondOpenerIsRefused()
{
    QFETCH(QString, holder);

    PseudoTerminal board;
    QVERIFY(board.isValid());
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("board"));
    QVERIFY(QFile::link(board.devicePath(), link));

    std::unique_ptr<QtSerialPort> first;
    std::unique_ptr<LockHolder> other;
    if (holder == QLatin1String("flock")) {
        other = std::make_unique<LockHolder>(board.devicePath());
        QVERIFY(other->isHeld());
    } else {
        first = std::make_unique<QtSerialPort>(PortTable({board.devicePath()}));
        QVERIFY2(first->open(), qPrintable(first->failure().text));
    }

    const QString path = holder == QLatin1String("symlink") ? link : board.devicePath();
    QtSerialPort second{PortTable({path})};
    QVERIFY(!second.open());
    QVERIFY(!second.isOpen());
    QCOMPARE(second.failure().kind, Failure::Kind::InUse);
    QVERIFY2(
        second.failure().text.startsWith(QStringLiteral("COM1 (%1) could not be opened").arg(path)),
        qPrintable(second.failure().text));
    QVERIFY2(second.failure().text.endsWith(QLatin1String(": in use by another program")),
             qPrintable(second.failure().text));

    // The holder keeps working, and once it lets go the port opens.
    if (first) {
        QVERIFY(first->isOpen());
        QVERIFY(board.write("\x02"
                            "120\r"));
        QByteArray received;
        QTRY_COMPARE(received += first->input(), QByteArray("\x02"
                                                            "120\r"));
        QVERIFY(first->close());
    } else {
        other->release();
    }
    QVERIFY2(second.open(), qPrintable(second.failure().text));
    QVERIFY(second.close());
}

void TestPortLock::findPortSkipsHeldPort_data()
{
    QTest::addColumn<int>("held");
    QTest::addColumn<int>("found");

    QTest::newRow("COM1 held, COM2 found") << 1 << 2;
    QTest::newRow("COM2 held, COM1 found") << 2 << 1;
}

void TestPortLock::findPortSkipsHeldPort()
{
    QFETCH(int, held);
    QFETCH(int, found);

    PseudoTerminal com1;
    PseudoTerminal com2;
    QVERIFY(com1.isValid() && com2.isValid());
    LockHolder other(held == 1 ? com1.devicePath() : com2.devicePath());
    QVERIFY(other.isHeld());

    QtSerialPort port{PortTable({com1.devicePath(), com2.devicePath()})};
    BoardPanel panel(port);
    RecordingDisplay display(panel);
    panel.startUp();

    QCOMPARE(panel.selectedPort(), quint8(found));
    QCOMPARE(display.enabledPorts(), QList<int>{found});
    QCOMPARE(display.checkedPorts(), QList<int>{found});
    QVERIFY(port.isOpen());
    QCOMPARE(port.commPort(), found);
    QCOMPARE(display.failures(), QStringList());
}

void TestPortLock::menuChoiceOfHeldPortFailsVisibly()
{
    PseudoTerminal com1;
    PseudoTerminal com2;
    QVERIFY(com1.isValid() && com2.isValid());
    QtSerialPort port{PortTable({com1.devicePath(), com2.devicePath()})};
    BoardPanel panel(port);
    RecordingDisplay display(panel);
    panel.startUp();
    QCOMPARE(display.enabledPorts(), (QList<int>{1, 2}));

    LockHolder other(com2.devicePath());
    QVERIFY(other.isHeld());
    panel.choosePort(2);
    QVERIFY(!port.isOpen());
    QCOMPARE(display.checkedPorts(), QList<int>());
    QCOMPARE(display.failures().size(), 1);
    QVERIFY2(display.failures().constFirst().contains(QLatin1String("in use by another program")),
             qPrintable(display.failures().constFirst()));

    other.release();
    panel.choosePort(2);
    QVERIFY(port.isOpen());
    QCOMPARE(display.checkedPorts(), QList<int>{2});
    QCOMPARE(display.failures().size(), 1);
}

QTEST_GUILESS_MAIN(TestPortLock)
#include "port_lock_test.moc"
