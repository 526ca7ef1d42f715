// SPDX-License-Identifier: MIT
// What the pseudo-terminal benches share: simulated boards on chosen port
// numbers, the real serial port class over the table that points at their
// terminals (every other number at a path that does not exist), and waits
// that run a real event loop so the boards' millisecond clocks keep pace.
// Given a port settings file, the table is that file laid over those paths,
// the way the program binds its ports.
#pragma once

#include "qt_serial_port.h"
#include "simulated_boards.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class PtyRig
{
public:
    // Stops the test run when a pseudo-terminal cannot be created.
    explicit PtyRig(const QList<int> &boardPorts, double timeScale, double failureRate,
                    const QString &portSettings = QString());
    PtyRig(const PtyRig &) = delete;
    PtyRig &operator=(const PtyRig &) = delete;
    ~PtyRig();

    SimulatedBoards &boards() { return m_boards; }
    SimulatedBoard &board(int port) { return m_boards.board(port); }
    QtSerialPort &port() { return m_port; }
    // The pseudo-terminal of the board on `port`.
    QString terminal(int port) const { return m_boards.devicePaths().at(port - 1); }

    // Runs the event loop until done() holds, checking every pollMs; false
    // after timeoutMs.
    static bool waitFor(const std::function<bool()> &done, int timeoutMs, int pollMs);
    // Runs the event loop for ms milliseconds.
    static void run(int ms);
    // Waits until the board on `port` has the four start-up frames and mapText()
    // shows the pressure of the board's answer to their status request.
    bool waitForStartUp(int port, const std::function<QString()> &mapText, int timeoutMs,
                        int pollMs);

    // What the tests expect of the boards: the start-up frames in order, a
    // list of command texts as a board records them from `port`, and a value
    // as the board writes it into a three-character field.
    static const QStringList kStartUp;
    static QList<SimulatedBoard::Command> onPort(const QStringList &texts, int port);
    static QString padded(int value);
    // Writes a port settings file into `dir` with `ports` as its [ports]
    // group ("COM5=/path\n..."); returns its path.
    static QString writePortSettings(const QString &dir, const QByteArray &ports);

private:
    // Members go in reverse order: the port before the boards, so the device
    // side closes before the terminals.
    SimulatedBoards m_boards;
    QtSerialPort m_port;
};
