// SPDX-License-Identifier: MIT
// The least-squares line through the readings of a leak test's window,
// kept as running sums so that each reading costs the same however long the
// window is.
#pragma once

#include <optional>

class LeakFit
{
public:
    struct Line
    {
        double offset;         // the pressure at second 0
        double slopePerSecond; // mmHg per second, negative when the pressure falls
    };

    void add(double seconds, double mmHg);
    // From two readings at different times on.
    std::optional<Line> line() const;

private:
    double m_n = 0;
    double m_t = 0;
    double m_p = 0;
    double m_tt = 0;
    double m_tp = 0;
};
