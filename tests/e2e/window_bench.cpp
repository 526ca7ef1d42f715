// SPDX-License-Identifier: MIT
#include "window_bench.h"

#include <QAction>
#include <QLabel>
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

// The boards' clocks stop, then the window goes, then the panel, then the
// port (closing the device side), then the boards and their terminals.
WindowBench::~WindowBench()
{
    rig().boards().stop();
    m_window.reset();
    m_display.reset();
    m_panel.reset();
}

void WindowBench::start()
{
    m_panel = std::make_unique<BoardPanel>(rig().port());
    m_display = std::make_unique<RecordingDisplay>(*m_panel);
    m_window = std::make_unique<MainWindow>(*m_panel);
    m_panel->startUp();
    m_display->clearLog();
    // Connected after the panel's own handler, so it sees the tick's outcome.
    auto *interpretTimer = m_panel->findChild<QTimer *>(QStringLiteral("Val_Update"));
    if (!interpretTimer)
        qFatal("the panel has no interpretation timer");
    connect(interpretTimer, &QTimer::timeout, this, &WindowBench::noteTick);

    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        qWarning("the window was not exposed");
    rig().boards().start();
}

QString WindowBench::text(BoardState::Field field) const
{
    static const char *const names[] = {"Label_Status", "Label_cycle", "Label_Patient",
                                        "Label_Pumpup", "Sys",         "Dia",
                                        "Map",          "Pulse"};
    if (field == BoardState::Field::ReplyLine)
        return m_panel->state().text(field);
    const char *name = names[int(field)];
    auto *label = m_window->findChild<QLabel *>(QLatin1String(name));
    if (!label)
        qFatal("no field %s", name);
    return label->text();
}

// The notice in the status bar, all of it as the state holds it, or none
// when the bar shows none.
QString WindowBench::failureNotice() const
{
    auto *notice = m_window->findChild<QLabel *>(QStringLiteral("failureNotice"));
    return notice->isVisibleTo(m_window.get()) ? m_panel->state().failureNotice() : QString();
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

QAction *WindowBench::portEntry(int port) const
{
    QAction *found = m_window->findChild<QAction *>(QStringLiteral("setCOM%1").arg(port));
    if (!found)
        qFatal("no entry for port %d", port);
    return found;
}
