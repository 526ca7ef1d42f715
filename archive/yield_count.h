// SPDX-License-Identifier: MIT
// How many runs of a day or of a plan passed, failed or stayed incomplete.
#pragma once

#include <QString>

struct YieldCount
{
    QString key; // the day (YYYY-MM-DD, the station's own date) or "plan version"
    int runs = 0;
    int passed = 0;
    int failed = 0;
    int incomplete = 0;

    // The share of runs that passed, 0..1; 0 without runs.
    double yield() const { return runs > 0 ? double(passed) / runs : 0.0; }
};
