// SPDX-License-Identifier: MIT
#include "board_terminal.h"

#include "pseudo_terminal.h"
#include "simulated_board.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

BoardTerminal::BoardTerminal(SimulatedBoard &board, int fd, int port, QObject *parent)
    : QObject(parent)
    , m_board(board)
    , m_fd(fd)
    , m_port(port)
    , m_notifier(fd, QSocketNotifier::Read)
{
    if (m_fd >= 0)
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_notifier.setEnabled(m_fd >= 0);
    connect(&m_notifier, &QSocketNotifier::activated, this, &BoardTerminal::onReadable);
    connect(&m_board, &SimulatedBoard::lineSent, this, &BoardTerminal::onLineSent);
}

BoardTerminal::BoardTerminal(SimulatedBoard &board, PseudoTerminal &terminal, int port,
                             QObject *parent)
    : BoardTerminal(board, terminal.masterFd(), port, parent)
{}

void BoardTerminal::onReadable()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            m_bytesReceived += n;
            m_board.receive(QByteArray(buffer, n), m_port);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // End of file or a hard error (EIO once no one holds the other side):
        // stop listening, or the notifier would fire without end.
        m_notifier.setEnabled(false);
        emit hungUp();
        return;
    }
}

void BoardTerminal::onLineSent(const QByteArray &bytes)
{
    if (m_fd < 0 || !m_notifier.isEnabled()) {
        m_bytesDropped += bytes.size();
        return;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    m_bytesSent += done;
    m_bytesDropped += bytes.size() - done;
}
