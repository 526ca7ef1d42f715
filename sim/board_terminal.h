// SPDX-License-Identifier: MIT
// Attaches a SimulatedBoard to a terminal: the master side of a
// PseudoTerminal, or any descriptor of a raw serial line opened by the caller.
// A QSocketNotifier hands every byte the program writes to the board, tagged
// with this link's port number; every line the board sends is written back.
// The board never waits for the line: bytes that do not fit into the
// terminal's queue (nobody has been reading for a long while) are dropped and
// counted, as on a serial line with no listener.
#pragma once

#include <QObject>
#include <QSocketNotifier>

class PseudoTerminal;
class SimulatedBoard;

class BoardTerminal : public QObject
{
    Q_OBJECT

public:
    // fd stays owned by the caller and must outlive this object; it is
    // switched to non-blocking mode.
    BoardTerminal(SimulatedBoard &board, int fd, int port = 0, QObject *parent = nullptr);
    BoardTerminal(SimulatedBoard &board, PseudoTerminal &terminal, int port = 0,
                  QObject *parent = nullptr);

    int port() const { return m_port; }
    qint64 bytesReceived() const { return m_bytesReceived; }
    qint64 bytesSent() const { return m_bytesSent; }
    qint64 bytesDropped() const { return m_bytesDropped; }

signals:
    // Reading failed for good (the other side is gone); the link is idle now.
    void hungUp();

private:
    void onReadable();
    void onLineSent(const QByteArray &bytes);

    SimulatedBoard &m_board;
    int m_fd;
    int m_port;
    QSocketNotifier m_notifier;
    qint64 m_bytesReceived = 0;
    qint64 m_bytesSent = 0;
    qint64 m_bytesDropped = 0;
};
