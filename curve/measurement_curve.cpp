#include "measurement_curve.h"

#include "command_set.h"
#include "control_bytes.h"
#include "reply_line.h"
#include "traffic_entry.h"

namespace {

enum class Activity { Idle, Measuring, OtherMode, Venting };

class Splitter
{
public:
    QList<MeasurementCurve> curves;

    void sent(const TrafficEntry &entry)
    {
        QByteArray text = entry.bytes;
        if (text.startsWith(ControlBytes::kStx))
            text.remove(0, 1);
        if (text.endsWith(ControlBytes::kEtx))
            text.chop(1);
        if (text == CommandSet::kStart) {
            close();
            begin(entry);
            mark(entry.ms, MeasurementCurve::Mark::Start);
        } else if (text == CommandSet::kBreak) {
            if (m_activity == Activity::Measuring) {
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

    void received(const TrafficEntry &entry)
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
            current().result = MeasurementCurve::Values{
                ReplyLine::take(line, ReplyLine::kSystolic),
                ReplyLine::take(line, ReplyLine::kDiastolic),
                ReplyLine::take(line, ReplyLine::kMean), ReplyLine::take(line, ReplyLine::kPulse)};
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
        const std::optional<qint16> value = ReplyLine::pressureValue(field);
        if (!value)
            return;
        if (m_activity == Activity::Venting || m_activity == Activity::OtherMode) {
            if (*value <= 0 && m_activity == Activity::Venting)
                m_activity = Activity::Idle;
            return;
        }
        if (m_activity == Activity::Idle) {
            if (*value <= 0)
                return;
            begin(entry); // a start the board made by itself (cycle time)
        }
        current().points.append({entry.ms, *value});
        current().endMs = entry.ms;
        if (m_broken && *value <= 0)
            close();
    }

    void close()
    {
        if (m_activity == Activity::Measuring)
            m_activity = Activity::Idle;
        m_broken = false;
    }

private:
    void begin(const TrafficEntry &entry)
    {
        MeasurementCurve curve;
        curve.startMs = entry.ms;
        curve.endMs = entry.ms;
        curve.port = entry.port;
        curves.append(curve);
        m_activity = Activity::Measuring;
        m_broken = false;
    }
    MeasurementCurve &current() { return curves.last(); }
    void mark(qint64 ms, MeasurementCurve::Mark mark)
    {
        current().marks.append({ms, mark});
        current().endMs = ms;
    }

    Activity m_activity = Activity::Idle;
    bool m_broken = false;
};

} // namespace

QList<MeasurementCurve> MeasurementCurve::fromTrace(const QList<TrafficEntry> &entries)
{
    Splitter splitter;
    for (const TrafficEntry &entry : entries) {
        if (entry.kind == QLatin1String(TrafficEntry::kSent))
            splitter.sent(entry);
        else if (entry.kind == QLatin1String(TrafficEntry::kReceived))
            splitter.received(entry);
    }
    return splitter.curves;
}

QString MeasurementCurve::markName(Mark mark)
{
    switch (mark) {
    case Mark::Start:
        return QStringLiteral("START");
    case Mark::Break:
        return QStringLiteral("Break");
    case Mark::Result:
        return QStringLiteral("result");
    case Mark::Aborted:
        return QString::fromLatin1(ReplyLine::kEndValue);
    }
    return {};
}
