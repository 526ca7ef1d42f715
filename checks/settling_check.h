// SPDX-License-Identifier: MIT
// Whether the pressure of a leak test has settled after its peak: the
// least-squares slope of the readings of the last kBlockS seconds lies within
// a tolerance of the slope of the kBlockS seconds before. The tolerance is the
// larger of kLeastToleranceMmHgPerMin and twice the standard error of the
// difference of the two slopes. That error comes from the readings' scatter
// about their two lines, never taken below the rounding of whole-mmHg
// readings (1/sqrt(12) mmHg): a slope over a few seconds of whole mmHg is
// uncertain by a few mmHg/min, and a bare 1 mmHg/min would never be met.
// LeakRun feeds it the readings from the peak on; it keeps the last two
// blocks only.
#pragma once

#include "check_report.h"

#include <QList>

class SettlingCheck
{
public:
    static constexpr double kBlockS = 10;
    static constexpr double kLeastToleranceMmHgPerMin = 1;
    // Readings a block needs for a slope.
    static constexpr int kLeastReadings = 3;

    // Forgets the readings (a new peak).
    void restart();
    void add(qint64 ms, int mmHg);
    // At the last reading added: both blocks have their readings and their
    // slopes agree.
    bool stable() const;

private:
    QList<PressureSample> m_readings; // oldest first, the last 2 * kBlockS
};
