// SPDX-License-Identifier: MIT
#include "checks_engine.h"

#include "board_reply.h"
#include "command_frame.h"
#include "command_set.h"
#include "control_bytes.h"
#include "inflation_clock.h"
#include "leak_run.h"
#include "measurement_statistics.h"
#include "reply_line.h"
#include "traffic_entry.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

// Limits are compared with values derived in floating point (a mean, a
// difference with a reference of one decimal): a value on the limit passes.
constexpr double kSlack = 1e-9;

// The kind of the stretch a mode begins (Idle begins none).
StretchKind kindOf(ChecksEngine::Mode mode)
{
    switch (mode) {
    case ChecksEngine::Mode::LeakTest:
        return StretchKind::LeakTest;
    case ChecksEngine::Mode::Manometer:
        return StretchKind::Manometer;
    case ChecksEngine::Mode::Measuring:
    case ChecksEngine::Mode::Idle:
        break;
    }
    return StretchKind::Measurement;
}

// The count of the trace writer's "dropped N trace lines" event.
std::optional<qint64> droppedLines(const QString &kind)
{
    static const QRegularExpression form(QStringLiteral("^dropped (\\d+) trace lines?$"));
    const QRegularExpressionMatch match = form.match(kind);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toLongLong();
}

QString seconds(qint64 ms)
{
    return QString::number(ms / 1000.0, 'f', 1);
}

// "316 trace lines dropped, 61.3 s to 62.0 s"
QString gapText(const CheckReport::Gap &gap)
{
    return QStringLiteral("%1, %2 s to %3 s").arg(gap.what, seconds(gap.fromMs), seconds(gap.toMs));
}

} // namespace

struct ChecksEngine::State
{
    Mode mode = Mode::Idle;
    Patient patient = Patient::Adult;
    QString port;
    qint64 lastMs = 0;
    bool venting = false; // after Break: the vent is no new measurement
    std::optional<CheckReport::Stretch> stretch;
    bool stretchHasPressure = false;
    bool stretchListed = false; // it and its inflation record are the last of their lists
    QList<PressureSample> measurementSamples;
    std::optional<LeakRun> leak;
    std::optional<InflationClock> inflation; // of the measurement that runs
    QList<PressureSample> recent;            // manometer readings of the last static window
    QList<CheckReport::LeakTest> leakTests;
    QList<CheckReport::StaticPoint> points;
    QList<CheckReport::Stretch> stretches;
    QList<CheckReport::Inflation> inflations;
    QList<CheckReport::Measurement> measurements;
    QList<CheckReport::Refusal> refusals;
    QList<CheckReport::Gap> gaps;
};

QString ChecksEngine::referenceEvent(double mmHg)
{
    const double tenths = std::round(mmHg * 10.0);
    if (std::fmod(tenths, 10.0) == 0.0)
        return QStringLiteral("reference %1").arg(static_cast<qint64>(tenths / 10.0));
    return QStringLiteral("reference %1").arg(tenths / 10.0, 0, 'f', 1);
}

std::optional<double> ChecksEngine::referenceValue(const QString &kind)
{
    static const QRegularExpression form(QStringLiteral("^reference (\\d{1,3}(?:\\.\\d)?)$"));
    const QRegularExpressionMatch match = form.match(kind);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toDouble();
}

ChecksEngine::ChecksEngine(const CheckLimits &limits, QObject *parent)
    : QObject(parent)
    , m_limits(limits)
    , m_state(std::make_unique<State>())
{}

ChecksEngine::~ChecksEngine() = default;

const CheckLimits &ChecksEngine::limits() const
{
    return m_limits;
}

void ChecksEngine::setLimits(const CheckLimits &limits)
{
    m_limits = limits;
    emit changed();
}

ChecksEngine::Mode ChecksEngine::mode() const
{
    return m_state->mode;
}

ChecksEngine::Patient ChecksEngine::patient() const
{
    return m_state->patient;
}

void ChecksEngine::setSetPoint(const std::optional<SetPoint> &setPoint)
{
    m_setPoint = setPoint;
    emit changed();
}

