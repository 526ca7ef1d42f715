// SPDX-License-Identifier: MIT
#include "reading_input.h"

#include "plain_file_check.h"

#include <QSocketNotifier>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

ReadingInput::ReadingInput(QObject *parent)
    : QObject(parent)
{}

ReadingInput::~ReadingInput() = default;

bool ReadingInput::open(const QString &source, Failure *why)
{
    if (source == QLatin1String("-")) {
        m_name = QStringLiteral("standard input");
        if (!m_file.open(stdin, QIODevice::ReadOnly))
            return fail(
                why, {Failure::Kind::Io,
                      QStringLiteral("cannot read standard input: %1").arg(m_file.errorString())});
    } else {
        m_name = source;
        Failure reason;
        if (!PlainFileCheck::openForReading(m_file, source, &reason))
            return fail(why,
                        reason.within(QStringLiteral("cannot read the readings %1").arg(source)));
    }
#ifndef Q_OS_WIN
    m_descriptor = m_file.handle();
    m_notifier = new QSocketNotifier(m_descriptor, QSocketNotifier::Read, this);
    m_notifier->setEnabled(false);
    connect(m_notifier, &QSocketNotifier::activated, this, &ReadingInput::readAvailable);
#endif
    return true;
}

void ReadingInput::ask()
{
    m_asked = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_asked || handOutLine())
                return;
#ifdef Q_OS_WIN
            readAvailable();
#else
            m_notifier->setEnabled(true);
#endif
        },
        Qt::QueuedConnection);
}

// What the descriptor holds now (POSIX: it said it would not block), or on
// Windows the next line, read at once.
void ReadingInput::readAvailable()
{
#ifdef Q_OS_WIN
    const QByteArray line = m_file.readLine(kMaxLine);
    m_buffer += line;
    m_atEnd = line.isEmpty() || m_file.atEnd();
#else
    char chunk[4096];
    const ssize_t n = ::read(m_descriptor, chunk, sizeof chunk);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n > 0)
        m_buffer.append(chunk, n);
    else
        m_atEnd = true;
#endif
    if (handOutLine())
        return;
    if (m_atEnd) {
        if (m_notifier)
            m_notifier->setEnabled(false);
        m_asked = false;
        emit ended(QStringLiteral("%1 has no more lines").arg(m_name));
    }
}

// The next whole line (or the last, unended one) to whoever asked.
bool ReadingInput::handOutLine()
{
    qsizetype end = m_buffer.indexOf('\n');
    qsizetype taken = end + 1; // with its line end
    if (end < 0 && m_buffer.size() > kMaxLine)
        end = taken = kMaxLine;
    if (end < 0 && m_atEnd && !m_buffer.isEmpty())
        end = taken = m_buffer.size();
    if (end < 0)
        return false;
    const QString line = QString::fromUtf8(m_buffer.left(std::min(end, kMaxLine))).trimmed();
    m_buffer.remove(0, taken);
    if (m_notifier)
        m_notifier->setEnabled(false);
    m_asked = false;
    emit lineRead(line);
    return true;
}
