// SPDX-License-Identifier: MIT
// A simulated NIBP board: command texts in, reply lines out. It takes the
// bytes the program writes (receive), cuts them into command frames, acts on
// every known command and answers with reply lines (lineSent: STX, payload,
// CR), paced by a QTimer on the Qt event loop. BoardTerminal carries the bytes
// between the board and a pseudo-terminal; tests may also call receive() and
// step() directly and run without a clock.
//
// The model, in board time (one step is kTickMs = 250 ms; timeScale divides
// the wall-clock interval, the board's behaviour per step never changes):
// - A frame is acted on only when its text is "X" or a coded text with a
//   right checksum and a known code; anything else is ignored (and recorded).
// - START ("01;;D7") in idle pumps the cuff up to the pump-up value (adult:
//   the selected 100..180 mmHg; neonate: 40 mmHg less), pumping on by
//   kReinflate if that is not clearly above the patient's systolic pressure,
//   then deflates in steps, and ends by dumping the cuff and sending a result
//   line. A pressure line goes out at every step. A share of measurements
//   (failureRate) fails part-way: the board sends the end value "999", opens
//   its valves and stays silent until asked.
// - Manometer ("14;;DB") streams the pressure that the bench applies
//   (ManometerBench): a slow ramp between 0 and kManometerTop, a list of
//   holds worked through by the clock, or the pressure the operator was asked
//   for (holdAt), as when checking the board against a reference gauge. The
//   board reads the applied pressure with a gauge error (gain and offset) in
//   this mode only. Leak Test ("17;;DE") pumps to a hold pressure (by patient
//   or set), lets the cuff cool (a set overshoot that decays) and lets it
//   leak away slowly (a drawn or a set rate). Both run until "X".
// - "X" stops whatever runs; the board vents the cuff with pressure lines
//   down to "000" and falls silent.
// - "18;;DF" answers at once with a status line, which the program reads as
//   a pressure line: "PPP M P UUU CC" (pressure, mode I/M/N/L, patient A/N,
//   pump-up value, cycle minutes with 00 for manual).
// - A cycle time other than manual starts a measurement every cycle period,
//   counted from the command; a start that falls due while the board is busy
//   is skipped.
// - Faults and set points for bench checks, all off by default: results
//   spread around a set point instead of drawn patients, a measurement that
//   pumps on past the patient limit to a given peak, a deflation that stalls
//   so the cuff stays inflated a given time, and a board that falls silent
//   (takes no frame, sends no line) as one that has hung.
// Random values (results, failures, leak rate) come from a seeded generator,
// so a seed and the same commands give the same lines. The spread around a
// set point comes from a second generator with the same seed, so setting one
// changes no other draw.
#pragma once

#include "frame_reader.h"
#include "manometer_bench.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cmath>
#include <optional>

