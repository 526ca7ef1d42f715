// SPDX-License-Identifier: MIT
// Which runs a query of the archive takes: every condition given must hold;
// an empty text or an invalid time is no condition.
#pragma once

#include <QDateTime>
#include <QString>

struct RunFilter
{
    QString board;
    QDateTime since; // started at or after
    QDateTime until; // started before
    QString verdict; // "pass", "fail", "incomplete"
    QString station;
    QString plan;  // the plan's name ("free check" for free checks)
    int limit = 0; // at most this many, the newest; 0 for all
};
