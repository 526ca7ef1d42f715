// SPDX-License-Identifier: MIT
// A board that goes away: the real serial path over a pseudo-terminal whose
// master side closes (a hang-up). COM1 is a symlink, so a new terminal can
// stand in for the board "plugged in again" at the same path, and the panel's
// device watch opens it again by itself. COM2 is a symlink too, to nothing
// until a row points it at a terminal of its own.
#include "board_panel.h"
#include "command_frame.h"
#include "command_set.h"
#include "port_table.h"
#include "pseudo_terminal.h"
#include "qt_serial_port.h"
#include "recording_display.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <memory>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using Field = BoardState::Field;

namespace {

using Click = void (BoardPanel::*)();

Click clickOf(const QString &button)
{
    static const QHash<QString, Click> clicks = {
        {QStringLiteral("StartStop"), &BoardPanel::startMeasurement},
        {QStringLiteral("PumpUp"), &BoardPanel::stepPumpUp},
        {QStringLiteral("SetCycle"), &BoardPanel::stepCycle},
        {QStringLiteral("Reset"), &BoardPanel::readStatus},
    };
    return clicks.value(button);
}

qint64 processCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// What the program wrote to the board; QSerialPort writes from the event loop,
// so the loop runs while waiting.
QByteArray readFromProgram(PseudoTerminal &board, qsizetype count)
{
    QByteArray got;
    const bool complete = QTest::qWaitFor(
        [&] {
            got.append(board.read(0));
            return got.size() >= count;
        },
        3000);
    Q_UNUSED(complete); // the caller compares what came
    return got;
}

// A raw pseudo-terminal pair with no opener of the device side but the
// program: when the master closes, read() on the device side returns 0, which
// QSerialPort reports as ReadError over and over. (PseudoTerminal keeps its own
// opener, and then the reads fail with EIO: ResourceError.)
struct BarePty
{
    int master = -1;
    QString path;

    BarePty()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        termios tio{};
        ::tcgetattr(slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
        ::close(slave);
        path = QString::fromLocal8Bit(name);
    }
    ~BarePty() { hangUp(); }
    BarePty(const BarePty &) = delete;
    BarePty &operator=(const BarePty &) = delete;
    bool write(const QByteArray &bytes)
    {
        return ::write(master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    void hangUp()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
};

QByteArray line(const QByteArray &payload)
{
    return QByteArray(1, '\x02') + payload + '\r';
}

} // namespace

class TestLostDevice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hangUpClosesAndReportsOnce_data();
    void hangUpClosesAndReportsOnce();
    void clickAfterLossEndsAtTheWrite_data();
    void clickAfterLossEndsAtTheWrite();
    void portMenuReopens_data();
    void portMenuReopens();
    void deviceBackIsOpenedAgain_data();
    void deviceBackIsOpenedAgain();

private:
    void pointComAt(const QString &device);
    void pointLinkAt(const QString &link, const QString &device);
    void hangUpAndWait();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PseudoTerminal> m_board;
    QString m_com1;
    QString m_com2;
    std::unique_ptr<QtSerialPort> m_port;
    std::unique_ptr<BoardPanel> m_panel;
    std::unique_ptr<RecordingDisplay> m_display;
    int m_arrivalsWhileClosed = 0;
};

void TestLostDevice::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_board = std::make_unique<PseudoTerminal>();
    QVERIFY(m_board->isValid());
    m_com1 = m_dir->filePath(QStringLiteral("board"));
    m_com2 = m_dir->filePath(QStringLiteral("other board"));
    pointComAt(m_board->devicePath());

    m_port = std::make_unique<QtSerialPort>(PortTable({m_com1, m_com2}));
    m_panel = std::make_unique<BoardPanel>(*m_port);
    m_display = std::make_unique<RecordingDisplay>(*m_panel);
    m_arrivalsWhileClosed = 0;
    connect(m_port.get(), &SerialPort::bytesArrived, this, [this] {
        if (!m_port->isOpen())
            ++m_arrivalsWhileClosed;
    });
    m_panel->startUp();
    QVERIFY(m_port->isOpen());
    QCOMPARE(m_display->failures(), QStringList());
    QCOMPARE(readFromProgram(*m_board, 32).size(), 32); // the four start-up frames
}

void TestLostDevice::cleanup()
{
    m_display.reset();
    m_panel.reset();
    m_port.reset();
    m_board.reset();
    m_dir.reset();
}

void TestLostDevice::pointComAt(const QString &device)
{
    pointLinkAt(m_com1, device);
}

void TestLostDevice::pointLinkAt(const QString &link, const QString &device)
{
    QFile::remove(link);
    QVERIFY(QFile::link(device, link));
}

void TestLostDevice::hangUpAndWait()
{
    m_board->closeMaster();
    QTRY_VERIFY_WITH_TIMEOUT(!m_port->isOpen(), 3000);
}

