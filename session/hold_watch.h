// SPDX-License-Identifier: MIT
// Whether the board reads a manometer pressure steady near a planned static
// point: the test the plan runner makes before it asks for the gauge's
// reading, so that the reading it then records is one the checks engine
// takes. It sees the same readings the engine keeps for a static point, the
// manometer's pressure lines in trace time:
//   - steady: the pressure has been watched for a whole static window
//     (static_window_s, 2 s by default) at least, and the readings of the
//     last window, two at least, lie within the spread limit
//     (static_spread_mmHg, 2 mmHg) of each other;
//   - near: their mean lies within nearMmHg() of the point: 10 mmHg, or
//     three times the static limit when that is wider, so that a board off
//     by a few mmHg (what the static check is there to find) is asked about
//     and judged, and a pressure on its way to the point is not.
// It is given kLimitS to get there: a board that never reads near the point
// (the bench never brought the pressure, or the board reads more than that
// margin off the gauge) is overdue once more than kLimitS of trace time
// have passed since the watch (re)started, and the runner gives the point up.
#pragma once

#include "check_report.h"

#include <QList>

#include <optional>

class HoldWatch
{
public:
    static constexpr double kNearMmHg = 10;
    // How long the board may take to read steady near the point, in trace time.
    static constexpr int kLimitS = 120;
    // Room for binary rounding when a figure is compared with its limit, as
    // the checks engine compares a spread.
    static constexpr double kSlackMmHg = 1e-9;

    explicit HoldWatch(const CheckLimits &limits);

    // How far from the point the board's mean may lie, by `limits`.
    static double nearMmHg(const CheckLimits &limits);

    // Watching begins (again) at `ms`: what came before is forgotten.
    void restart(qint64 ms);
    // A manometer reading.
    void reading(qint64 ms, int mmHg);

    bool isSteady() const;
    // The mean of the last window's readings; none without readings.
    std::optional<double> mean() const;
    bool isSteadyNear(double pointMmHg) const;
    // More than kLimitS since restart(), by the last reading.
    bool isOverdue() const;

private:
    qint64 m_windowMs;
    double m_spreadMmHg;
    double m_nearMmHg;
    qint64 m_sinceMs = 0;
    qint64 m_lastMs = 0;
    QList<PressureSample> m_window; // the last window's readings
};
