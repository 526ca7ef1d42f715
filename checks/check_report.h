// SPDX-License-Identifier: MIT
// The bench checks of one session as plain data: what ChecksEngine::report()
// hands out (with, for a run that followed a test plan, the plan and its
// steps that PlanJudgement adds) and what the JSON form and the PDF are made
// from. Times are the trace's milliseconds; pressures are mmHg as the board
// sent them; derived numbers are kept unrounded. Every verdict that is not
// pass or fail for a reason the reader must know (a gap in the traffic,
// unsteady readings, too few results) carries that reason in words.
#pragma once

#include "check_limits.h"
#include "verdict.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct PressureSample
{
    qint64 ms = 0;
    int mmHg = 0;
};

// What a stretch of pressure was: the mode the board ran in.
enum class StretchKind : quint8 { Measurement, LeakTest, Manometer };
// The board's patient mode; the limits of over-pressure and inflation time
// depend on it.
enum class PatientMode : quint8 { Adult, Neonate };

// "measurement", "leak test", "manometer": as the report and the JSON name it.
inline QString stretchKindName(StretchKind kind)
{
    switch (kind) {
    case StretchKind::LeakTest:
        return QStringLiteral("leak test");
    case StretchKind::Manometer:
        return QStringLiteral("manometer");
    case StretchKind::Measurement:
        break;
    }
    return QStringLiteral("measurement");
}

// "adult", "neonate"
inline QString patientModeName(PatientMode patient)
{
    return patient == PatientMode::Neonate ? QStringLiteral("neonate") : QStringLiteral("adult");
}

// The simulator's setting a measurement series is compared with.
struct SetPoint
{
    double systolic = 0;
    double diastolic = 0;
    std::optional<double> mean;
    std::optional<double> pulse;
};

struct CheckReport
{
    // Who and what; filled by the caller (the window or tarnvik-report).
    struct Session
    {
        QString program; // "tarnvik 1.0.1"
        QString board;   // the board's ID (serial number)
        QString operatorName;
        QString instrument; // the reference instrument
        QDateTime started;  // invalid when unknown
        QString port;       // "COM1"; the engine sets the last port it saw
        QString device;     // empty when unknown (offline)
    };

    // Traffic the session's record does not hold: trace lines the writer
    // dropped (its "dropped N trace lines" marker) or a port lost while a
    // stretch ran. What overlaps a gap cannot be judged.
    struct Gap
    {
        qint64 fromMs = 0; // the last entry before the gap
        qint64 toMs = 0;   // the marker or the loss
        QString port;
        QString what; // "316 trace lines dropped", "port lost: ..."
    };

    // A reference reading the engine would not take as a static point.
    struct Refusal
    {
        qint64 ms = 0;
        QString port;
        double referenceMmHg = 0;
        QString reason; // "hold the pressure steady", ...
    };

    // From the Leak Test frame to Break, another mode, a port change or the
    // end of the trace.
    struct LeakTest
    {
        QString port;
        qint64 startMs = 0;
        qint64 endMs = 0;
        QString endedBy;                // "Break", "START", "Manometer", "Leak Test",
                                        // "port change", "port closed", "trace end"; "" running
        std::optional<double> holdMmHg; // the peak after pump-up; none when none was seen
        qint64 holdMs = 0;
        std::optional<qint64> windowStartMs; // set once the pressure has settled
        double settleS = 0;                  // from the peak to the window's start, as used
        bool settled = true; // false: leak_settle_max_s ran out before the pressure was stable
        double windowS = 0;  // seconds measured: the full window when complete
        double dropMmHg = 0; // first minus last pressure of the window
        // The least-squares leak rate, positive when the pressure falls, and
        // the fitted line's value at the window's start; from two readings on.
        std::optional<double> rateMmHgPerMin;
        double fitStartMmHg = 0;
        bool complete = false; // the window ran out (with readings to its end when judged)
        Verdict verdict = Verdict::Incomplete;
        QString reason;                 // why it is incomplete; empty for pass and fail
        int windowReadings = 0;         // readings in the window, outliers included
        QList<PressureSample> outliers; // readings of the window left out of the fit
        QList<PressureSample> samples;  // the whole stretch, pump-up included
    };

    struct StaticPoint
    {
        qint64 ms = 0;
        QString port;
        double referenceMmHg = 0;
        double boardMmHg = 0; // mean of the pressure lines over the static window
        double errorMmHg = 0; // board - reference
        double spreadMmHg = 0;
        int readings = 0;
        Verdict verdict = Verdict::Incomplete;
        QString reason; // why it is incomplete: lost traffic in its readings' time
    };

    // One measurement, leak test or manometer stretch. A long session keeps
    // one per measurement: the small members come first, packed (112 bytes
    // on a 64-bit build; the strings share their text, the port's with the
    // engine's).
    struct Stretch
    {
        StretchKind kind = StretchKind::Measurement;
        PatientMode patient = PatientMode::Adult; // at the stretch's start
        Verdict verdict = Verdict::Pass;
        QString port;
        qint64 startMs = 0;
        qint64 endMs = 0;
        int maxMmHg = 0;
        qint64 maxMs = 0;
        double limitMmHg = 0;             // as the settings give it
        std::optional<qint64> exceededMs; // first pressure above the limit
        QString reason;                   // why it is incomplete (a gap in its traffic)
    };

