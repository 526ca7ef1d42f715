// The panel logic on the real serial port class, talking over pseudo-terminals
// to simulated boards on chosen port numbers; the other port numbers point at
// paths that do not exist. A recording display stands in for the window and a
// timer scaled like the boards' clock ticks Val_Update_Timer.
#pragma once

#include "board_panel.h"
#include "board_terminal.h"
#include "pseudo_terminal.h"
#include "qt_serial_port.h"
#include "recording_display.h"
#include "simulated_board.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

class PanelBench : public QObject
{
    Q_OBJECT

public:
    explicit PanelBench(const QList<int> &boardPorts, double timeScale = 50.0,
                        double failureRate = 0.0, QObject *parent = nullptr);
    ~PanelBench() override;

    // Form_Load, then the boards' clocks and the Val_Update timer.
    void start();

    BoardPanel &panel() { return *m_panel; }
    RecordingDisplay &display() { return m_display; }
    SimulatedBoard &board(int port) { return *m_boards.at(port).board; }
    QString text(PanelDisplay::Field field) const { return m_display.text(field); }

    // Runs the event loop until done() holds; false after timeoutMs.
    static bool waitFor(const std::function<bool()> &done, int timeoutMs = 15000);
    // Runs the event loop for ms milliseconds.
    static void run(int ms);
    // Waits for the start-up frames on `port` and the answer to their status request.
    bool waitForStartUp(int port);

private:
    struct Slot
    {
        std::unique_ptr<PseudoTerminal> terminal;
        std::unique_ptr<SimulatedBoard> board;
        std::unique_ptr<BoardTerminal> link;
    };

    std::map<int, Slot> m_boards;
    RecordingDisplay m_display;
    std::unique_ptr<QtSerialPort> m_port;
    std::unique_ptr<BoardPanel> m_panel;
    QTimer m_valUpdate;
};