class SimulatedBoard : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Idle, Measuring, Manometer, LeakTest };
    enum class Patient { Adult, Neonate };

    // A frame as the board took it, with the port number its link gave.
    struct Command
    {
        QString text;
        int port = 0;
        bool operator==(const Command &other) const
        {
            return text == other.text && port == other.port;
        }
    };

    struct Result
    {
        int systolic = 0;
        int diastolic = 0;
        int mean = 0;
        int pulse = 0;
    };

    // Results around a set point: each value is the set point plus a normal
    // deviate with standard deviation `spread` (0: exactly the set point).
    // pulse 0 keeps the drawn patient's pulse. The mean pressure follows from
    // systolic and diastolic as for any result.
    struct SetPoint
    {
        int systolic = 120;
        int diastolic = 80;
        int pulse = 0;
        double spread = 0.0;
    };

    // A manometer hold: a pressure the bench holds for so many seconds.
    struct ManometerHold
    {
        double pressure = 0.0;
        double seconds = 10.0;
    };

    static constexpr quint32 kDefaultSeed = 1;
    static constexpr int kTickMs = 250;
    static constexpr int kTicksPerMinute = 60000 / kTickMs;
    // The highest pressure a line shows; "999" is kept for the end value.
    static constexpr int kMaxLinePressure = 998;
    static constexpr int kInflatePerTick = 10;
    static constexpr int kStepTicks = 4;
    static constexpr int kAdultStep = 8;
    static constexpr int kNeonateStep = 5;
    static constexpr int kDumpPerTick = 40;
    static constexpr int kVentPerTick = 40;
    static constexpr int kNeonateOffset = 40;
    static constexpr int kReinflate = 40;
    static constexpr int kAdultPumpLimit = 280;
    static constexpr int kNeonatePumpLimit = 150;
    static constexpr int kManometerTop = ManometerBench::kTop;
    static constexpr int kManometerStep = ManometerBench::kStep;
    static constexpr int kAdultLeakPressure = 200;
    static constexpr int kNeonateLeakPressure = 120;
    static constexpr int kMaxResult = 298;
    static constexpr double kDefaultOvershootSeconds = 2.5;
    // A measurement's cuff counts as inflated while its line is above this.
    static constexpr int kAdultInflatedAbove = 15;
    static constexpr int kNeonateInflatedAbove = 5;

    explicit SimulatedBoard(QObject *parent = nullptr);

    // Settings. timeScale > 0: 1 is real time, 50 runs fifty times faster
    // (the clock never ticks faster than once a millisecond). The seed
    // restarts the random sequence. failureRate is clamped to 0..1.
    void setTimeScale(double scale);
    double timeScale() const { return m_timeScale; }
    void setSeed(quint32 seed);
    quint32 seed() const { return m_seed; }
    void setFailureRate(double rate);
    double failureRate() const { return m_failureRate; }

    // Bench-check settings, taken in any mode: the leak settings, the set
    // point and the deflation stall from the next leak test or measurement
    // on, the over-pressure peak from the next time a measurement would stop
    // pumping, the manometer holds, the operator's request and the gauge error
    // at once. An invalid value leaves a setting unchanged.
    // Leak rate in mmHg a minute, >= 0; nullopt draws 2..10 per leak test.
    void setLeakRate(std::optional<double> mmHgPerMinute);
    std::optional<double> leakRate() const { return m_leakRate; }
    // The pressure the leak test pumps to and holds, 1..kMaxLinePressure, for
    // either patient; nullopt: kAdultLeakPressure or kNeonateLeakPressure.
    void setLeakHold(std::optional<int> pressure);
    std::optional<int> leakHold() const { return m_leakHold; }
    // The cuff cools after pump-up: from the hold pressure (the peak) it
    // loses a further mmHg on top of the leak, decaying exponentially with
    // the time constant `seconds` (2.5 s: nearly all of it within 10 s).
    // 0 mmHg: no cooling. mmHg 0..100, seconds above 0.
    void setLeakOvershoot(double mmHg, double seconds = kDefaultOvershootSeconds);
    double leakOvershoot() const { return m_overshoot; }
    double leakOvershootSeconds() const { return m_overshootSeconds; }
    // Pressures to hold in manometer mode, in order, each for its own time of
    // board time (whole steps, at least one); after the last the bench lets
    // the cuff down to 0 and starts over. Pressures are clamped to
    // 0..kMaxLinePressure; an empty list restores the plain ramp.
    void setManometerHolds(const QList<ManometerHold> &holds);
    void setManometerHolds(const QList<double> &pressures, double holdSeconds);
    QList<ManometerHold> manometerHolds() const;
    // The operator brings the cuff line to `pressure` (at the ramp's speed)
    // and holds it there until the next request or releaseHold(); it takes
    // the place of the list and the ramp in manometer mode, from now or from
    // the next Manometer command. The same pressure again changes nothing.
    void holdAt(double pressure);
    void releaseHold();
    std::optional<double> requestedHold() const { return m_bench.requested(); }
    // The board's reading in manometer mode: gain * applied + offset. Both
    // must be finite and the gain above 0, or the setting stays unchanged.
    void setGaugeError(double gain, double offset);
    double gaugeGain() const { return m_gaugeGain; }
    double gaugeOffset() const { return m_gaugeOffset; }
    // Results around a set point; nullopt draws patients. Values are kept
    // within 1..kMaxResult with systolic above diastolic; a set point outside
    // that, or with a negative or not finite spread, is not taken.
    void setSetPoint(std::optional<SetPoint> setPoint);
    std::optional<SetPoint> setPoint() const { return m_setPoint; }
    // Over-pressure fault: every measurement pumps on to this peak before it
    // deflates (if it is not there already). 1..kMaxLinePressure; nullopt off.
    void setOverPressurePeak(std::optional<int> peak);
    std::optional<int> overPressurePeak() const { return m_overPressurePeak; }
    // Stalled deflation: every measurement holds its cuff just above the
    // inflated pressure (kAdultInflatedAbove, kNeonateInflatedAbove) until it
    // has been inflated for `seconds` of board time (whole steps), then goes
    // on and ends with its result. See inflatedSeconds(). A measurement that
    // is inflated longer by itself is not shortened. nullopt: no fault;
    // otherwise above 0 and at most 86400.
    void setDeflationStall(std::optional<double> seconds);
    std::optional<double> deflationStall() const { return m_stall; }

    // A silent board acts as one that has hung: it takes no frame (each is
    // recorded as ignored), sends no line and stands still (mode and
    // pressure) until it answers again, going on from where it stood. Its
    // step count goes on, as the clock of a trace may use it.
    void setSilent(bool silent);
    // Falls silent once `seconds` of board time (whole steps) have passed;
    // the lines of those steps still go out. 0: at once.
    void fallSilentAfter(double seconds);
    bool isSilent() const { return m_silent; }

    // The clock: start() runs step() every kTickMs / timeScale ms.
    void start();
    void stop();
    bool isRunning() const { return m_clock.isActive(); }
    // Advances the board by one step (kTickMs of board time) or by several.
    void step();
    void advance(int steps);

    // Bytes from the program, from the link on the given port number.
    void receive(const QByteArray &bytes, int port = 0);

    // The board's state.
    Mode mode() const { return m_mode; }
    // The pressure the board reports, as in its lines (0..kMaxLinePressure).
    int pressure() const;
    // The pressure in the cuff, what a reference gauge on the line reads.
    double appliedPressure() const { return m_pressure; }
    // What the operator reads on the reference gauge and types: the applied
    // pressure to 0.1 mmHg.
    double referenceReading() const { return std::round(m_pressure * 10.0) / 10.0; }
    // Manometer holds: the hold of the list the bench is heading for or
    // standing at (index into manometerHolds(); -1 while the operator's
    // request holds, without a list, or while the cuff is let down after the
    // last), whether the pressure stands at that hold or at the request now,
    // and for how many steps it has. -1, false and 0 out of manometer mode.
    int holdIndex() const;
    bool isHoldSteady() const;
    int heldSteps() const { return isHoldSteady() ? m_bench.heldSteps() : 0; }
    // The time the current or last measurement's cuff has been inflated, in
    // board time: from its first line above the inflated pressure to its
    // first line (or "999") at or below it after that; so far while above.
    double inflatedSeconds() const { return m_linesAbove * kTickMs / 1000.0; }
    // The leak rate of the current or last leak test, mmHg a minute.
    double leakTestRate() const { return m_leakPerStep * kTicksPerMinute; }
    Patient patient() const { return m_patient; }
    int pumpUpSetting() const { return m_pumpUpSetting; }
    int cycleMinutes() const { return m_cycleMinutes; }
    int measurementsStarted() const { return m_measurementsStarted; }
    std::optional<Result> lastResult() const { return m_lastResult; }
    bool lastMeasurementFailed() const { return m_lastFailed; }
    qint64 elapsedSteps() const { return m_steps; }

    // The record: frames acted on and frames ignored, in order of arrival,
    // and the payloads of the lines sent (without STX and CR), in order.
    QList<Command> commands() const { return m_commands; }
    QStringList commandTexts() const;
    QList<Command> ignoredFrames() const { return m_ignored; }
    QStringList sentLines() const { return m_sentLines; }
    void clearRecord();

    // The wire form of a payload: STX, payload, CR.
    static QByteArray wireLine(const QString &payload);

