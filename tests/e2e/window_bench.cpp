#include "window_bench.h"

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using Field = PanelDisplay::Field;

WindowBench::WindowBench(const QList<int> &boardPorts, double timeScale, double failureRate,
                         const QString &portSettings, QObject *parent)
    : QObject(parent)
    , m_rig(boardPorts, timeScale, failureRate, portSettings)
    , m_window(std::make_unique<MainWindow>(m_rig.port()))
{
    // Connected after the window's own handler, so it sees the tick's outcome.
    auto *valUpdate = m_window->findChild<QTimer *>(QStringLiteral("Val_Update"));
    if (!valUpdate)
        qFatal("the window has no Val_Update timer");
    connect(valUpdate, &QTimer::timeout, this, [this] {
        m_ticks.append(Tick{text(Field::MeanPressure), text(Field::Systolic),
                            text(Field::OperatingState), barValue()});
    });

    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        qWarning("the window was not exposed");
    m_rig.boards().start();
}

// The boards' clocks stop, then the window goes, then the port (closing the
// device side), then the boards and their terminals.
WindowBench::~WindowBench()
{
    m_rig.boards().stop();
    m_window.reset();
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

bool WindowBench::waitForStartUp(int port)
{
    return m_rig.waitForStartUp(
        port, [this] { return text(Field::MeanPressure); }, kTimeoutMs, kPollMs);
}
