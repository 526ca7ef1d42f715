// SPDX-License-Identifier: MIT
#include "stop_signals.h"

#ifdef Q_OS_WIN
#include <QWinEventNotifier>

#include <windows.h>
#else
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#endif

namespace {

#ifdef Q_OS_WIN

HANDLE g_event = nullptr;

BOOL WINAPI consoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    ::SetEvent(g_event);
    return TRUE;
}

#else

int g_pipe[2] = {-1, -1};
struct sigaction g_previous[2];
constexpr int kSignals[2] = {SIGINT, SIGTERM};

// Async-signal-safe: one write into the pipe, errno kept.
void handler(int signal)
{
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

#endif

} // namespace

#ifdef Q_OS_WIN

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    g_event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!g_event || !::SetConsoleCtrlHandler(consoleControl, TRUE))
        return;
    auto *notifier = new QWinEventNotifier(g_event, this);
    connect(notifier, &QWinEventNotifier::activated, this, &StopSignals::take);
    m_watching = true;
}

StopSignals::~StopSignals()
{
    ::SetConsoleCtrlHandler(consoleControl, FALSE);
}

void StopSignals::take()
{
    emit stopAsked(QStringLiteral("Ctrl+C"));
}

#else

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    if (::pipe(g_pipe) != 0)
        return;
    for (int end : g_pipe) {
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &StopSignals::take);
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    m_watching = true;
}

StopSignals::~StopSignals()
{
    if (!m_watching)
        return;
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
}

void StopSignals::take()
{
    char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
        emit stopAsked(byte == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM"));
}

#endif
