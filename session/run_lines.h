// SPDX-License-Identifier: MIT
// A finished plan run in the lines tarnvik-run prints and the demo shows:
// one per step with its verdict and what it found (or why it did not pass),
// one for the run, one per file saved:
//   leak    PASS        hold 250 mmHg, leak 2.1 mmHg/min
//   static  PASS        6 of 6 points, largest error 0.8 mmHg
//   run     PASS
//   saved   /srv/reports/SN-0412-20261207T130509Z.pdf
#pragma once

#include "plan_runner.h"

#include <QStringList>

class RunLines
{
public:
    static QStringList of(const PlanRunner::Outcome &outcome);
    // What a step found, for a step that gives no reason.
    static QString found(const CheckReport::PlanStep &step);
};