void TestLostDevice::hangUpClosesAndReportsOnce_data()
{
    QTest::addColumn<bool>("otherOpener");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("label3");
    QTest::addColumn<bool>("writePending"); // a frame still in the port's queue

    for (const bool other : {true, false}) {
        const char *how = other ? "read fails (resource error)" : "read returns 0 (read error)";
        QTest::addRow("%s, quiet line", how) << other << QByteArray() << QString() << false;
        QTest::addRow("%s, complete line stays shown", how) << other << line("160")
                                                            << QStringLiteral("\x02"
                                                                              "160")
                                                            << false;
        QTest::addRow("%s, hang-up inside a line", how) << other
                                                        << line("150") + QByteArray("\x02"
                                                                                    "14")
                                                        << QStringLiteral("\x02"
                                                                          "150")
                                                        << false;
        QTest::addRow("%s, hang-up with a write pending", how)
            << other << QByteArray() << QString() << true;
    }
}

void TestLostDevice::hangUpClosesAndReportsOnce()
{
    QFETCH(bool, otherOpener);
    QFETCH(QByteArray, before);
    QFETCH(QString, label3);
    QFETCH(bool, writePending);

    BarePty bare;
    if (!otherOpener) {
        QVERIFY(!bare.path.isEmpty());
        pointComAt(bare.path);
        m_panel->choosePort(1);
        QVERIFY(m_port->isOpen());
    }
    QSignalSpy lost(m_port.get(), &SerialPort::deviceLost);
    if (!before.isEmpty()) {
        QVERIFY(otherOpener ? m_board->write(before) : bare.write(before));
        // Everything written has arrived before the line goes down.
        QByteArray expected = before.mid(before.lastIndexOf('\x02'));
        expected.replace('\r', QByteArray());
        QTRY_COMPARE(m_panel->receiveBuffer(), expected);
    }
    // The frame is handed to the port but leaves only when the event loop
    // turns, after the line is down: the failing write and the failing read
    // are one loss.
    if (writePending)
        m_panel->readStatus();
    if (otherOpener)
        m_board->closeMaster();
    else
        bare.hangUp();
    // The device goes with its path, as an unplugged adapter's does: the
    // bare terminal's number is free again, and another terminal made
    // meanwhile must not look like the board come back.
    QVERIFY(QFile::remove(m_com1));
    QTRY_VERIFY_WITH_TIMEOUT(!m_port->isOpen(), 3000);

    QCOMPARE(lost.size(), 1);
    QCOMPARE(m_display->failures().size(), 1);
    const QString failure = m_display->failures().constFirst();
    QVERIFY2(failure.startsWith(QLatin1String("Lost the device on COM1")), qPrintable(failure));
    QCOMPARE(m_port->failure().text, failure);
    QCOMPARE(m_port->failure().kind, Failure::Kind::NotFound); // gone: it may come back
    QCOMPARE(m_display->text(Field::ReplyLine), label3);

    // Afterwards the program is quiet: no second report, no notification from the closed port,
    // and the event loop sleeps instead of spinning on the dead descriptor.
    const qint64 cpuBefore = processCpuMs();
    QTest::qWait(500);
    const qint64 cpuUsed = processCpuMs() - cpuBefore;
    QVERIFY2(cpuUsed < 150, qPrintable(QStringLiteral("%1 ms CPU in 500 ms").arg(cpuUsed)));
    QCOMPARE(lost.size(), 1);
    QCOMPARE(m_display->failures().size(), 1);
    QCOMPARE(m_arrivalsWhileClosed, 0);
    QVERIFY(!m_port->isOpen());
}

void TestLostDevice::clickAfterLossEndsAtTheWrite_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("command");
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("unchanged");

    QTest::newRow("START keeps IDLE")
        << QStringLiteral("StartStop") << QString::fromLatin1(CommandSet::kStart)
        << Field::OperatingState << QStringLiteral("IDLE");
    QTest::newRow("Pump To keeps 160 mmHg")
        << QStringLiteral("PumpUp") << QString::fromLatin1(CommandSet::kPumpUp180) << Field::PumpUp
        << QStringLiteral("160 mmHg");
    QTest::newRow("Set Cycle keeps Manual")
        << QStringLiteral("SetCycle") << QString::fromLatin1(CommandSet::kCycle1Min)
        << Field::CycleTime << QStringLiteral("Manual");
    QTest::newRow("Read Stat") << QStringLiteral("Reset")
                               << QString::fromLatin1(CommandSet::kReadStatus)
                               << Field::OperatingState << QStringLiteral("IDLE");
}

void TestLostDevice::clickAfterLossEndsAtTheWrite()
{
    QFETCH(QString, button);
    QFETCH(QString, command);
    QFETCH(Field, field);
    QFETCH(QString, unchanged);

    hangUpAndWait();
    QCOMPARE(m_display->failures().size(), 1);
    const quint8 pumpUp = m_panel->pumpUpIndex();
    const quint8 cycle = m_panel->cycleIndex();

    const Click click = clickOf(button);
    QVERIFY(click);
    (m_panel.get()->*click)();
    QCOMPARE(m_display->failures().size(), 2);
    QVERIFY2(m_display->failures().constLast().contains(command),
             qPrintable(m_display->failures().constLast()));
    QCOMPARE(m_display->text(field), unchanged);
    QCOMPARE(m_panel->pumpUpIndex(), pumpUp);
    QCOMPARE(m_panel->cycleIndex(), cycle);
}

