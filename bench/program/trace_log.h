// SPDX-License-Identifier: MIT
// The launcher's trace: one line per event on standard output, "<kind> <ns>"
// or "<kind> <ns> <text>", with the CLOCK_MONOTONIC time in nanoseconds. Each
// line goes out in one unbuffered write, so the driver reading the pipe sees
// an event as soon as it has happened.
#pragma once

#include <QString>

class TraceLog
{
public:
    explicit TraceLog(int fd = 1);

    void event(const char *kind, qint64 ns, const QString &text = QString());

private:
    int m_fd;
};
