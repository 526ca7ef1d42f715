// SPDX-License-Identifier: MIT
#include "window_bench.h"

#include "recording_display.h"

#include <QAction>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

std::unique_ptr<PtyBench> PtyBench::create(const Setup &setup)
{
    return std::make_unique<WindowBench>(setup);
}

WindowBench::WindowBench(const Setup &setup)
    : PtyBench(setup, setup.timeScale, 20000, 2)
{}

// The boards' clocks stop, then the window goes, then the port (closing the
// device side), then the boards and their terminals.
WindowBench::~WindowBench()
{
    rig().boards().stop();
    m_window.reset();
}

void WindowBench::start()
{
    m_window = std::make_unique<LoggingWindow>(rig().port());
    // Start-up ran in the constructor, before any override or connection.
    if (!m_window->failureNotice().isEmpty())
        m_failures << m_window->failureNotice();
    connect(m_window.get(), &MainWindow::failureShown, this,
            [this](const QString &notice) { m_failures << notice; });
    // Connected after the window's own handler, so it sees the tick's outcome.
    auto *interpretTimer = m_window->findChild<QTimer *>(QStringLiteral("Val_Update"));
    if (!interpretTimer)
        qFatal("the window has no interpretation timer");
    connect(interpretTimer, &QTimer::timeout, this, &WindowBench::noteTick);

    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        qWarning("the window was not exposed");
    rig().boards().start();
}

int WindowBench::barValue() const
{
    return m_window->findChild<QProgressBar *>(QStringLiteral("Press_bar"))->value();
}

// A left click on the control's button, through the window system.
void WindowBench::press(Control control)
{
    static const char *const names[] = {"StartStop",  "ManoMode", "LeakTest", "Break",
                                        "Patientsel", "Reset",    "PumpUp",   "SetCycle"};
    const char *name = names[int(control)];
    auto *button = m_window->findChild<QPushButton *>(QLatin1String(name));
    if (!button)
        qFatal("no button %s", name);
    QTest::mouseClick(button, Qt::LeftButton);
}

void WindowBench::choosePort(int port)
{
    portEntry(port)->trigger();
}

void WindowBench::openPortMenu()
{
    auto *menu = m_window->findChild<QMenu *>(QStringLiteral("menPort"));
    menu->popup(QPoint(0, 0));
    menu->hide();
}

QList<int> WindowBench::enabledPorts() const
{
    QList<int> ports;
    for (int port = 1; port <= 8; ++port) {
        if (portEntry(port)->isEnabled())
            ports << port;
    }
    return ports;
}

QList<int> WindowBench::checkedPorts() const
{
    QList<int> ports;
    for (int port = 1; port <= 8; ++port) {
        if (portEntry(port)->isChecked())
            ports << port;
    }
    return ports;
}

QString WindowBench::portEntryDevice(int port)
{
    return portEntry(port)->toolTip();
}

void WindowBench::LoggingWindow::setText(Field field, const QString &text)
{
    MainWindow::setText(field, text);
    m_log << RecordingDisplay::name(field) + QLatin1Char('=') + text;
}

void WindowBench::LoggingWindow::setBarValue(int value)
{
    MainWindow::setBarValue(value);
    m_log << QStringLiteral("bar=%1").arg(value);
}

QAction *WindowBench::portEntry(int port) const
{
    QAction *found = m_window->findChild<QAction *>(QStringLiteral("setCOM%1").arg(port));
    if (!found)
        qFatal("no entry for port %d", port);
    return found;
}
