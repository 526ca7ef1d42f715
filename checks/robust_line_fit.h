// SPDX-License-Identifier: MIT
// The leak rate's line through the readings of a leak test's window, robust
// to stray lines: a first line from the median of the slopes between readings
// half the window apart, then least squares over the readings within the
// bound of it, repeated until the readings left out stay the same. The bound
// is the larger of kSpreads robust standard deviations (1.4826 times the
// median absolute residual) and kLeastBoundMmHg. Readings above the line by
// more than the bound twice in a row are a rise (the pump ran).
#pragma once

#include "check_report.h"
#include "leak_fit.h"

#include <QList>

#include <optional>

class RobustLineFit
{
public:
    static constexpr double kSpreads = 3;
    static constexpr double kLeastBoundMmHg = 2;

    struct Result
    {
        LeakFit::Line line;   // seconds from the origin
        double boundMmHg = 0; // readings further from the line are left out
        QList<int> leftOut;   // their indexes, in order
        bool rose = false;    // two readings in a row above the bound
    };

    // From two readings at different times on; times in seconds from `originMs`.
    static std::optional<Result> of(const QList<PressureSample> &readings, qint64 originMs);
};
