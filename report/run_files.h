// SPDX-License-Identifier: MIT
// Saves a test plan's run into the reports folder by itself: the report's
// PDF and JSON (ReportFiles, today's report code) and the run's traffic
// trace, named after the board and the run's start in UTC:
//   SN-0412-20261207T130509Z.pdf, .json, .trace
// The board ID is made safe for a file name (stem()): never a path, a hidden
// name or one that looks like an option. The name is one nothing in the
// folder has yet, under any of the three endings (a link, also one that leads
// nowhere, counts as taken): "-2", "-3" ... is added until it is free, so a
// run never writes through a link onto another file or a device, and never
// replaces an earlier run's files. Each file is written under a hidden
// temporary name beside it and synced before it is renamed into place
// (StagedFile); the trace first, so that a report that cannot be written
// still leaves the run's record, from which tarnvik-report makes the report.
// Qt Gui (the PDF); the plan runner in session/ calls it through its saver.
#pragma once

#include "check_report.h"
#include "failure.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

class RunFiles
{
public:
    // Where the files went; `failure` says why what is missing was not written.
    struct Written
    {
        QString pdf;
        QString json;
        QString trace;
        Failure failure;
    };

    // Longest board part of a name, in characters.
    static constexpr int kMaxBoardChars = 64;
    // How many names "-2", "-3", ... are tried before giving up.
    static constexpr int kMaxTries = 100;

    // The board ID as part of a file name: letters A-Z and a-z, digits, '-',
    // '_' and '.' are kept, anything else becomes '_'; a leading '.' or '-'
    // becomes '_'; at most kMaxBoardChars; "board" when nothing is left.
    static QString safeBoard(const QString &board);
    // "<safe board>-<yyyyMMddTHHmmssZ>"
    static QString stem(const QString &board, const QDateTime &startedUtc);

    static Written save(const QString &folder, const CheckReport &report, const QByteArray &trace,
                        const QDateTime &startedUtc, const QDateTime &made);

private:
    static QString freeStem(const QString &folder, const QString &stem, Failure *why);
};
