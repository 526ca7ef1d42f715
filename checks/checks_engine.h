// SPDX-License-Identifier: MIT
// The bench checks of one session, judged from the traffic in time order: the
// frames sent, the reply lines received, the ports' events and the
// operator's reference readings, as TraceReader reads them from a trace and
// as the program's traffic recorder hands them out live. The same entries
// give the same verdicts either way.
//
// Live use (the Bench checks window):
//   - feed() every entry as it happens;
//   - record a static point by writing the event referenceEvent(P) to the
//     trace for the open port; its entry reaches feed() and ends in
//     pointRecorded() or pointRefused();
//   - "Clear" writes the event kClearedEvent the same way (clear() does the
//     same without a trace);
//   - leakState() for the running leak test, report() for the verdicts and
//     the report (its session fields the window fills in);
//   - changed() after every entry that changed something, overPressure() at
//     once when a stretch first goes above its limit, inflationTooLong() at
//     once when a measurement has held the cuff up longer than its limit.
// Offline (tarnvik-report): feed() each entry of the trace, then report().
//
// What it knows, from the frames sent: START "01;;D7" begins a measurement
// (so does a pressure above 0 while idle: a start the board made on its
// cycle time), Manometer "14;;DB" and Leak Test "17;;DE" their modes, Break
// "X" ends any of them; "24;;DC" and "25;;DD" choose adult and neonate (adult
// until one is sent). Pressures come from pressure lines as the panel reads
// them; a result line or "999" ends a measurement. A port that closes, is
// lost, or changes ends what runs on it. One engine serves the whole session,
// whatever the port. Every stretch is judged for over-pressure, every
// measurement stretch also for its inflation time (InflationClock).
//
// Traffic the record lacks (the trace writer's "dropped N trace lines", a
// port lost while a stretch runs) is a gap: what it overlaps is incomplete,
// and so are the over-pressure check, the inflation time and the measurement
// series, which it may have hidden whole stretches and results from. The
// engine keeps per pressure line only what a running check needs; of the
// measurements it keeps every result but the curves of the first
// kCurvesFirst and the latest kCurvesLatest only. What grows with a session
// is a result, a stretch and an inflation record per measurement, 320 bytes
// (BENCHMARKS.md: 100 MB hold about 230,000 measurements); report() shares
// those lists with the report it hands out and never copies them.
#pragma once

#include "check_report.h"
#include "failure.h"
#include "trace_reader.h"

#include <QObject>

#include <memory>
#include <optional>

class ChecksEngine : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Idle, Measuring, Manometer, LeakTest };
    using Patient = PatientMode;

    // The leak test as it runs. Live, seconds count from the last entry fed.
    struct LeakState
    {
        enum class Phase { None, PumpingUp, Settling, Measuring, Done };
        Phase phase = Phase::None;             // None: no leak test runs
        std::optional<double> holdMmHg;        // the peak after pump-up
        double secondsLeft = 0;                // settling and measuring still to go
        double dropMmHg = 0;                   // since the window began
        std::optional<double> rateMmHgPerMin;  // from two readings in the window on
        Verdict verdict = Verdict::Incomplete; // pass or fail once done
    };

    // The event text of a reference reading: "reference 120" or
    // "reference 120.5" (one decimal at most; `mmHg` is rounded to it).
    // Readings from 0 to 999.9 mmHg are references; the window takes no other.
    static QString referenceEvent(double mmHg);
    // The reading of such an event text; none for any other text.
    static std::optional<double> referenceValue(const QString &kind);
    static constexpr const char *kClearedEvent = "checks cleared";
    static constexpr const char *kUnsteady = "hold the pressure steady";
    // The measurements whose pressure curves are kept, and the readings a
    // curve (of a measurement or a leak test) keeps at most.
    static constexpr int kCurvesFirst = 12;
    static constexpr int kCurvesLatest = 12;
    static constexpr int kCurveMaxSamples = 4800;

    explicit ChecksEngine(const CheckLimits &limits = CheckLimits(), QObject *parent = nullptr);
    ~ChecksEngine() override;

    void feed(const TrafficEntry &entry);
    // Forgets every check and result (a new board); mode, patient and port stay.
    void clear();
    // The simulator's setting the measurements are compared with; none for
    // statistics only.
    void setSetPoint(const std::optional<SetPoint> &setPoint);

    const CheckLimits &limits() const;
    // The limits to judge by from now on (a test plan's run). What runs keeps
    // the limits it began with; what is reported is judged by the new ones.
    void setLimits(const CheckLimits &limits);
    Mode mode() const;
    Patient patient() const;
    LeakState leakState() const;
    // Everything so far; what still runs is in it as it stands (a leak test
    // short of its window is incomplete). Of the session only the port is set.
    CheckReport report() const;

signals:
    void changed();
    void overPressure(qint64 ms, const QString &kind, int mmHg, double limitMmHg);
    // The measurement that runs has held the cuff above its threshold for
    // `seconds`, over the limit of its patient mode.
    void inflationTooLong(qint64 ms, double seconds, double limitS);
    void pointRecorded(const CheckReport::StaticPoint &point);
    void pointRefused(double referenceMmHg, const Failure &why);

private:
    struct State;
    void sent(const TrafficEntry &entry);
    void received(const TrafficEntry &entry);
    void portEvent(const TrafficEntry &entry, qint64 beforeMs);
    void lostTraffic(const CheckReport::Gap &gap);
    void pressure(qint64 ms, int mmHg);
    void measurementReading(qint64 ms, int mmHg);
    void result(qint64 ms, const QString &line);
    void ended999(qint64 ms);
    void keep(CheckReport::Measurement measurement);
    void reference(qint64 ms, const QString &port, double mmHg);
    void refuse(qint64 ms, const QString &port, double mmHg, const QString &reason);
    void beginStretch(Mode mode, qint64 ms, const QString &why);
    void endStretch(qint64 ms, const QString &why);
    void listStretch();
    void timeInflation(qint64 ms);
    void followPort(const TrafficEntry &entry);
    void judgeAcrossGaps(CheckReport &report) const;

    CheckLimits m_limits;
    std::optional<SetPoint> m_setPoint;
    std::unique_ptr<State> m_state;
};
