// SPDX-License-Identifier: MIT
// Runs a test plan on a started bench core, step by step, the same for the
// window and for tarnvik-run: a state machine that reacts to the traffic the
// core's recorder hands out, the panel's measurement ends, the checks
// engine's changes and its own single-shot timers. It never waits in a loop
// of its own: each reaction that sends the board a command is queued, so it
// runs after the handler that told it (and a trace line never overtakes the
// one that caused it).
//
// A run: the board is asked for its status (an answer shows it is there);
// the checks are cleared (a new board), the board ID, operator and
// instrument given, and the checks judge by the plan's effective limits (the
// settings file's with the plan's on top) until the next clear; the run's
// trace (RunTrace) begins; the core is told a plan runs (BenchCore::
// setPlanRunning) until the run has finished. The plan's patient mode is set
// by its own command whatever the board was in, so the run's trace holds it.
// Then each step in the plan's order:
//   - leak: Leak Test; the engine's leak test pumps up, settles and measures
//     until it is done; Break;
//   - static: Manometer; for each point in order the prompt "Bring the
//     pressure to 150 mmHg and hold it" until the board reads steady near it
//     (HoldWatch), then "Type the gauge's reading" (readingAsked) until
//     giveReading() hands one over; it is recorded through the core, and a
//     reading the core or the engine refuses, or one far from the point, is
//     asked for again; after the last point, Break. A point the board does
//     not read steady near within HoldWatch::kLimitS of its prompt is given
//     up: Break, and the step ends without the points left ("the pressure
//     did not come near 150 mmHg within 120 s"), incomplete;
//   - series: START for each measurement, its result or "999" awaited, the
//     pause, the next.
// After Break the runner waits until the board has vented (a pressure line
// of 0) when its pressure was above 0. A step cannot be skipped.
//
// Bounds: a command that needs an answer (status, Leak Test, Manometer,
// START, a Break with the cuff up) and every line of a mode that streams
// lines must be followed by a line within kAnswerMs, or the run ends: "the
// board did not answer" (End::BoardSilent). A leak test not done within its
// longest settling and window plus kLeakMarginS, or a measurement without a
// result after the patient mode's longest inflation time plus
// kMeasurementMarginS (trace time, so a simulated board's own clock counts),
// is broken off and the run goes on. A frame the runner did not send (a
// Break from the window, a start the operator made) ends the run as
// cancelled; the status request the panel makes after "999" is no such frame.
// A port that closes (its device lost, another port chosen) ends it as a
// board that did not answer.
//
// The end: Break at once when the run was cancelled or the board fell
// silent; PlanJudgement judges the report with each step's span and ending;
// the saver writes the PDF, JSON and trace into the reports folder; only
// then does finished() announce the outcome: the verdict with the files, or
// the cause they could not be written, which leaves the run without a verdict.
#pragma once

#include "board_request.h"
#include "check_report.h"
#include "checks_engine.h"
#include "failure.h"
#include "hold_watch.h"
#include "plan_judgement.h"
#include "test_plan.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class BenchCore;
class BoardReply;
class RunTrace;
struct MeasurementEnd;
struct TrafficEntry;

class PlanRunner : public QObject
{
    Q_OBJECT

public:
    // How long the board may stay silent when it is to answer.
    static constexpr int kAnswerMs = 5000;
    // Added to the longest a leak test or a measurement may take.
    static constexpr double kLeakMarginS = 120;
    static constexpr double kMeasurementMarginS = 30;

    // What the run needs beside the plan.
    struct Setup
    {
        QString board; // the board's ID; a run needs one
        QString operatorName;
        QString instrument;    // the reference instrument
        QString reportsFolder; // an existing folder the files go into
    };

    // How the run ended.
    enum class End {
        Completed,  // every step ran to its end
        Cancelled,  // cancel(), a frame from outside the run, no reading to be had
        BoardSilent // the board did not answer, a command could not be sent, the port closed
    };
    Q_ENUM(End)

    // Where the files went; `failure` says why they could not be written.
    struct Files
    {
        QString pdf;
        QString json;
        QString trace;
        Failure failure;
    };
    // Writes a finished run's files into `folder`, named after the board and
    // the run's start (RunFiles::save in report/ is one).
    using Saver = std::function<Files(const QString &folder, const CheckReport &report,
                                      const QByteArray &trace, const QDateTime &startedUtc)>;

    // Where the running step stands.
    struct Progress
    {
        int step = -1;
        double fraction = 0;               // of the step, 0..1
        std::optional<double> secondsLeft; // of the step, in trace time; none when unknown
        QString doing;                     // "settling", "150 mmHg (3 of 6)", ...
    };

    struct Outcome
    {
        End end = End::Completed;
        QString reason;     // why it ended early; empty when completed
        CheckReport report; // judged under the plan: report.verdict is the run's
        Files files;
        bool saved() const { return !files.failure.failed(); }
        // The run's verdict, once its files are written; none otherwise.
        std::optional<Verdict> verdict() const;
        // "not saved: <cause>"; empty when saved.
        QString notSaved() const;
    };

    // `core` must be started and outlive the runner.
    PlanRunner(BenchCore &core, Saver saver, QObject *parent = nullptr);
    ~PlanRunner() override;

    // Why a run cannot start now, or none: one runs already, no port is
    // open, the board is busy, no board ID, the reports folder is no folder.
    Failure refusal(const Setup &setup) const;
    // Starts a run; false, with the refusal in `why`, when it cannot.
    bool start(const TestPlan &plan, const Setup &setup, Failure *why = nullptr);
    // The gauge's reading for the point asked for. False, with
    // readingRefused (and readingAsked again when one is still asked for),
    // when none is asked for or it is not taken.
    bool giveReading(double mmHg);
    // Sends Break at once and ends the run; `why` is the outcome's reason.
    void cancel(const QString &why = QString());

