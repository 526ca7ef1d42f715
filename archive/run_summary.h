// SPDX-License-Identifier: MIT
// A run as lists show it: who, what, when and the verdict, with the figures
// over time, without its report and PDF.
#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

struct RunSummary
{
    QString uuid;
    QString station;
    qint64 seq = 0;
    QString board;
    QString operatorName;
    QString plan; // "free check" for a free check
    QString planVersion;
    QString started; // ISO 8601 with its UTC offset, as stored
    QString ended;
    qint64 startedMs = 0; // milliseconds since 1970 (UTC)
    QString verdict;
    std::optional<double> leakMmHgPerMin;
    std::optional<double> staticErrorMmHg;
};
