// SPDX-License-Identifier: MIT
#include "traffic_recorder.h"

#include "control_bytes.h"

#include <algorithm>

TrafficRecorder::TrafficRecorder(QObject *parent)
    : QObject(parent)
    , m_sent{TrafficEntry::kSent, ControlBytes::kStx, ControlBytes::kEtx, {}, {}}
    , m_received{TrafficEntry::kReceived, ControlBytes::kStx, ControlBytes::kCr, {}, {}}
{
    m_clock.start();
    m_started = QDateTime::currentDateTime();
}

TrafficRecorder::~TrafficRecorder()
{
    finish();
}

void TrafficRecorder::sent(const QString &port, const QByteArray &bytes)
{
    add(m_sent, port, bytes);
}

void TrafficRecorder::received(const QString &port, const QByteArray &bytes)
{
    add(m_received, port, bytes);
}

void TrafficRecorder::event(const QString &port, const QString &what)
{
    finish();
    record(port, what, {});
}

void TrafficRecorder::note(const QString &port, const QString &what)
{
    record(port, what, {});
}

void TrafficRecorder::finish()
{
    flush(m_sent);
    flush(m_received);
}

void TrafficRecorder::add(Group &group, const QString &port, const QByteArray &bytes)
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

void TrafficRecorder::flush(Group &group)
{
    if (group.bytes.isEmpty())
        return;
    const QByteArray bytes = group.bytes;
    group.bytes.clear();
    record(group.port, QLatin1String(group.kind), bytes);
}

void TrafficRecorder::record(const QString &port, const QString &kind, const QByteArray &bytes)
{
    emit entryRecorded(TrafficEntry{now(), port, kind, bytes});
}

void TrafficRecorder::setClock(std::function<qint64()> msNow)
{
    m_msNow = std::move(msNow);
}

qint64 TrafficRecorder::now()
{
    m_lastMs = std::max(m_lastMs, m_msNow ? m_msNow() : m_clock.elapsed());
    return m_lastMs;
}