void TestLostDevice::portMenuReopens_data()
{
    QTest::addColumn<bool>("deviceBack");

    QTest::newRow("device back at the same path") << true;
    QTest::newRow("device still gone") << false;
}

void TestLostDevice::portMenuReopens()
{
    QFETCH(bool, deviceBack);

    hangUpAndWait();
    PseudoTerminal replugged;
    QVERIFY(replugged.isValid());
    if (deviceBack)
        pointComAt(replugged.devicePath());
    else
        QVERIFY(QFile::remove(m_com1));
    m_display->clearLog();

    m_panel->choosePort(1);
    QCOMPARE(m_port->isOpen(), deviceBack);
    QCOMPARE(m_display->portChecked(1), deviceBack);
    QCOMPARE(m_display->failures().size(), deviceBack ? 1 : 2);
    if (!deviceBack)
        return;

    // The link works both ways again and the earlier loss left nothing behind.
    m_panel->readStatus();
    QCOMPARE(readFromProgram(replugged, 8),
             CommandFrame::build(QString::fromLatin1(CommandSet::kReadStatus)));
    QVERIFY(replugged.write(line("123")));
    QTRY_COMPARE(m_display->text(Field::ReplyLine), QStringLiteral("\x02"
                                                                   "123"));
    QTest::qWait(200);
    QCOMPARE(m_display->failures().size(), 1);
    QCOMPARE(m_arrivalsWhileClosed, 0);
}

void TestLostDevice::deviceBackIsOpenedAgain_data()
{
    // back: the link points at a new terminal after the loss; never: the
    // link is removed; other: COM2 is chosen while the loss is pending, then
    // COM1 comes back. (What the watch does with a device still there at the
    // loss, or after the exit, the in-memory rows of board_state_test show.)
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("reopened");
    QTest::addColumn<QString>("notice"); // how the notice shown begins; an information: "info "
    QTest::addColumn<QList<int>>("checked");

    const QString lost = QStringLiteral("Lost the device on COM1");
    QTest::newRow("device back at the same path: opened again with the start-up frames")
        << "back" << true << "info COM1 is back" << QList<int>{1};
    QTest::newRow("device never back: the loss stays shown, nothing opened")
        << "never" << false << lost << QList<int>{};
    QTest::newRow("another port chosen while the loss is pending keeps the port")
        << "other" << false << QString() << QList<int>{2};
}

void TestLostDevice::deviceBackIsOpenedAgain()
{
    QFETCH(QString, what);
    QFETCH(bool, reopened);
    QFETCH(QString, notice);
    QFETCH(QList<int>, checked);

    PseudoTerminal replugged;
    PseudoTerminal other;
    QVERIFY(replugged.isValid() && other.isValid());
    hangUpAndWait();
    QCOMPARE(m_panel->lostPort(), 1);
    if (what == QLatin1String("other")) {
        pointLinkAt(m_com2, other.devicePath());
        m_panel->recheckMissingPorts(); // the Port menu opens
        m_panel->choosePort(2);
    }
    if (what == QLatin1String("never"))
        QVERIFY(QFile::remove(m_com1));
    else
        pointComAt(replugged.devicePath());

    if (reopened) {
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("^COM1 is back: .*board opened again"));
        QTRY_VERIFY_WITH_TIMEOUT(m_port->isOpen(), 2000);
        QCOMPARE(readFromProgram(replugged, 32),
                 CommandFrame::build(QString::fromLatin1(CommandSet::kCycleManual)) +
                     CommandFrame::build(QString::fromLatin1(CommandSet::kAdult)) +
                     CommandFrame::build(QString::fromLatin1(CommandSet::kPumpUp160)) +
                     CommandFrame::build(QString::fromLatin1(CommandSet::kReadStatus)));
    } else {
        QTest::qWait(4 * BoardPanel::kDeviceWatchIntervalMs);
        QCOMPARE(replugged.read(0), QByteArray());
        QCOMPARE(m_port->isOpen(), what == QLatin1String("other"));
    }
    const QString shown = m_display->shownInfo().isEmpty()
                              ? m_display->shownFailure()
                              : QStringLiteral("info ") + m_display->shownInfo();
    QVERIFY2(notice.isEmpty() ? shown.isEmpty() : shown.startsWith(notice), qPrintable(shown));
    QCOMPARE(m_display->checkedPorts(), checked);
    QCOMPARE(m_display->failures().size(), 1); // the loss, once
    QCOMPARE(m_panel->lostPort(), what == QLatin1String("never") ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestLostDevice)
#include "lost_device_test.moc"
