// SPDX-License-Identifier: MIT
// A board's earlier runs in short, for the window beside a new run: how many
// there were and how the last one went, as a sentence ("3rd run of this
// board; last: FAIL on 2026-12-01, leak 7.2 mmHg/min").
#pragma once

#include "run_summary.h"

#include <QString>

#include <optional>

struct BoardHistory
{
    int earlierRuns = 0;
    std::optional<RunSummary> last; // the latest earlier run

    QString sentence() const;
    // "1st", "2nd", "3rd", "11th", "22nd"
    static QString ordinal(int n);
};