void ChecksEngine::feed(const TrafficEntry &entry)
{
    State &s = *m_state;
    const qint64 before = s.lastMs;
    s.lastMs = std::max(s.lastMs, entry.ms);
    if (s.leak)
        s.leak->advance(s.lastMs);
    timeInflation(s.lastMs);
    if (entry.kind == QLatin1String(TrafficEntry::kSent)) {
        followPort(entry);
        sent(entry);
    } else if (entry.kind == QLatin1String(TrafficEntry::kReceived)) {
        followPort(entry);
        received(entry);
    } else if (const std::optional<double> value = referenceValue(entry.kind)) {
        reference(entry.ms, entry.port, *value);
    } else if (entry.kind == QLatin1String(kClearedEvent)) {
        clear();
    } else if (const std::optional<qint64> lines = droppedLines(entry.kind)) {
        lostTraffic(
            {before, entry.ms, entry.port, QStringLiteral("%1 trace lines dropped").arg(*lines)});
    } else {
        portEvent(entry, before);
    }
    emit changed();
}

// Traffic on another port than before: what ran on the old one is over.
void ChecksEngine::followPort(const TrafficEntry &entry)
{
    State &s = *m_state;
    if (s.port == entry.port)
        return;
    if (!s.port.isEmpty())
        endStretch(entry.ms, QStringLiteral("port change"));
    s.port = entry.port;
    s.venting = false;
}

// `beforeMs` is the time of the entry before this one.
void ChecksEngine::portEvent(const TrafficEntry &entry, qint64 beforeMs)
{
    State &s = *m_state;
    if (entry.port != s.port)
        return;
    if (entry.kind == QLatin1String("closed")) {
        endStretch(entry.ms, QStringLiteral("port closed"));
    } else if (entry.kind.startsWith(QLatin1String("lost"))) {
        if (s.mode != Mode::Idle)
            lostTraffic({beforeMs, entry.ms, entry.port, QStringLiteral("port ") + entry.kind});
        endStretch(entry.ms, QStringLiteral("port lost"));
    } else {
        return;
    }
    s.venting = false;
}

// What runs cannot be judged across the gap; a stretch already above its
// limit stays failed.
void ChecksEngine::lostTraffic(const CheckReport::Gap &gap)
{
    State &s = *m_state;
    s.gaps.append(gap);
    const QString text = gapText(gap);
    if (s.leak)
        s.leak->interrupt(text);
    if (s.inflation)
        s.inflation->interrupt(text);
    if (s.stretch && s.stretch->verdict != Verdict::Fail) {
        s.stretch->verdict = Verdict::Incomplete;
        s.stretch->reason = text;
    }
    listStretch();
}

void ChecksEngine::sent(const TrafficEntry &entry)
{
    const QByteArray text = CommandFrame::text(entry.bytes);
    if (text == CommandSet::kStart) {
        beginStretch(Mode::Measuring, entry.ms, QStringLiteral("START"));
    } else if (text == CommandSet::kManometer) {
        beginStretch(Mode::Manometer, entry.ms, QStringLiteral("Manometer"));
    } else if (text == CommandSet::kLeakTest) {
        beginStretch(Mode::LeakTest, entry.ms, QStringLiteral("Leak Test"));
    } else if (text == CommandSet::kBreak) {
        endStretch(entry.ms, QStringLiteral("Break"));
        m_state->venting = true;
    } else if (text == CommandSet::kAdult) {
        m_state->patient = Patient::Adult;
    } else if (text == CommandSet::kNeonate) {
        m_state->patient = Patient::Neonate;
    }
}

void ChecksEngine::received(const TrafficEntry &entry)
{
    // Only a whole line counts, as for the panel: STX to CR.
    const std::optional<BoardReply> reply = BoardReply::fromReceived(entry.bytes);
    if (!reply)
        return;
    switch (reply->kind()) {
    case BoardReply::Kind::Result:
        result(entry.ms, reply->line());
        return;
    case BoardReply::Kind::EndValue:
        ended999(entry.ms);
        return;
    case BoardReply::Kind::Pressure:
        pressure(entry.ms, *reply->pressure());
        return;
    case BoardReply::Kind::Other:
        return;
    }
}