    bool isRunning() const;
    // The plan of the run under way or of the last one.
    const std::optional<TestPlan> &plan() const { return m_plan; }
    // The running step's index into plan()->steps(); -1 when none runs.
    int step() const;
    // The point whose reading is asked for now.
    std::optional<double> pointAsked() const;
    // Step `step` as judged on what the run has found so far: its verdict
    // once it has ended (stepEnded). Of the run under way or the last one.
    CheckReport::PlanStep judgedStep(int step) const;

    // For a simulated board whose clock runs `scale` times faster, with the
    // recorder on its clock: the pauses between measurements shrink with it.
    void setTimeScale(double scale);

    // "Leak test, hold 240..260 mmHg", "Static pressure at 250, 200 and 0
    // mmHg", "5 measurements at 120/80/93 mmHg, 3 s apart".
    static QString stepTitle(const TestPlan::Step &step);
    // "Bring the pressure to 150 mmHg and hold it"
    static QString holdPrompt(double pointMmHg);
    static constexpr const char *kReadingPrompt = "Type the gauge's reading";

signals:
    // A run has begun: plan() holds it and its steps.
    void started();
    void stepStarted(int step);
    void progressed(const PlanRunner::Progress &progress);
    // What the operator is to do now.
    void prompted(int step, const QString &text);
    // The gauge's reading is wanted for point `point` of the step.
    void readingAsked(int step, int point, double pointMmHg);
    void readingRefused(double mmHg, const Failure &why);
    void stepEnded(int step, PlanJudgement::Ending ending);
    // The run is over and its files are written, or could not be. Emitted
    // from within the runner: a slot may start the next run, and delete the
    // runner only later (deleteLater).
    void finished(const PlanRunner::Outcome &outcome);

private:
    enum class Phase {
        None,      // no run
        Asking,    // the status request is out
        Leak,      // the leak test runs
        Holding,   // static: waiting for the board steady near the point
        Reading,   // static: the gauge's reading is asked for
        Measuring, // series: a measurement runs
        Pausing,   // series: between two measurements
        Venting,   // after Break, until the board reads 0
        Busy       // a reaction is queued
    };
    enum class Command { Patient, LeakTest, Manometer, Start, Break };
    enum class AfterVent { EndStep, NextMeasurement };

    const TestPlan::Step &currentStep() const;
    void later(std::function<void()> action);
    bool send(Command command);
    void listen(const QString &command);
    void takeEntry(const TrafficEntry &entry);
    void sentFrame(const TrafficEntry &entry);
    void portEntryChecked(int port, bool checked);
    void endLater(End end, const QString &reason);
    void lineArrived(const BoardReply &reply, qint64 ms);
    void holdingLine(qint64 ms, std::optional<int> mmHg);
    void measuringLine(const BoardReply &reply, qint64 ms);
    bool overdue(double seconds) const;

    void statusAnswered();
    void setPatient();
    void beginStep(int index);
    void endStep(PlanJudgement::Ending ending);
    void breakStep(AfterVent then);
    void vented();

    void beginLeak();
    void checksChanged();
    void tellLeak(const ChecksEngine::LeakState &leak);
    void beginStatic();
    void askHold();
    void askReading();
    bool recordReading(double mmHg, Failure *why);
    void beginMeasurement();
    void measurementEnded(const MeasurementEnd &end);
    void measured();
    void tellSeries();

    void giveUpPoint();
    void end(End end, const QString &reason);
    void finishRun(End end, const QString &reason);
    void judge(CheckReport &report) const;

    BenchCore &m_core;
    Saver m_saver;
    BoardRequest m_request;
    QTimer m_silence; // the board's time to answer
    QTimer m_pause;   // between two measurements
    std::optional<TestPlan> m_plan;
    CheckLimits m_limits; // the run's
    Setup m_setup;
    QDateTime m_startedUtc;
    std::unique_ptr<RunTrace> m_trace;
    std::optional<HoldWatch> m_hold;
    QList<PlanJudgement::StepRun> m_runs;
    QStringList m_stepNotes; // why a step ended short, beside what the judgement finds
    Phase m_phase = Phase::None;
    AfterVent m_afterVent = AfterVent::EndStep;
    quint64 m_generation = 0; // what was queued for an earlier phase of runs does nothing
    int m_step = -1;
    bool m_stepRunning = false;
    int m_point = 0;       // static: the point held
    int m_measurement = 0; // series: measurements done
    QList<double> m_measurementS;
    qint64 m_nowMs = 0;      // trace time of the last entry
    qint64 m_phaseMs = 0;    // trace time of the command the phase began with
    qint64 m_lastSentMs = 0; // of the runner's last frame
    int m_framesSent = 0;    // the runner's frames
    int m_lastPressure = 0;
    bool m_sending = false;
    // While a reading is written: what the engine answered.
    bool m_recording = false;
    std::optional<qint64> m_recordedMs;
    Failure m_refused;
    QString m_waitingFor; // what the silence deadline waits after
    double m_leakTotalS = 0;
    int m_leakShown = -1; // the whole seconds left last told
    double m_timeScale = 1;
};

Q_DECLARE_METATYPE(PlanRunner::Progress)
Q_DECLARE_METATYPE(PlanRunner::Outcome)
