// SPDX-License-Identifier: MIT
// Saves a report as a PDF and its JSON form beside it (tarnvik-report, the
// Bench checks window). Each file is written to a temporary file beside it
// (StagedFile; the JSON streamed into it as it is made, however long the
// session), every write checked and the file synced; only when both are
// whole are they renamed into place, the JSON first, then the PDF. Should
// anything fail, neither name changes: a previous PDF and JSON stay whole
// and together, and the temporary files go. A crash between the two renames
// can leave the new JSON beside the previous PDF (and the previous JSON
// under a hidden name beside it). An output that exists and is no regular
// file (a FIFO, a device, a folder), or that is the other output or the
// file the report is made from, is refused before anything is written.
#pragma once

#include "check_report.h"
#include "failure.h"

#include <QDateTime>
#include <QString>

class ReportFiles
{
public:
    // REPORT.pdf -> REPORT.json; any other name gets ".json" added.
    static QString jsonBeside(const QString &pdfPath);
    // Why the two outputs cannot be written, or none: one that exists and
    // is no regular file or whose folder is missing, the two being one file
    // however they are spelt or linked, or either being `input` (the file
    // read from, when given).
    static Failure refusal(const QString &pdfPath, const QString &jsonPath,
                           const QString &input = QString());
    // `made` is printed as the time the report was made.
    static bool save(const CheckReport &report, const QString &pdfPath, const QString &jsonPath,
                     const QDateTime &made, Failure *error);
};
