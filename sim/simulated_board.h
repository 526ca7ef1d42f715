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
// - Manometer ("14;;DB") streams the pressure that the bench applies: a slow
//   ramp between 0 and kManometerTop, or, when holds are set, the same ramp
//   speed from one held pressure to the next, each held for a while, as an
//   operator checking the board against a reference gauge does. The board
//   reads the applied pressure with a gauge error (gain and offset) in this
//   mode only. Leak Test ("17;;DE") pumps to a hold pressure and then lets it
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
//   spread around a set point instead of drawn patients, and a measurement
//   that pumps on past the patient limit to a given peak.
// Random values (results, failures, leak rate) come from a seeded generator,
// so a seed and the same commands give the same lines. The spread around a
// set point comes from a second generator with the same seed, so setting one
// changes no other draw.
#pragma once

#include "frame_reader.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTimer>

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
    static constexpr int kManometerTop = 250;
    static constexpr int kManometerStep = 5;
    static constexpr int kAdultLeakPressure = 200;
    static constexpr int kNeonateLeakPressure = 120;
    static constexpr int kMaxResult = 298;

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

    // Bench-check settings, taken in any mode: the leak rate and the set point
    // from the next leak test or measurement on, the over-pressure peak from
    // the next time a measurement would stop pumping, the manometer holds and
    // the gauge error at once.
    // Leak rate in mmHg a minute, >= 0; nullopt draws 2..10 per leak test.
    // An invalid value (negative, not finite) leaves the setting unchanged.
    void setLeakRate(std::optional<double> mmHgPerMinute);
    std::optional<double> leakRate() const { return m_leakRate; }
    // Pressures to hold in manometer mode, in order, each for holdSeconds of
    // board time; after the last the bench lets the cuff down to 0 and starts
    // over. Values are clamped to 0..kMaxLinePressure; an empty list restores
    // the plain ramp. holdSeconds is at least one step.
    void setManometerHolds(const QList<double> &pressures, double holdSeconds);
    QList<double> manometerHolds() const { return m_holds; }
    int manometerHoldSteps() const { return m_manometerHoldSteps; }
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
    // Manometer holds: the hold the bench is heading for or standing at
    // (index into manometerHolds()), whether the pressure stands at it now,
    // and for how many steps it has. -1, false and 0 when not in manometer
    // mode, without holds, or while the cuff is let down after the last.
    int holdIndex() const;
    bool isHoldSteady() const;
    int heldSteps() const { return isHoldSteady() ? m_heldSteps : 0; }
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
    // In manometer mode the pressure reached a hold and stands there.
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
    void stepManometerHolds();
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
    QList<double> m_holds;
    int m_manometerHoldSteps = 4 * 10;
    double m_gaugeGain = 1.0;
    double m_gaugeOffset = 0.0;
    std::optional<SetPoint> m_setPoint;
    std::optional<int> m_overPressurePeak;

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
    bool m_manometerRising = true;
    int m_holdIndex = 0; // manometerHolds().size(): letting down to 0
    int m_heldSteps = 0;

    int m_measurementsStarted = 0;
    std::optional<Result> m_lastResult;
    bool m_lastFailed = false;

    QList<Command> m_commands;
    QList<Command> m_ignored;
    QStringList m_sentLines;
};