// Begins a stretch of `mode`; `why` ends the one before it.
void ChecksEngine::beginStretch(Mode mode, qint64 ms, const QString &why)
{
    State &s = *m_state;
    endStretch(ms, why);
    s.venting = false;
    s.mode = mode;
    CheckReport::Stretch stretch;
    stretch.kind = kindOf(mode);
    stretch.port = s.port;
    stretch.patient = s.patient;
    const bool adult = s.patient == Patient::Adult;
    stretch.limitMmHg = adult ? m_limits.maxPressureAdultMmHg : m_limits.maxPressureNeonateMmHg;
    stretch.startMs = ms;
    stretch.endMs = ms;
    s.stretch = stretch;
    s.stretchHasPressure = false;
    s.measurementSamples.clear();
    s.recent.clear();
    if (mode == Mode::LeakTest)
        s.leak.emplace(m_limits, s.port, ms, kCurveMaxSamples);
    if (mode == Mode::Measuring)
        s.inflation.emplace(stretch, m_limits);
}

// The measurement that runs has been inflated until `ms`; the moment it is
// over its longest inflation time, that is said at once.
void ChecksEngine::timeInflation(qint64 ms)
{
    State &s = *m_state;
    if (!s.inflation)
        return;
    const bool tooLong = s.inflation->advance(ms);
    listStretch();
    if (!tooLong)
        return;
    const CheckReport::Inflation &record = s.inflation->record();
    emit inflationTooLong(ms, record.seconds, record.limitS);
}

// A stretch counts for over-pressure and inflation time once the board sent
// a pressure in it. From then on it and its inflation record stand at the end
// of their lists, brought up to date as they change, so that report() shares
// the lists as they are: a session's hundred thousand stretches are never
// copied to add the one that runs.
void ChecksEngine::listStretch()
{
    State &s = *m_state;
    if (!s.stretch || !s.stretchHasPressure)
        return;
    if (!s.stretchListed) {
        s.stretches.append(*s.stretch);
        if (s.inflation)
            s.inflations.append(s.inflation->record());
        s.stretchListed = true;
        return;
    }
    s.stretches.last() = *s.stretch;
    if (s.inflation)
        s.inflations.last() = s.inflation->record();
}

void ChecksEngine::endStretch(qint64 ms, const QString &why)
{
    State &s = *m_state;
    timeInflation(ms);
    listStretch();
    s.stretchListed = false;
    s.stretch.reset();
    s.inflation.reset();
    if (s.leak) {
        s.leak->end(ms, why);
        s.leakTests.append(s.leak->test());
        s.leak.reset();
    }
    s.measurementSamples.clear();
    s.recent.clear();
    s.mode = Mode::Idle;
}

void ChecksEngine::pressure(qint64 ms, int mmHg)
{
    State &s = *m_state;
    if (s.mode == Mode::Idle) {
        if (s.venting) {
            s.venting = mmHg > 0;
            return;
        }
        if (mmHg <= 0)
            return;
        // A measurement the board started by itself on its cycle time.
        beginStretch(Mode::Measuring, ms, QString());
    }
    CheckReport::Stretch &stretch = *s.stretch;
    stretch.endMs = ms;
    if (!s.stretchHasPressure || mmHg > stretch.maxMmHg) {
        stretch.maxMmHg = mmHg;
        stretch.maxMs = ms;
    }
    s.stretchHasPressure = true;
    const bool exceeded = mmHg > stretch.limitMmHg && !stretch.exceededMs;
    if (exceeded) {
        stretch.exceededMs = ms;
        stretch.verdict = Verdict::Fail;
        stretch.reason.clear();
    }
    if (s.inflation)
        s.inflation->reading(ms, mmHg);
    listStretch();
    if (exceeded)
        emit overPressure(ms, stretchKindName(stretch.kind), mmHg, stretch.limitMmHg);
    measurementReading(ms, mmHg);
}

// The reading for what the mode keeps of it.
void ChecksEngine::measurementReading(qint64 ms, int mmHg)
{
    State &s = *m_state;
    switch (s.mode) {
    case Mode::Measuring:
        if (s.measurementSamples.size() < kCurveMaxSamples)
            s.measurementSamples.append({ms, mmHg});
        break;
    case Mode::Manometer: {
        s.recent.append({ms, mmHg});
        const qint64 oldest = ms - qRound64(m_limits.staticWindowS * 1000);
        while (!s.recent.isEmpty() && s.recent.constFirst().ms < oldest)
            s.recent.removeFirst();
        break;
    }
    case Mode::LeakTest:
        if (s.leak)
            s.leak->reading(ms, mmHg);
        break;
    case Mode::Idle:
        break;
    }
}

