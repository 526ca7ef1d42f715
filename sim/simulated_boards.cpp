// SPDX-License-Identifier: MIT
#include "simulated_boards.h"

SimulatedBoards::SimulatedBoards(const QList<int> &ports)
{
    for (const int port : ports) {
        if (port < 1 || port > kPortCount || m_slots.count(port) != 0)
            continue;
        Slot &slot = m_slots[port];
        slot.terminal = std::make_unique<PseudoTerminal>();
        slot.board = std::make_unique<SimulatedBoard>();
        slot.board->setSeed(quint32(port));
        slot.board->setTimeScale(1.0);
        slot.board->setFailureRate(0.0);
        slot.link = std::make_unique<BoardTerminal>(*slot.board, *slot.terminal, port);
    }
}

bool SimulatedBoards::isValid() const
{
    for (const auto &entry : m_slots) {
        if (!entry.second.terminal->isValid())
            return false;
    }
    return true;
}

QList<int> SimulatedBoards::ports() const
{
    QList<int> ports;
    for (const auto &entry : m_slots)
        ports << entry.first;
    return ports;
}

QStringList SimulatedBoards::devicePaths() const
{
    QStringList paths;
    for (int port = 1; port <= kPortCount; ++port) {
        const auto found = m_slots.find(port);
        paths << (found != m_slots.end() ? found->second.terminal->devicePath()
                                         : absentDevice(port));
    }
    return paths;
}

QString SimulatedBoards::absentDevice(int port)
{
    return QStringLiteral("/nonexistent/tarnvik-sim/COM%1").arg(port);
}

SimulatedBoard &SimulatedBoards::board(int port) const
{
    return *m_slots.at(port).board;
}

BoardTerminal &SimulatedBoards::link(int port) const
{
    return *m_slots.at(port).link;
}

void SimulatedBoards::setTimeScale(double scale)
{
    for (auto &entry : m_slots)
        entry.second.board->setTimeScale(scale);
}

void SimulatedBoards::setFailureRate(double rate)
{
    for (auto &entry : m_slots)
        entry.second.board->setFailureRate(rate);
}

void SimulatedBoards::start()
{
    for (auto &entry : m_slots)
        entry.second.board->start();
}

void SimulatedBoards::stop()
{
    for (auto &entry : m_slots)
        entry.second.board->stop();
}
