// SPDX-License-Identifier: MIT
#include "measurement_splitter.h"

#include "board_reply.h"
#include "command_frame.h"
#include "command_set.h"
#include "traffic_entry.h"

#include <algorithm>

void MeasurementSplitter::add(const TrafficEntry &entry)
{
    if (entry.kind == QLatin1String(TrafficEntry::kSent))
        sent(entry);
    else if (entry.kind == QLatin1String(TrafficEntry::kReceived))
        received(entry);
}

void MeasurementSplitter::finish()
{
    close();
}

qsizetype MeasurementSplitter::endedCount() const
{
    return m_activity == Activity::Measuring ? m_curves.size() - 1 : m_curves.size();
}

QList<MeasurementCurve> MeasurementSplitter::takeEnded(qsizetype count)
{
    const qsizetype taken = std::min(count, endedCount());
    QList<MeasurementCurve> ended = m_curves.mid(0, taken);
    m_curves.remove(0, taken);
    return ended;
}

void MeasurementSplitter::sent(const TrafficEntry &entry)
{
    const QByteArray text = CommandFrame::text(entry.bytes);
    if (text == CommandSet::kStart) {
        close();
        begin(entry);
        mark(entry.ms, MeasurementCurve::Mark::Start);
    } else if (text == CommandSet::kBreak) {
        if (m_activity == Activity::Measuring) {
            if (!m_broken) // a Break sent again marks nothing new
                mark(entry.ms, MeasurementCurve::Mark::Break);
            m_broken = true;
        } else {
            m_activity = Activity::Venting;
        }
    } else if (text == CommandSet::kManometer || text == CommandSet::kLeakTest) {
        close();
        m_activity = Activity::OtherMode;
    }
}

// Only a whole line counts, STX to CR, as for the panel and the checks: a
// line the trace has without its CR is left out.
void MeasurementSplitter::received(const TrafficEntry &entry)
{
    const std::optional<BoardReply> reply = BoardReply::fromReceived(entry.bytes);
    if (!reply)
        return;
    switch (reply->kind()) {
    case BoardReply::Kind::Result:
        if (m_activity != Activity::Measuring)
            begin(entry);
        mark(entry.ms, MeasurementCurve::Mark::Result);
        current().result = MeasurementCurve::Values{reply->systolic(), reply->diastolic(),
                                                    reply->mean(), reply->pulse()};
        close();
        return;
    case BoardReply::Kind::EndValue:
        if (m_activity == Activity::Measuring) {
            mark(entry.ms, MeasurementCurve::Mark::Aborted);
            close();
        }
        return;
    case BoardReply::Kind::Pressure:
        pressure(entry, *reply->pressure());
        return;
    case BoardReply::Kind::Other:
        return;
    }
}

void MeasurementSplitter::pressure(const TrafficEntry &entry, int value)
{
    if (m_activity == Activity::Venting || m_activity == Activity::OtherMode) {
        if (value <= 0 && m_activity == Activity::Venting)
            m_activity = Activity::Idle;
        return;
    }
    if (m_activity == Activity::Idle) {
        if (value <= 0)
            return;
        begin(entry); // a start the board made by itself (cycle time)
    }
    current().points.append({entry.ms, value});
    current().endMs = entry.ms;
    if (current().points.size() >= kMaxPoints) {
        current().cut = true;
        close();
    } else if (m_broken && value <= 0) {
        close();
    }
}

void MeasurementSplitter::close()
{
    if (m_activity == Activity::Measuring)
        m_activity = Activity::Idle;
    m_broken = false;
}

void MeasurementSplitter::begin(const TrafficEntry &entry)
{
    MeasurementCurve curve;
    curve.startMs = entry.ms;
    curve.endMs = entry.ms;
    curve.port = entry.port;
    m_curves.append(curve);
    m_activity = Activity::Measuring;
    m_broken = false;
}

void MeasurementSplitter::mark(qint64 ms, MeasurementCurve::Mark mark)
{
    current().marks.append({ms, mark});
    current().endMs = ms;
}
