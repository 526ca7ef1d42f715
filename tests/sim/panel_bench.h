// The panel logic on the real serial port class, talking over pseudo-terminals
// to simulated boards on chosen port numbers; the other port numbers point at
// paths that do not exist. A recording display stands in for the window and a
// timer scaled like the boards' clock ticks interpretLatestLine.
#pragma once

#include "board_panel.h"
#include "pty_rig.h"
#include "recording_display.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

class PanelBench : public QObject
{
    Q_OBJECT

public:
    explicit PanelBench(const QList<int> &boardPorts, double timeScale = 50.0,
                        double failureRate = 0.0, const QString &portSettings = QString(),
                        QObject *parent = nullptr);
    ~PanelBench() override;

    // startUp, then the boards' clocks and the Val_Update timer.
    void start();

    BoardPanel &panel() { return m_panel; }
    RecordingDisplay &display() { return m_display; }
    SimulatedBoard &board(int port) { return m_rig.board(port); }
    PtyRig &rig() { return m_rig; }
    QString text(PanelDisplay::Field field) const { return m_display.text(field); }

    // Runs the event loop until done() holds; false after timeoutMs.
    static bool waitFor(const std::function<bool()> &done, int timeoutMs = kTimeoutMs)
    {
        return PtyRig::waitFor(done, timeoutMs, kPollMs);
    }
    // Runs the event loop for ms milliseconds.
    static void run(int ms) { PtyRig::run(ms); }
    // Waits for the start-up frames on `port` and the answer to their status request.
    bool waitForStartUp(int port);

private:
    static constexpr int kTimeoutMs = 15000;
    static constexpr int kPollMs = 1;

    // Members go in reverse order: the timer before the panel, the panel
    // before the port and the boards.
    PtyRig m_rig;
    RecordingDisplay m_display;
    BoardPanel m_panel;
    QTimer m_interpretTimer;
};