void ChecksEngine::result(qint64 ms, const QString &line)
{
    State &s = *m_state;
    CheckReport::Measurement measurement;
    measurement.ms = ms;
    measurement.port = s.port;
    const auto value = [&line](ReplyLine::Field field) -> std::optional<int> {
        if (const std::optional<qint16> v = ReplyLine::pressureValue(ReplyLine::take(line, field)))
            return *v;
        return std::nullopt;
    };
    measurement.systolic = value(ReplyLine::kSystolic);
    measurement.diastolic = value(ReplyLine::kDiastolic);
    measurement.mean = value(ReplyLine::kMean);
    measurement.pulse = value(ReplyLine::kPulse);
    if (s.mode == Mode::Measuring) {
        measurement.samples = s.measurementSamples;
        endStretch(ms, QStringLiteral("result"));
    }
    keep(measurement);
}

// "999": the board gave up what it was doing.
void ChecksEngine::ended999(qint64 ms)
{
    State &s = *m_state;
    CheckReport::Measurement measurement;
    measurement.ms = ms;
    measurement.port = s.port;
    measurement.ended999 = true;
    if (s.mode == Mode::Measuring)
        measurement.samples = s.measurementSamples;
    if (s.mode != Mode::Idle)
        endStretch(ms, QString::fromLatin1(ReplyLine::kEndValue));
    keep(measurement);
}

// Every measurement is kept; its curve only while it is one of the first
// kCurvesFirst or the latest kCurvesLatest.
void ChecksEngine::keep(CheckReport::Measurement measurement)
{
    QList<CheckReport::Measurement> &list = m_state->measurements;
    measurement.hasCurve = !measurement.samples.isEmpty();
    list.append(measurement);
    const qsizetype older = list.size() - 1 - kCurvesLatest;
    if (older >= kCurvesFirst) {
        list[older].samples = QList<PressureSample>();
        list[older].hasCurve = false;
    }
}

void ChecksEngine::refuse(qint64 ms, const QString &port, double mmHg, const QString &reason)
{
    m_state->refusals.append({ms, port, mmHg, reason});
    emit pointRefused(mmHg, Failure::refused(reason));
}

void ChecksEngine::reference(qint64 ms, const QString &port, double mmHg)
{
    State &s = *m_state;
    if (s.mode != Mode::Manometer || port != s.port) {
        refuse(ms, port, mmHg, QStringLiteral("the board is not in Manometer mode"));
        return;
    }
    const qint64 oldest = ms - qRound64(m_limits.staticWindowS * 1000);
    int low = 0, high = 0, count = 0;
    double sum = 0;
    for (const PressureSample &sample : std::as_const(s.recent)) {
        if (sample.ms < oldest || sample.ms > ms)
            continue;
        low = count == 0 ? sample.mmHg : std::min(low, sample.mmHg);
        high = count == 0 ? sample.mmHg : std::max(high, sample.mmHg);
        sum += sample.mmHg;
        ++count;
    }
    if (count < 2) {
        refuse(ms, port, mmHg,
               QStringLiteral("too few pressure readings in the last %1 s")
                   .arg(CheckLimits::text(m_limits.staticWindowS)));
        return;
    }
    if (high - low > m_limits.staticSpreadMmHg + kSlack) {
        refuse(ms, port, mmHg, QString::fromLatin1(kUnsteady));
        return;
    }
    CheckReport::StaticPoint point;
    point.ms = ms;
    point.port = port;
    point.referenceMmHg = mmHg;
    point.boardMmHg = sum / count;
    point.errorMmHg = point.boardMmHg - mmHg;
    point.spreadMmHg = high - low;
    point.readings = count;
    point.verdict =
        std::abs(point.errorMmHg) <= m_limits.staticMmHg + kSlack ? Verdict::Pass : Verdict::Fail;
    for (const CheckReport::Gap &gap : std::as_const(s.gaps)) {
        if (gap.toMs >= oldest) {
            point.verdict = Verdict::Incomplete;
            point.reason = gapText(gap);
        }
    }
    s.points.append(point);
    emit pointRecorded(point);
}

