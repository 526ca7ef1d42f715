// The real main window (MainWindow) on the real serial port class, talking over
// pseudo-terminals to simulated boards on chosen port numbers; the other port
// numbers point at paths that do not exist. The boards run faster than real
// time, the window's own Val_Update timer interprets their lines at its own
// pace. After each of its ticks the bench notes what the window shows, so
// tests can follow a measurement as the operator saw it.
#pragma once

#include "main_window.h"
#include "pty_rig.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QPushButton;

class WindowBench : public QObject
{
    Q_OBJECT

public:
    // What the window showed right after one Val_Update tick.
    struct Tick
    {
        QString map;
        QString sys;
        QString state;
        int bar = 0;
    };

    // Creates the boards, the port and the window (which runs its start-up),
    // shows the window and starts the boards' clocks.
    explicit WindowBench(const QList<int> &boardPorts, double timeScale = 20.0,
                         double failureRate = 0.0, const QString &portSettings = QString(),
                         QObject *parent = nullptr);
    ~WindowBench() override;

    MainWindow &window() { return *m_window; }
    SimulatedBoard &board(int port) { return m_rig.board(port); }
    PtyRig &rig() { return m_rig; }
    QString text(PanelDisplay::Field field) const { return m_window->text(field); }
    int barValue() const;
    QAction *action(const QString &name) const;
    QPushButton *button(const QString &name) const;

    // A left click on the named button, through the window system.
    void click(const QString &name);
    // Chooses the named menu entry.
    void choose(const QString &name);

    QList<Tick> ticks() const { return m_ticks; }
    void clearTicks() { m_ticks.clear(); }

    // Runs the event loop until done() holds; false after timeoutMs.
    static bool waitFor(const std::function<bool()> &done, int timeoutMs = kTimeoutMs)
    {
        return PtyRig::waitFor(done, timeoutMs, kPollMs);
    }
    static void run(int ms) { PtyRig::run(ms); }
    // Waits for the start-up frames on `port` and the window's reading of the
    // board's answer to their status request.
    bool waitForStartUp(int port);

private:
    static constexpr int kTimeoutMs = 20000;
    static constexpr int kPollMs = 2;

    PtyRig m_rig;
    std::unique_ptr<MainWindow> m_window;
    QList<Tick> m_ticks;
};
