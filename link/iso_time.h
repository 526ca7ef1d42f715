// SPDX-License-Identifier: MIT
// A moment as ISO 8601 text with its UTC offset, to the second:
// 2026-12-07T14:05:09+01:00. The results file and the trace header write
// their times this way, and the bench check report shows them so.
#pragma once

#include <QDateTime>
#include <QString>

class IsoTime
{
public:
    // `when` in its own zone (local time stays local, UTC gives +00:00).
    static QString withOffset(const QDateTime &when);
};