// A new board: what was judged goes; what runs now starts afresh, except a
// leak test, which needs its pump-up.
void ChecksEngine::clear()
{
    State &s = *m_state;
    s.leakTests.clear();
    s.points.clear();
    s.stretches.clear();
    s.inflations.clear();
    s.measurements.clear();
    s.refusals.clear();
    s.gaps.clear();
    s.leak.reset();
    s.stretchListed = false;
    if (s.stretch) {
        s.stretch->startMs = s.lastMs;
        s.stretch->endMs = s.lastMs;
        s.stretch->maxMmHg = 0;
        s.stretch->exceededMs.reset();
        s.stretch->verdict = Verdict::Pass;
        s.stretch->reason.clear();
        s.stretchHasPressure = false;
    }
    if (s.inflation)
        s.inflation->restart(s.lastMs);
    emit changed();
}

ChecksEngine::LeakState ChecksEngine::leakState() const
{
    const State &s = *m_state;
    LeakState state;
    if (!s.leak)
        return state;
    const CheckReport::LeakTest test = s.leak->test();
    state.holdMmHg = test.holdMmHg;
    state.dropMmHg = test.dropMmHg;
    state.rateMmHgPerMin = test.rateMmHgPerMin;
    state.verdict = test.verdict;
    const double window = m_limits.leakWindowS;
    const std::optional<qint64> earliest = s.leak->earliestWindowMs();
    if (test.complete) {
        state.phase = LeakState::Phase::Done;
    } else if (test.windowStartMs) {
        state.phase = LeakState::Phase::Measuring;
        state.secondsLeft = std::max(0.0, window - (s.lastMs - *test.windowStartMs) / 1000.0);
    } else if (!earliest || s.leak->risingNow()) {
        state.phase = LeakState::Phase::PumpingUp;
        state.secondsLeft = std::max(m_limits.leakSettleS, 2 * SettlingCheck::kBlockS) + window;
    } else {
        state.phase = LeakState::Phase::Settling;
        state.secondsLeft = std::max<qint64>(0, *earliest - s.lastMs) / 1000.0 + window;
    }
    return state;
}

// Gaps may have hidden whole stretches and results: the over-pressure check
// and the series cannot be judged across them.
void ChecksEngine::judgeAcrossGaps(CheckReport &report) const
{
    if (report.gaps.isEmpty())
        return;
    report.overPressureVerdict = combined(report.overPressureVerdict, Verdict::Incomplete);
    report.inflationVerdict = combined(report.inflationVerdict, Verdict::Incomplete);
    QString why = QStringLiteral("traffic lost: ") + gapText(report.gaps.constFirst());
    if (report.gaps.size() > 1)
        why += QStringLiteral(" (and %1 more)").arg(report.gaps.size() - 1);
    MeasurementStatistics::cannotJudge(report.measurements, why);
}

CheckReport ChecksEngine::report() const
{
    const State &s = *m_state;
    CheckReport report;
    report.session.port = s.port;
    report.limits = m_limits;
    report.setPoint = m_setPoint;
    report.leakTests = s.leakTests;
    if (s.leak)
        report.leakTests.append(s.leak->test()); // still running: endedBy stays ""
    report.staticPoints = s.points;
    std::stable_sort(report.staticPoints.begin(), report.staticPoints.end(),
                     [](const CheckReport::StaticPoint &a, const CheckReport::StaticPoint &b) {
                         return a.referenceMmHg < b.referenceMmHg;
                     });
    // Shared, not copied; the stretch that runs is in them (listStretch).
    report.overPressure = s.stretches;
    report.inflation = s.inflations;
    report.measurements = MeasurementStatistics::of(s.measurements, m_setPoint, m_limits);
    report.refusals = s.refusals;
    report.gaps = s.gaps;

    for (const CheckReport::LeakTest &test : std::as_const(report.leakTests))
        report.leakVerdict = combined(report.leakVerdict, test.verdict);
    for (const CheckReport::StaticPoint &point : std::as_const(report.staticPoints))
        report.staticVerdict = combined(report.staticVerdict, point.verdict);
    for (const CheckReport::Stretch &stretch : std::as_const(report.overPressure))
        report.overPressureVerdict = combined(report.overPressureVerdict, stretch.verdict);
    for (const CheckReport::Inflation &inflation : std::as_const(report.inflation))
        report.inflationVerdict = combined(report.inflationVerdict, inflation.verdict);
    judgeAcrossGaps(report);
    report.verdict = combined({report.leakVerdict, report.staticVerdict, report.overPressureVerdict,
                               report.inflationVerdict, report.measurements.verdict});
    return report;
}