    // The time a measurement stretch held the cuff above the threshold of
    // its patient mode (15 mmHg adult, 5 mmHg neonate), added up over the
    // stretch, against the longest inflation time of that mode. Leak-test and
    // manometer stretches hold pressure on purpose and have none.
    // One per measurement, packed as Stretch (112 bytes).
    struct Inflation
    {
        StretchKind kind = StretchKind::Measurement; // always
        PatientMode patient = PatientMode::Adult;
        Verdict verdict = Verdict::Pass;
        QString port;
        qint64 startMs = 0;
        qint64 endMs = 0;
        double thresholdMmHg = 0;
        double seconds = 0;               // above the threshold
        double limitS = 0;                // as the settings give it
        std::optional<qint64> exceededMs; // the first entry after the limit was passed
        QString reason;                   // why it is incomplete (a gap in its traffic)
    };

    // A result line or a "999"; a long session keeps every one (96 bytes on
    // a 64-bit build, with an empty curve).
    struct Measurement
    {
        qint64 ms = 0;
        QString port;
        bool ended999 = false;
        std::optional<int> systolic, diastolic, mean, pulse;
        // The cuff pressure from its start. A long session keeps the curves of
        // its first and its latest measurements only (ChecksEngine says how
        // many); hasCurve tells a measurement whose curve was kept.
        bool hasCurve = false;
        QList<PressureSample> samples;
    };

    struct Statistic
    {
        int n = 0;
        double mean = 0;
        std::optional<double> sd; // sample standard deviation (n - 1); none below 2 values
        double min = 0;
        double max = 0;
        std::optional<double> reference;
        std::optional<double> meanError;
        Verdict verdict = Verdict::None; // None without a reference, and for the pulse
    };

    struct Measurements
    {
        int count = 0;    // result lines
        int ended999 = 0; // measurements that ended with "999"
        Statistic systolic, diastolic, mean, pulse;
        QList<Measurement> list;
        Verdict verdict = Verdict::None;
        QString reason; // why it is incomplete: "3 of 5 results", a gap
    };

    // The test plan a run followed; none for a free check.
    struct Plan
    {
        QString name;          // "Standard NIBP bench check"
        QString version;       // "1.0"
        QString sha256;        // of the plan file's bytes, lower-case hex
        QString patient;       // "adult", "neonate"
        QStringList limitKeys; // the [checks] keys the plan fixed, in its order
    };

    // One planned static point and what was recorded for it.
    struct PlannedPoint
    {
        double plannedMmHg = 0;
        std::optional<StaticPoint> recorded; // none: no reading taken for it
        Verdict verdict = Verdict::Incomplete;
    };

    // One step of the plan: what it asked for, what was found in the trace
    // time it ran, and its verdict. Only the part of its kind is filled.
    struct PlanStep
    {
        QString step;       // "leak", "static", "series"
        QString ending;     // "done", "cancelled", "the board did not answer", "not run"
        qint64 startMs = 0; // both 0 when it did not run
        qint64 endMs = 0;
        Verdict verdict = Verdict::Incomplete;
        QString reason; // why it failed or is incomplete; several joined by "; "
        // leak: the planned hold and the last leak test of the step
        double holdMinMmHg = 0;
        double holdMaxMmHg = 0;
        std::optional<LeakTest> leakTest;
        // static: each planned point in the plan's order
        QList<PlannedPoint> points;
        // series: the set point, the results asked for and the statistics of
        // the results in the step (judged on `count` results at least)
        std::optional<SetPoint> setPoint;
        int count = 0;
        double pauseS = 0;
        std::optional<Measurements> series;
    };

    Session session;
    CheckLimits limits;
    std::optional<SetPoint> setPoint;
    QList<LeakTest> leakTests;
    QList<StaticPoint> staticPoints; // sorted by reference
    QList<Stretch> overPressure;
    QList<Inflation> inflation; // measurement stretches only
    Measurements measurements;
    QList<Refusal> refusals; // in time order
    QList<Gap> gaps;         // in time order

    // Under a plan (PlanJudgement): the plan and each of its steps.
    std::optional<Plan> plan;
    QList<PlanStep> steps;

    // Per check and overall, by the rule in verdict.h. Under a plan the
    // overall verdict is the run's (PlanJudgement).
    Verdict leakVerdict = Verdict::None;
    Verdict staticVerdict = Verdict::None;
    Verdict overPressureVerdict = Verdict::None;
    Verdict inflationVerdict = Verdict::None;
    Verdict verdict = Verdict::None;
};

// The records a long session keeps by the hundred thousand hold no pointer
// into themselves, so QList moves them as bytes: a list that grows is
// reallocated (a large one remapped) instead of copied record by record,
// and the room it keeps for growth costs no memory until it is used.
Q_DECLARE_TYPEINFO(CheckReport::Measurement, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(CheckReport::Stretch, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(CheckReport::Inflation, Q_RELOCATABLE_TYPE);
