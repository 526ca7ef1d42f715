// SPDX-License-Identifier: MIT
// Simulated boards on chosen port numbers: each one behind its own
// pseudo-terminal and joined to it by a BoardTerminal. devicePaths() is the
// table of eight device paths that binds those port numbers to the terminals
// and every other number to a path that does not exist, so a program that
// scans COM1 to COM8 finds the boards and never touches a real device.
#pragma once

#include "board_terminal.h"
#include "pseudo_terminal.h"
#include "simulated_board.h"

#include <QList>
#include <QStringList>

#include <map>
#include <memory>

class SimulatedBoards
{
public:
    static constexpr int kPortCount = 8;

    // Port numbers outside 1..8 are ignored. Each board's seed is its port
    // number, its time scale 1 and its failure rate 0 until set otherwise.
    explicit SimulatedBoards(const QList<int> &ports);
    SimulatedBoards(const SimulatedBoards &) = delete;
    SimulatedBoards &operator=(const SimulatedBoards &) = delete;

    // False when a pseudo-terminal could not be created.
    bool isValid() const;
    QList<int> ports() const;
    // Device paths for port numbers 1..8, in order.
    QStringList devicePaths() const;
    // The path that stands for port number `port` when no board is on it.
    static QString absentDevice(int port);

    // The board and its link on `port`, which must be one of ports().
    SimulatedBoard &board(int port) const;
    BoardTerminal &link(int port) const;

    void setTimeScale(double scale);
    void setFailureRate(double rate);
    // Starts and stops every board's clock.
    void start();
    void stop();

private:
    // Members go in reverse order: the link before its board, the board
    // before its terminal.
    struct Slot
    {
        std::unique_ptr<PseudoTerminal> terminal;
        std::unique_ptr<SimulatedBoard> board;
        std::unique_ptr<BoardTerminal> link;
    };

    std::map<int, Slot> m_slots;
};
