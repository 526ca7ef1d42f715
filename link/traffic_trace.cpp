#include "traffic_trace.h"

#include "byte_notation.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcTrace, "tarnvik.trace")

TrafficTrace::TrafficTrace(const QString &path)
    : m_file(path)
{
    m_clock.start();
    m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
}

TrafficTrace::~TrafficTrace()
{
    flush(m_sent);
    flush(m_received);
}

void TrafficTrace::sent(const QString &port, const QByteArray &bytes)
{
    add(m_sent, port, bytes);
}

void TrafficTrace::received(const QString &port, const QByteArray &bytes)
{
    add(m_received, port, bytes);
}

void TrafficTrace::event(const QString &port, const QString &what)
{
    flush(m_sent);
    flush(m_received);
    write(port, what);
}

void TrafficTrace::add(Group &group, const QString &port, const QByteArray &bytes)
{
    if (port != group.port)
        flush(group);
    group.port = port;
    for (const char c : bytes) {
        if (c == group.start)
            flush(group);
        group.bytes += c;
        if (c == group.end)
            flush(group);
    }
}

void TrafficTrace::flush(Group &group)
{
    if (group.bytes.isEmpty())
        return;
    write(group.port,
          QLatin1String(group.kind) + QLatin1Char(' ') + ByteNotation::readable(group.bytes));
    group.bytes.clear();
}

void TrafficTrace::write(const QString &port, const QString &what)
{
    if (!m_file.isOpen())
        return;
    const QString line = QStringLiteral("%1 %2 %3\n").arg(m_clock.elapsed()).arg(port, what);
    const QByteArray bytes = line.toUtf8();
    if ((m_file.write(bytes) != bytes.size() || !m_file.flush()) && !m_failed) {
        m_failed = true; // said once; the trace goes on with what can be written
        qCWarning(lcTrace, "the trace %s cannot be written: %s", qPrintable(m_file.fileName()),
                  qPrintable(m_file.errorString()));
    }
}
