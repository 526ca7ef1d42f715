// SPDX-License-Identifier: MIT
#include "run_trace.h"

#include "tarnvik_version.h"
#include "trace_header.h"
#include "traffic_recorder.h"
#include "traffic_trace.h"

RunTrace::RunTrace(TrafficRecorder &recorder, qsizetype maxBytes, QObject *parent)
    : QObject(parent)
    , m_maxBytes(maxBytes)
{
    const TraceHeader header{QStringLiteral("tarnvik"), QStringLiteral(TARNVIK_VERSION_STRING),
                             recorder.started()};
    m_text = header.line().toUtf8() + '\n';
    connect(&recorder, &TrafficRecorder::entryRecorded, this, &RunTrace::keep);
}

void RunTrace::keep(const TrafficEntry &entry)
{
    if (m_taken)
        return;
    const QByteArray line = TrafficTrace::line(entry).toUtf8() + '\n';
    if (m_dropped == 0 && m_text.size() + line.size() <= m_maxBytes) {
        m_text += line;
        return;
    }
    ++m_dropped;
    m_lastDropped = line.chopped(1);
}

QByteArray RunTrace::take()
{
    m_taken = true;
    QByteArray text = std::move(m_text);
    m_text = QByteArray();
    if (m_dropped > 0)
        text += TrafficTrace::lostLine(m_lastDropped, m_dropped);
    return text;
}
