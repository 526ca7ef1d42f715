// SPDX-License-Identifier: MIT
#include "measurement_splitter.h"

#include "command_frame.h"
#include "command_set.h"
#include "reply_line.h"
#include "control_bytes.h"
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

void MeasurementSplitter::received(const TrafficEntry &entry)
{
    QByteArray bytes = entry.bytes;
    if (!bytes.startsWith(ControlBytes::kStx))
        return; // noise outside a line
    if (bytes.endsWith(ControlBytes::kCr))
        bytes.chop(1);
    const QString line = QString::fromLatin1(bytes);
    if (ReplyLine::isResultLine(line)) {
        if (m_activity != Activity::Measuring)
            begin(entry);
        mark(entry.ms, MeasurementCurve::Mark::Result);
        current().result = MeasurementCurve::Values{ReplyLine::take(line, ReplyLine::kSystolic),
                                                    ReplyLine::take(line, ReplyLine::kDiastolic),
                                                    ReplyLine::take(line, ReplyLine::kMean),
                                                    ReplyLine::take(line, ReplyLine::kPulse)};
        close();
        return;
    }
    const QString field = ReplyLine::take(line, ReplyLine::kCuffPressure);
    if (field == QLatin1String(ReplyLine::kEndValue)) {
        if (m_activity == Activity::Measuring) {
            mark(entry.ms, MeasurementCurve::Mark::Aborted);
            close();
        }
        return;
    }
    if (const std::optional<qint16> value = ReplyLine::pressureValue(field))
        pressure(entry, *value);
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
