// SPDX-License-Identifier: MIT
// What a search of the archive's history found (HistorySource::search): the
// newest runs it takes, how many it takes in all, the yield per day and per
// plan of all of them, and the newest ones' figures over time with their
// limits.
#pragma once

#include "run_figures.h"
#include "run_summary.h"
#include "yield_count.h"

#include <QList>

struct HistoryAnswer
{
    QList<RunSummary> runs; // the newest of the runs found, oldest first
    int found = 0;          // every run the search takes
    QList<YieldCount> days;
    QList<YieldCount> plans;
    // The newest runs found that have a figure (as many as runs are
    // listed at most), oldest first.
    QList<RunFigures> figures;
};
