// SPDX-License-Identifier: MIT
#include "trace_log.h"

#include <QByteArray>

#include <cerrno>
#include <unistd.h>

TraceLog::TraceLog(int fd)
    : m_fd(fd)
{}

void TraceLog::event(const char *kind, qint64 ns, const QString &text)
{
    QByteArray line(kind);
    line += ' ';
    line += QByteArray::number(ns);
    if (!text.isNull()) {
        // Field texts are short and printable; a line break inside one would
        // split the trace line, so control characters become '?'.
        QByteArray bytes = text.toLatin1();
        for (char &c : bytes)
            if (static_cast<unsigned char>(c) < 0x20)
                c = '?';
        line += ' ';
        line += bytes;
    }
    line += '\n';
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(m_fd, line.constData() + done, size_t(line.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return; // nobody reads the trace: the window runs on regardless
    }
}
