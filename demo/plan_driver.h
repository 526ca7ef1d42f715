// SPDX-License-Identifier: MIT
// Runs the built-in test plan "Standard NIBP bench check" on the simulated
// board through the plan runner on the bench core, as the window runs a plan,
// and plays the operator at it: on "Bring the pressure to 150 mmHg and hold
// it" the bench brings the cuff line there (SimulatedBoard::holdAt); on
// "Type the gauge's reading" it types what a reference gauge on the line
// shows (SimulatedBoard::referenceReading), a moment later, as a person
// would. Before the run it sets the board up to pass: a leak test that holds
// 250 mmHg, leaks 4 mmHg a minute and cools by a few mmHg after pump-up, a
// manometer that reads 0.4 % high (1 mmHg at 250, none at 0), and results
// around 120/80. The runner
// saves the run's PDF, JSON and trace into the `plan` folder of the output
// folder, named after the board and the run's start (and, with the saver the
// demo gives, stores the run in its archive); the driver prints what
// the runner asks and tells, each step's verdict and the run's. A stage of
// the demo (DemoStage): exitCode() is 0 when the run was saved and passed, 1
// otherwise (the reason is printed). A run still going when the time is up
// is cancelled (Break) and saved as incomplete.
#pragma once

#include "demo_stage.h"
#include "plan_runner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

class BenchCore;
class SimulatedBoard;

class PlanDriver : public DemoStage
{
    Q_OBJECT

public:
    static constexpr const char *kFolder = "plan";
    static constexpr const char *kBoard = "DEMO-0001";
    static constexpr double kLeakRate = 4.0;  // mmHg a minute
    static constexpr int kLeakHold = 250;     // mmHg, within the plan's 240..260
    static constexpr double kOvershoot = 3.0; // mmHg the cuff cools after pump-up
    static constexpr double kGaugeGain = 1.004;

    // `saver` saves the run (the plain files, PlanPage's, when none is given).
    PlanDriver(BenchCore &core, SimulatedBoard &board, const QDir &output, int timeoutMs,
               PlanRunner::Saver saver = PlanRunner::Saver(), QObject *parent = nullptr);

    // Sets the board up and starts the plan a moment later; the panel must be idle.
    void start() override;
    int exitCode() const override { return m_exitCode; }

private:
    void configureBoard();
    void begin();
    void stepStarted(int step);
    void progressed(const PlanRunner::Progress &progress);
    void prompted(int step, const QString &text);
    void readingAsked(int step, int point, double pointMmHg);
    void ended(const PlanRunner::Outcome &outcome);
    void printSteps(const PlanRunner::Outcome &outcome);
    void finish(int exitCode, const QString &message);

    BenchCore &m_core;
    SimulatedBoard &m_board;
    QDir m_output;
    int m_timeoutMs;
    PlanRunner m_runner;
    QTimer m_deadline;
    QElapsedTimer m_clock;
    QString m_doing; // the progress last told
    bool m_done = false;
    int m_exitCode = 1;
};
