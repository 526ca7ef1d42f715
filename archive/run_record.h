// SPDX-License-Identifier: MIT
// One run as the archive keeps it: a plan run, or a free check whose report
// was saved. Plain data, made by whoever ran the check; the archive renders
// nothing, so the JSON report, the PDF's bytes and the trace's SHA-256 come
// in as they were made. ArchiveStore checks a record before it stores it
// (RunRecord::problem()), gives it its station's sequence number and chains
// it; the record is never changed afterwards.
#pragma once

#include "failure.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QUuid>

#include <optional>

struct RunRecord
{
    QUuid id;        // made by the caller (QUuid::createUuid())
    QString board;   // the board's ID (serial number)
    QString station; // empty: the store's station
    QString operatorName;
    QString instrument;   // the reference instrument, when given
    QDate calibrationDue; // the instrument's calibration due date, when given
    QString planName;     // empty for a free check (kept as "free check")
    QString planVersion;
    QString planSha256; // hex SHA-256 of the plan file's bytes
    QDateTime started;  // with its UTC offset (local time, or with an offset)
    QDateTime ended;
    QString programVersion; // "tarnvik 1.0.1"
    QString verdict;        // "pass", "fail" or "incomplete"
    QByteArray stepsJson;   // each step's verdict and values: a JSON array or object
    QByteArray reportJson;  // the JSON report
    QByteArray pdf;         // the PDF's bytes
    QString traceSha256;    // hex SHA-256 of the traffic trace
    // The highest leak rate and the static error of largest size, for the
    // figures over time. When absent they are taken from the JSON report's
    // "leak_tests" and "static_points" (the bench check report's form).
    std::optional<double> leakMmHgPerMin;
    std::optional<double> staticErrorMmHg;

    static QString freeCheck() { return QStringLiteral("free check"); }
    // Why the record cannot be stored (Refused); none when it can.
    Failure problem() const;
};
