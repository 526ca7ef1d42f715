// SPDX-License-Identifier: MIT
// Saves a report as a PDF and its JSON form beside it. Each file is written
// to a temporary file and renamed into place only when both are whole, so a
// failure leaves neither a partial report nor a half-replaced one behind.
#pragma once

#include "check_report.h"

#include <QDateTime>
#include <QString>

class ReportFiles
{
public:
    // REPORT.pdf -> REPORT.json; any other name gets ".json" added.
    static QString jsonBeside(const QString &pdfPath);
    // `made` is printed as the time the report was made.
    static bool save(const CheckReport &report, const QString &pdfPath, const QString &jsonPath,
                     const QDateTime &made, QString *error);
};