signals:
    void commandReceived(const QString &text, int port);
    void frameIgnored(const QString &text, int port);
    // A reply line went out; bytes are STX, payload and CR.
    void lineSent(const QByteArray &bytes);
    void measurementFinished(bool failed);
    // In manometer mode the pressure reached a hold and stands there: index
    // into manometerHolds(), or -1 for the operator's request (holdAt).
    void holdReached(int index, double appliedPressure);

private:
    enum class Phase { Inflating, Deflating, Dumping, Holding };

    void act(const QString &text, int port);
    void beginMeasurement();
    void beginLeakTest();
    void stepMeasurement();
    void stepManometer();
    void stepLeakTest();
    void stepIdle();
    void finishMeasurement();
    void failMeasurement();
    int pumpLimit() const;
    Result drawPatient();
    Result aroundSetPoint(const Result &patient);
    double normalDeviate();
    bool stallsDeflation() const;
    double nextMeasurementPressure() const;
    void noteInflation();
    int lineFor(double pressure) const;
    void sendPressureLine();
    void sendStatusLine();
    void send(const QString &payload);

    QTimer m_clock;
    QRandomGenerator m_random;
    QRandomGenerator m_spreadRandom;
    QHash<int, FrameReader> m_readers;
    double m_timeScale = 1.0;
    quint32 m_seed = kDefaultSeed;
    double m_failureRate = 0.1;
    std::optional<double> m_leakRate;
    std::optional<int> m_leakHold;
    double m_overshoot = 0.0;
    double m_overshootSeconds = kDefaultOvershootSeconds;
    ManometerBench m_bench{kMaxLinePressure};
    double m_gaugeGain = 1.0;
    double m_gaugeOffset = 0.0;
    std::optional<SetPoint> m_setPoint;
    std::optional<int> m_overPressurePeak;
    std::optional<double> m_stall;
    bool m_silent = false;
    qint64 m_silentAtStep = -1;

    Mode m_mode = Mode::Idle;
    Phase m_phase = Phase::Inflating;
    Patient m_patient = Patient::Adult;
    double m_pressure = 0.0;
    int m_pumpUpSetting = 160;
    int m_cycleMinutes = 0;
    qint64 m_steps = 0;
    qint64 m_nextCycleStep = -1;

    // The measurement or leak test under way.
    int m_target = 0;
    int m_holdSteps = 0;
    int m_deflationSteps = 0;
    bool m_willFail = false;
    int m_failAfterSteps = 0;
    Result m_pending;
    double m_leakPerStep = 0.0;
    double m_coolingLeft = 0.0; // mmHg the cuff will still lose by cooling
    int m_stallSteps = 0;       // 0: no stall in this measurement
    int m_inflatedAbove = kAdultInflatedAbove;
    int m_linesAbove = 0;
    bool m_deflated = false; // a line at or below m_inflatedAbove came after

    int m_measurementsStarted = 0;
    std::optional<Result> m_lastResult;
    bool m_lastFailed = false;

    QList<Command> m_commands;
    QList<Command> m_ignored;
    QStringList m_sentLines;
};
