#include "window_bench.h"

#include "port_table.h"

#include <QAction>
#include <QEventLoop>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using Field = PanelDisplay::Field;

WindowBench::WindowBench(const QList<int> &boardPorts, double timeScale, double failureRate,
                         QObject *parent)
    : QObject(parent)
    , m_boards(std::make_unique<SimulatedBoards>(boardPorts))
{
    if (!m_boards->isValid())
        qFatal("cannot create a pseudo-terminal");
    m_boards->setTimeScale(timeScale);
    m_boards->setFailureRate(failureRate);
    m_port = std::make_unique<QtSerialPort>(PortTable(m_boards->devicePaths()));
    m_window = std::make_unique<Form1>(*m_port);

    // Connected after the window's own handler, so it sees the tick's outcome.
    auto *valUpdate = m_window->findChild<QTimer *>(QStringLiteral("Val_Update"));
    if (!valUpdate)
        qFatal("the window has no Val_Update timer");
    connect(valUpdate, &QTimer::timeout, this, [this] {
        m_ticks.append(
            Tick{text(Field::Map), text(Field::Sys), text(Field::Label_Status), barValue()});
    });

    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        qWarning("the window was not exposed");
    m_boards->start();
}

// The window goes first, then the port (closing the device side), then the
// boards and their terminals.
WindowBench::~WindowBench()
{
    m_boards->stop();
    m_window.reset();
    m_port.reset();
}

int WindowBench::barValue() const
{
    return m_window->findChild<QProgressBar *>(QStringLiteral("Press_bar"))->value();
}

QAction *WindowBench::action(const QString &name) const
{
    QAction *found = m_window->findChild<QAction *>(name);
    if (!found)
        qFatal("no menu entry %s", qPrintable(name));
    return found;
}

QPushButton *WindowBench::button(const QString &name) const
{
    QPushButton *found = m_window->findChild<QPushButton *>(name);
    if (!found)
        qFatal("no button %s", qPrintable(name));
    return found;
}

void WindowBench::click(const QString &name)
{
    QTest::mouseClick(button(name), Qt::LeftButton);
}

void WindowBench::choose(const QString &name)
{
    action(name)->trigger();
}

// A real event loop rather than QTest::qWaitFor, which sleeps 10 ms between
// rounds and would hold the boards' millisecond clocks back.
bool WindowBench::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}

void WindowBench::run(int ms)
{
    waitFor([] { return false; }, ms);
}

bool WindowBench::waitForStartUp(int port)
{
    SimulatedBoard &b = board(port);
    return waitFor(
        [&] { return b.commands().size() >= 4 && text(Field::Map) == QLatin1String("000"); });
}
