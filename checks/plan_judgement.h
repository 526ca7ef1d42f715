// SPDX-License-Identifier: MIT
// The verdict of a run under a test plan, from the plan, the CheckReport of
// the run (ChecksEngine::report()) and what the runner recorded of each step:
// the span of trace time it ran, how it ended and, for a static step, which
// recorded reference belongs to which planned point. Pure functions; the
// runner (session/) fills StepRun and calls judge() once the run is over,
// and the report's rendering reads CheckReport::plan, steps and verdict.
//
// Each step is judged on what the engine found in its span:
//   - leak: the last leak test that began in it, with its verdict; once the
//     pressure has settled, its hold within hold_min..hold_max (both
//     included), else a fail ("hold 200 mmHg outside 240..260");
//   - static: each planned point's recorded reading, every one passed; one
//     with no reading is incomplete;
//   - series: the results in the span against the step's set point, judged
//     with `count` as the fewest results ("3 of 5 results" is incomplete);
// a stretch in the span in another patient mode than the plan's makes the
// step incomplete (its limits were not the plan's); a step cancelled, ended
// by a silent board or never reached is incomplete unless it already failed.
// The run passes only when every step passed and the safety checks
// (over-pressure, inflation time, over the whole run) held; any fail fails
// it; anything else leaves it incomplete.
#pragma once

#include "check_report.h"
#include "test_plan.h"

#include <QList>

#include <optional>

class PlanJudgement
{
public:
    // How a step ended, as the runner saw it.
    enum class Ending {
        Done,        // it ran to its end
        Cancelled,   // the operator (or a signal) cancelled the run in it
        BoardSilent, // the board did not answer a command within its time
    };

    // What the runner records of one step, in the plan's order.
    struct StepRun
    {
        qint64 startMs = 0; // trace time the step began (its first frame)
        qint64 endMs = 0;   // trace time it ended (its Break, its last result)
        Ending ending = Ending::Done;
        // Static step: for each planned point, in the plan's order, the trace
        // time of the reference event the engine recorded for it (the ms of
        // ChecksEngine::pointRecorded's point); none when none was recorded.
        QList<std::optional<qint64>> pointMs;
    };

    // Judges the run: fills report.plan and report.steps (one for each step
    // of the plan; a step past the end of `runs` was not run) and sets
    // report.verdict to the run's verdict.
    static void judge(const TestPlan &plan, const QList<StepRun> &runs, CheckReport &report);
    // "done", "cancelled", "the board did not answer"
    static QString endingName(Ending ending);

private:
    static CheckReport::PlanStep planned(const TestPlan::Step &step);
    static CheckReport::PlanStep judged(const TestPlan &plan, const TestPlan::Step &planned,
                                        const StepRun &run, const CheckReport &report);
    static Verdict leak(CheckReport::PlanStep &step, const StepRun &run, const CheckReport &report,
                        QStringList &why);
    static Verdict points(CheckReport::PlanStep &step, const StepRun &run,
                          const CheckReport &report, QStringList &why);
    static Verdict series(CheckReport::PlanStep &step, const StepRun &run,
                          const CheckReport &report, QStringList &why);
    static Verdict patientKept(const TestPlan &plan, const StepRun &run, const CheckReport &report,
                               QStringList &why);
};
