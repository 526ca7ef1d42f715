#include "traffic_trace.h"

#include "byte_notation.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcTrace, "tarnvik.trace")

TrafficTrace::TrafficTrace(const QString &path, QObject *parent)
    : QObject(parent)
    , m_file(path)
{
    m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
}

QString TrafficTrace::line(const TrafficEntry &entry)
{
    const QString what = entry.isTraffic()
                             ? entry.kind + QLatin1Char(' ') + ByteNotation::readable(entry.bytes)
                             : entry.kind;
    return QStringLiteral("%1 %2 %3").arg(entry.ms).arg(entry.port, what);
}

void TrafficTrace::write(const TrafficEntry &entry)
{
    if (!m_file.isOpen())
        return;
    const QByteArray bytes = (line(entry) + QLatin1Char('\n')).toUtf8();
    if ((m_file.write(bytes) != bytes.size() || !m_file.flush()) && !m_failed) {
        m_failed = true; // said once; the trace goes on with what can be written
        qCWarning(lcTrace, "the trace %s cannot be written: %s", qPrintable(m_file.fileName()),
                  qPrintable(m_file.errorString()));
    }
}
