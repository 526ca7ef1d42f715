// SPDX-License-Identifier: MIT
// The first place where a station's chain does not hold, as ChainVerifier
// finds it: the row (run or act) by its station, number and UUID, and what
// is wrong in words.
#pragma once

#include <QString>

struct ChainBreak
{
    QString station;
    qint64 seq = 0;
    QString kind; // "run" or "act"
    QString uuid;
    QString what; // "was changed: ...", "rows #4 to #5 are missing: ...", ...

    // "station bench-3, run 4b6e... (#7) was changed: ..."
    QString text() const;
};
