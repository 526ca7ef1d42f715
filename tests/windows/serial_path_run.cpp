// The Windows serial path under Wine: the real window (MainWindow) on QSerialPort's
// Windows backend and the platform's own port table, with COM1 and COM3 on
// pseudo-terminals whose other ends a simulated board serves on Linux
// (serial_path_test.sh starts the boards and this program, and afterwards
// compares what each board received with what the clicks below should send).
// Under Wine 8.0 QSerialPort hears nothing of arriving bytes, so this side
// checks only what it can see itself: which ports opened, the Port menu, and
// that a board which hangs up leaves the program running without spinning.
//
// The steps depend on one another and run in order; the board hangs up when
// this program asks for it through a file in TARNVIK_SERIAL_RUN_DIR.
#include "main_window.h"
#include "port_table.h"
#include "qt_serial_port.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QPushButton>
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

} // namespace

class SerialPathRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startUpOpensCom1();
    void buttonsSendTheirFrames();
    void portMenuSwitchesToCom3();
    void boardHangingUpIsSurvived();
    void cleanupTestCase();

private:
    void click(const QString &name);
    QAction *entry(int port) const;

    QDir m_runDir;
    std::unique_ptr<QtSerialPort> m_port;
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
    m_window = std::make_unique<MainWindow>(*m_port);
    m_window->show();
    QTest::qWait(500);
}

void SerialPathRun::startUpOpensCom1()
{
    QVERIFY(m_port->isOpen());
    QCOMPARE(m_port->commPort(), 1);
    for (int port = 1; port <= PortTable::kPortCount; ++port) {
        QVERIFY2(entry(port)->isEnabled() == (port == 1 || port == 3),
                 qPrintable(entry(port)->text()));
        QVERIFY2(entry(port)->isChecked() == (port == 1), qPrintable(entry(port)->text()));
    }
    QCOMPARE(m_window->failureNotice(), QString());
}

// Every button once, in an order that needs no answer from the board: the
// window's own state follows the clicks.
void SerialPathRun::buttonsSendTheirFrames()
{
    for (const char *name : {"Reset", "Patientsel", "PumpUp", "SetCycle", "StartStop", "Break",
                             "ManoMode", "Break", "LeakTest", "Break"})
        click(QString::fromLatin1(name));
    QCOMPARE(m_window->failureNotice(), QString());
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
    QCOMPARE(m_window->failureNotice(), QString());
}

// The board on COM3 goes away. Wine reports nothing until the next frame,
// whose write the driver refuses: the port is closed as lost and the notice
// names it. Clicks on the closed port fail quietly into the notice, and the
// program does not spin: over three seconds it uses well under half a
// processor.
void SerialPathRun::boardHangingUpIsSurvived()
{
    QFile request(m_runDir.filePath(QStringLiteral("hang-up")));
    QVERIFY(request.open(QIODevice::WriteOnly));
    request.close();
    const QString done = m_runDir.filePath(QStringLiteral("hung-up"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(done), 15000);

    click(QStringLiteral("Reset"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_port->isOpen(), 5000);
    QVERIFY2(m_window->failureNotice().contains(QLatin1String("COM3")),
             qPrintable(m_window->failureNotice()));

    QElapsedTimer wall;
    wall.start();
    const qint64 cpuBefore = cpuMilliseconds();
    click(QStringLiteral("StartStop"));
    QTest::qWait(3000);
    const qint64 cpu = cpuMilliseconds() - cpuBefore;
    const qint64 elapsed = wall.elapsed();
    qInfo("after the hang-up: %lld ms of CPU in %lld ms; notice \"%s\"", cpu, elapsed,
          qPrintable(m_window->failureNotice()));
    QVERIFY2(cpu >= 0 && cpu < elapsed / 2, qPrintable(QString::number(cpu)));
    QVERIFY(m_window->isVisible());
}

void SerialPathRun::cleanupTestCase()
{
    m_window.reset();
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

QTEST_MAIN(SerialPathRun)
#include "serial_path_run.moc"
