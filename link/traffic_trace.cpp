// SPDX-License-Identifier: MIT
#include "traffic_trace.h"

#include "byte_notation.h"
#include "record_writer.h"

TrafficTrace::TrafficTrace(const QString &path, RecordWriter &writer, QObject *parent)
    : QObject(parent)
    , m_writer(writer)
{
    m_writer.setTraceFile(path, &TrafficTrace::lostLine);
}

QString TrafficTrace::line(const TrafficEntry &entry)
{
    const QString what = entry.isTraffic()
                             ? entry.kind + QLatin1Char(' ') + ByteNotation::readable(entry.bytes)
                             : entry.kind;
    return QStringLiteral("%1 %2 %3").arg(entry.ms).arg(entry.port, what);
}

void TrafficTrace::writeHeader(const TraceHeader &header)
{
    m_writer.addTraceLine((header.line() + QLatin1Char('\n')).toUtf8());
}

QByteArray TrafficTrace::lostLine(const QByteArray &next, qint64 lost)
{
    const QList<QByteArray> parts = next.split(' ');
    TrafficEntry entry;
    entry.ms = parts.value(0).toLongLong();
    entry.port = QString::fromUtf8(parts.value(1, "-"));
    entry.kind = QStringLiteral("dropped %1 trace lines").arg(lost);
    return (line(entry) + QLatin1Char('\n')).toUtf8();
}

void TrafficTrace::write(const TrafficEntry &entry)
{
    m_writer.addTraceLine((line(entry) + QLatin1Char('\n')).toUtf8());
}
