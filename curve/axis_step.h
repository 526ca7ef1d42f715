// SPDX-License-Identifier: MIT
// The steps of a chart's axis, for the curve tool's picture and the report's
// charts alike: a step of 1, 2 or 5 times a power of ten, and a range's ends
// moved out to whole steps. Values a hair off a whole step by rounding (a
// billionth of the step: 1.2 s over steps of 0.2 s) count as on it, so an
// axis never gains an empty step or a step of the next size by rounding.
#pragma once

class AxisStep
{
public:
    // The smallest step of 1, 2 or 5 times a power of ten that covers `range`
    // in at most `ticks` steps (at least one); a range of 0 or below is
    // taken as a tiny one.
    static double nice(double range, int ticks);
    // `value` down or up to a whole number of steps.
    static double down(double value, double step);
    static double up(double value, double step);

private:
    static constexpr double kTolerance = 1e-9;
};
