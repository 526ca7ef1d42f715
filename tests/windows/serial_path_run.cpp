// SPDX-License-Identifier: MIT
// The Windows serial path under Wine: the real window (MainWindow) on the
// panel logic (BoardPanel) on QSerialPort's Windows backend and the platform's
// own port table, with COM1 and COM3 on pseudo-terminals whose other ends a
// simulated board serves on Linux (serial_path_test.sh starts the boards and
// this program, and afterwards compares what each board received with what
// the clicks below should send).
//
// The receive table plays the board itself: COM2 and COM4 are joined to COM6
// and COM8 by null modems on Linux, and this program writes the board's bytes
// into COM6 or COM8 and reads the frames the window sends there. Both ends run
// on QSerialPort's Windows backend.
//
// The steps depend on one another and run in order; a board or null modem
// hangs up when this program asks for it through a file in
// TARNVIK_SERIAL_RUN_DIR.
#include "main_window.h"
#include "port_table.h"
#include "qt_serial_port.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLoggingCategory>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

#include <windows.h>

namespace {

// CPU time of this process so far, in milliseconds.
qint64 cpuMilliseconds()
{
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
        return -1;
    auto ms = [](const FILETIME &t) {
        return ((qint64(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
    };
    return ms(kernel) + ms(user);
}

QByteArray frame(const char *text)
{
    return '\x02' + QByteArray(text) + '\x03';
}

// A reply line as the board sends it.
QByteArray line(const char *payload)
{
    return '\x02' + QByteArray(payload) + '\r';
}

// 5 KB of scrambled bytes, always the same, CR and STX among them.
QByteArray garbage()
{
    QByteArray bytes(5 * 1024, Qt::Uninitialized);
    quint32 x = 12345;
    for (char &b : bytes) {
        x = x * 1103515245u + 12345u;
        b = char(x >> 16);
    }
    return bytes;
}

QList<QByteArray> singleBytes(const QByteArray &line)
{
    QList<QByteArray> bytes;
    for (char c : line)
        bytes.append(QByteArray(1, c));
    return bytes;
}

// What a row checks after the board's bytes have gone out.
enum class Then {
    Fields,          // the expected fields only
    ReadStatRepeats, // "999": Read Stat at every tick until the next line
    HangUp,          // lines flow, the null modem hangs up
};

// The board's end of a null modem: what it is sent is collected as it comes.
class BoardEnd
{
public:
    explicit BoardEnd(const QString &name)
    {
        m_serial.setPortName(name);
        QObject::connect(&m_serial, &QSerialPort::readyRead, &m_serial,
                         [this] { m_received += m_serial.readAll(); });
    }
    bool open()
    {
        return m_serial.open(QIODevice::ReadWrite) && m_serial.setBaudRate(4800) &&
               m_serial.setDataBits(QSerialPort::Data8) &&
               m_serial.setParity(QSerialPort::NoParity) &&
               m_serial.setStopBits(QSerialPort::OneStop);
    }
    QString errorText() const { return m_serial.errorString(); }
    void send(const QByteArray &bytes)
    {
        m_serial.write(bytes);
        m_serial.flush();
    }
    // Frames of `text` received since the last take.
    int take(const char *text)
    {
        const int n = int(m_received.count(frame(text)));
        m_received.clear();
        return n;
    }
    void close() { m_serial.close(); }

private:
    QSerialPort m_serial;
    QByteArray m_received;
};

} // namespace

Q_DECLARE_METATYPE(Then)

class SerialPathRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startUpOpensCom1();
    void buttonsSendTheirFrames();
    void portMenuSwitchesToCom3();
    void boardHangingUpIsSurvived();
    void receive_data();
    void receive();
    void cleanupTestCase();

private:
    void click(const QString &name);
    QAction *entry(int port) const;
    QString fieldText(const QString &name) const;
    void hangUp(const QString &board);
    void readStatRepeats(BoardEnd &board);
    void hangUpWhileLinesFlow(BoardEnd &board);

    QDir m_runDir;
    std::unique_ptr<QtSerialPort> m_port;
    std::unique_ptr<BoardPanel> m_panel;
    std::unique_ptr<MainWindow> m_window;
};

void SerialPathRun::initTestCase()
{
    const QString dir = qEnvironmentVariable("TARNVIK_SERIAL_RUN_DIR");
    QVERIFY2(!dir.isEmpty() && QDir(dir).exists(), "TARNVIK_SERIAL_RUN_DIR is not set");
    m_runDir = QDir(dir);
    // Wine keeps QT_* variables from the program: what QSerialPort reports
    // goes into this log from here.
    QLoggingCategory::setFilterRules(QStringLiteral("tarnvik.ports.debug=true"));
    m_port = std::make_unique<QtSerialPort>(PortTable::system());
    m_panel = std::make_unique<BoardPanel>(*m_port);
    m_window = std::make_unique<MainWindow>(*m_panel);
    m_panel->startUp();
    m_window->show();
    QTest::qWait(500);
}

void SerialPathRun::startUpOpensCom1()
{
    QVERIFY(m_port->isOpen());
    QCOMPARE(m_port->commPort(), 1);
    for (int port = 1; port <= PortTable::kPortCount; ++port) {
        // The boards' ports, the null modems' program ends and their board
        // ends: every device there is.
        const bool present = QList<int>{1, 2, 3, 4, 6, 8}.contains(port);
        QVERIFY2(entry(port)->isEnabled() == present, qPrintable(entry(port)->text()));
        QVERIFY2(entry(port)->isChecked() == (port == 1), qPrintable(entry(port)->text()));
    }
    QCOMPARE(m_panel->state().failureNotice(), QString());
}

// Every button once, in an order that needs no answer from the board: the
// window's own state follows the clicks.
void SerialPathRun::buttonsSendTheirFrames()
{
    for (const char *name : {"Reset", "Patientsel", "PumpUp", "SetCycle", "StartStop", "Break",
                             "ManoMode", "Break", "LeakTest", "Break"})
        click(QString::fromLatin1(name));
    QCOMPARE(m_panel->state().failureNotice(), QString());
}

void SerialPathRun::portMenuSwitchesToCom3()
{
    entry(3)->trigger();
    QTest::qWait(300);
    QVERIFY(m_port->isOpen());
    QCOMPARE(m_port->commPort(), 3);
    QVERIFY(entry(3)->isChecked());
    QVERIFY(!entry(1)->isChecked());
    click(QStringLiteral("Reset"));
    QCOMPARE(m_panel->state().failureNotice(), QString());
}

// The board on COM3 goes away while the line is quiet. Wine reports nothing
// until the next frame; then the waiting read is aborted (a resource error)
// and the write refused: the port is closed as lost and the notice names it.
// Clicks on the closed port fail quietly into the notice, and the program
// does not spin: over three seconds it uses well under half a processor.
void SerialPathRun::boardHangingUpIsSurvived()
{
    hangUp(QStringLiteral("com3"));
    if (QTest::currentTestFailed())
        return;

    click(QStringLiteral("Reset"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_port->isOpen(), 5000);
    QVERIFY2(m_panel->state().failureNotice().contains(QLatin1String("COM3")),
             qPrintable(m_panel->state().failureNotice()));

    QElapsedTimer wall;
    wall.start();
    const qint64 cpuBefore = cpuMilliseconds();
    click(QStringLiteral("StartStop"));
    QTest::qWait(3000);
    const qint64 cpu = cpuMilliseconds() - cpuBefore;
    const qint64 elapsed = wall.elapsed();
    qInfo("after the hang-up: %lld ms of CPU in %lld ms; notice \"%s\"", cpu, elapsed,
          qPrintable(m_panel->state().failureNotice()));
    QVERIFY2(cpu >= 0 && cpu < elapsed / 2, qPrintable(QString::number(cpu)));
    QVERIFY(m_window->isVisible());
}

// The board's side of the receive path, on the window's port `port` (switched
// to from the Port menu when the window is elsewhere); `board` is the null
// modem's other end. `button` is clicked first, then each chunk goes out on
// its own, `pause` ms apart. `fields` are "objectName=text" (the bar as
// "Press_bar=value") as the window shows them once the last line is in.
void SerialPathRun::receive_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("board");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<int>("pause");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<Then>("then");

    const QByteArray result(line("S0001 A 160    120080093  072"));
    QTest::newRow("pressure lines reach Map and the bar")
        << 2 << "COM6"
        << "" << QList<QByteArray>{line("085"), line("123")} << 300
        << QStringList{"Map=123", "Press_bar=123"} << Then::Fields;
    QTest::newRow("a result line fills the four fields and returns to IDLE")
        << 2 << "COM6"
        << "StartStop" << QList<QByteArray>{line("150"), result} << 300
        << QStringList{"Label_Status=IDLE", "Sys=120", "Dia=080", "Map=093", "Pulse=072"}
        << Then::Fields;
    QTest::newRow("999 repeats Read Stat at every tick until the next line")
        << 2 << "COM6"
        << "StartStop" << QList<QByteArray>{line("999")} << 0
        << QStringList{"Map=999", "Label_Status=IDLE", "Press_bar=0"} << Then::ReadStatRepeats;
    QTest::newRow("a line cut into single bytes")
        << 2 << "COM6"
        << "" << singleBytes(line("S0002 A 160    131085100  066")) << 20
        << QStringList{"Sys=131", "Dia=085", "Map=100", "Pulse=066"} << Then::Fields;
    QTest::newRow("a line after 5 KB of garbage")
        << 2 << "COM6"
        << "" << QList<QByteArray>{garbage(), line("142")} << 300
        << QStringList{"Map=142", "Press_bar=142"} << Then::Fields;
    QTest::newRow("the Port menu switch, then lines from the new port")
        << 4 << "COM8"
        << "" << QList<QByteArray>{line("077")} << 0 << QStringList{"Map=077", "Press_bar=77"}
        << Then::Fields;
    QTest::newRow("a hang-up while lines flow")
        << 4 << "COM8"
        << "" << QList<QByteArray>{} << 0 << QStringList{} << Then::HangUp;
}

void SerialPathRun::receive()
{
    QFETCH(int, port);
    QFETCH(QString, board);
    QFETCH(QString, button);
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(int, pause);
    QFETCH(QStringList, fields);
    QFETCH(Then, then);

    if (m_port->commPort() != port || !m_port->isOpen()) {
        entry(port)->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(m_port->isOpen() && m_port->commPort() == port, 5000);
        QVERIFY(entry(port)->isChecked());
    }
    BoardEnd end(board);
    QVERIFY2(end.open(), qPrintable(board + QLatin1String(": ") + end.errorText()));
    if (!button.isEmpty())
        click(button);
    for (const QByteArray &chunk : chunks) {
        end.send(chunk);
        QTest::qWait(pause);
    }
    for (const QString &field : fields) {
        const QString name = field.section(QLatin1Char('='), 0, 0);
        const QString text = field.section(QLatin1Char('='), 1);
        QTRY_COMPARE_WITH_TIMEOUT(fieldText(name), text, 5000);
    }
    if (then == Then::ReadStatRepeats)
        readStatRepeats(end);
    else if (then == Then::HangUp)
        hangUpWhileLinesFlow(end);
    else
        QCOMPARE(m_panel->state().failureNotice(), QString());
}

// After "999" every 150 ms tick asks for the status, until a line that is no
// end value comes; the tick that is on its way then may still go out.
void SerialPathRun::readStatRepeats(BoardEnd &board)
{
    board.take("18;;DF");
    QTest::qWait(1500);
    const int repeats = board.take("18;;DF");
    QVERIFY2(repeats >= 7, qPrintable(QString::number(repeats)));
    board.send(line("000 I A 160 00"));
    QTRY_COMPARE_WITH_TIMEOUT(fieldText(QStringLiteral("Map")), QStringLiteral("000"), 5000);
    board.take("18;;DF");
    QTest::qWait(1000);
    QCOMPARE(board.take("18;;DF"), 0);
}

// The null modem goes away while a pressure line comes every 100 ms: the
// port is closed as lost, the notice names it once, and the program does not
// spin.
void SerialPathRun::hangUpWhileLinesFlow(BoardEnd &board)
{
    QSignalSpy notices(&m_panel->state(), &BoardState::failureChanged);
    QTimer lines;
    QObject::connect(&lines, &QTimer::timeout, &lines, [&board] { board.send(line("095")); });
    lines.start(100);
    QTRY_COMPARE_WITH_TIMEOUT(fieldText(QStringLiteral("Map")), QStringLiteral("095"), 5000);
    hangUp(QStringLiteral("com4"));
    lines.stop();
    board.close();
    QTRY_VERIFY_WITH_TIMEOUT(!m_port->isOpen(), 5000);

    QElapsedTimer wall;
    wall.start();
    const qint64 cpuBefore = cpuMilliseconds();
    QTest::qWait(3000);
    const qint64 cpu = cpuMilliseconds() - cpuBefore;
    const qint64 elapsed = wall.elapsed();
    QStringList shown;
    for (const QList<QVariant> &notice : notices)
        shown << notice.at(0).toString();
    qInfo("hang-up with lines flowing: %lld ms of CPU in %lld ms; notices \"%s\"", cpu, elapsed,
          qPrintable(shown.join(QLatin1String("\" \""))));
    QCOMPARE(shown.filter(QLatin1String("COM4")).size(), 1);
    QVERIFY2(m_panel->state().failureNotice().contains(QLatin1String("COM4")),
             qPrintable(m_panel->state().failureNotice()));
    QVERIFY2(cpu >= 0 && cpu < elapsed / 2, qPrintable(QString::number(cpu)));
    QVERIFY(m_window->isVisible());
}

void SerialPathRun::cleanupTestCase()
{
    m_window.reset();
    m_panel.reset();
    m_port.reset();
}

void SerialPathRun::click(const QString &name)
{
    auto *button = m_window->findChild<QPushButton *>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton);
    // Lets QSerialPort hand the frame to the driver before the next click.
    QTest::qWait(150);
}

QAction *SerialPathRun::entry(int port) const
{
    return m_window->findChild<QAction *>(QStringLiteral("setCOM%1").arg(port));
}

// A field's text, or the pressure bar's value, by object name.
QString SerialPathRun::fieldText(const QString &name) const
{
    if (auto *bar = m_window->findChild<QProgressBar *>(name))
        return QString::number(bar->value());
    auto *label = m_window->findChild<QLabel *>(name);
    return label ? label->text() : QStringLiteral("(no field %1)").arg(name);
}

// Asks serial_path_test.sh to hang `board` up and waits until it has.
void SerialPathRun::hangUp(const QString &board)
{
    QFile request(m_runDir.filePath(QStringLiteral("hang-up-") + board));
    QVERIFY(request.open(QIODevice::WriteOnly));
    request.close();
    const QString done = m_runDir.filePath(QStringLiteral("hung-up-") + board);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(done), 15000);
}

QTEST_MAIN(SerialPathRun)
#include "serial_path_run.moc"
