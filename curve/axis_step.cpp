// SPDX-License-Identifier: MIT
#include "axis_step.h"

#include <algorithm>
#include <cmath>

double AxisStep::nice(double range, int ticks)
{
    const double raw = std::max(range, kTolerance) / std::max(1, ticks);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw * (1 - kTolerance))
            return m * power;
    }
    return 10.0 * power;
}

double AxisStep::down(double value, double step)
{
    return std::floor(value / step + kTolerance) * step;
}

double AxisStep::up(double value, double step)
{
    return std::ceil(value / step - kTolerance) * step;
}
