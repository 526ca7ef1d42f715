// SPDX-License-Identifier: MIT
// tarnvik-run's run of one plan on a started bench core: the plan runner on
// the core, saving through RunFiles into the folder of -o (and, with the
// saver main gives, storing the run in the archive after that); what the runner
// tells goes to standard error (the step begun, where it stands, the
// prompts), the gauge's readings come from ReadingInput when asked for, and
// at the end each step's verdict and the run's, and the files written, go to
// standard output, one line each. done() gives the exit status:
//   0 pass, 1 fail, 3 incomplete or stopped by a signal,
//   4 the board did not answer (whatever was judged before),
//   2 the files could not be written or the run not stored in the archive
//     (no verdict is given then).
#pragma once

#include "plan_runner.h"

#include <QObject>
#include <QString>

class BenchCore;
class ReadingInput;
class RunOptions;

class HeadlessRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPass = 0;
    static constexpr int kFail = 1;
    static constexpr int kNotSaved = 2;
    static constexpr int kIncomplete = 3;
    static constexpr int kBoardSilent = 4;

    // Writes the run's files into the folder (RunFiles).
    static PlanRunner::Files saveFiles(const QString &folder, const CheckReport &report,
                                       const QByteArray &trace, const QDateTime &startedUtc);

    // `readings` may be null for a plan without a static step; both must
    // outlive the run. `saver` saves the run (saveFiles when none is given).
    HeadlessRun(BenchCore &core, const RunOptions &options, ReadingInput *readings,
                PlanRunner::Saver saver = PlanRunner::Saver(), QObject *parent = nullptr);

    bool start(const TestPlan &plan, Failure *why);
    // A stop signal: Break, the run ends and is saved; exit 3.
    void stop(const QString &signal);

    // The exit status of an outcome.
    static int exitStatus(const PlanRunner::Outcome &outcome, bool stopped);

signals:
    void done(int exitStatus);

private:
    void stepStarted(int step);
    void progressed(const PlanRunner::Progress &progress);
    void prompted(int step, const QString &text);
    void readingAsked(int step, int point, double pointMmHg);
    void lineRead(const QString &line);
    void finished(const PlanRunner::Outcome &outcome);
    static void printSteps(const PlanRunner::Outcome &outcome);

    PlanRunner m_runner;
    ReadingInput *m_readings;
    PlanRunner::Setup m_setup;
    QString m_doing; // the progress last told
    bool m_stopped = false;
};
