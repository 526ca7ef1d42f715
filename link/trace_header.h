// SPDX-License-Identifier: MIT
// The first line of a traffic trace: the program and its version and the
// wall-clock time the trace began, with its offset from UTC:
//   # tarnvik 1.0.1 trace started 2026-12-07T14:05:09+01:00
// A trace line begins with its milliseconds, so a reader that does not know
// this line skips it as no trace line. TraceReader hands it out when a
// trace's first line has this form; the trace's writer puts line() first.
#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

class TraceHeader
{
public:
    QString program; // "tarnvik"
    QString version; // "1.0.1"
    QDateTime started;

    // The line without its line end.
    QString line() const;
    // A line without its line end; no value when it is no header line.
    static std::optional<TraceHeader> parse(const QString &line);
    // `when` as ISO 8601 with its offset from UTC: 2026-12-07T14:05:09+01:00.
    static QString isoWithOffset(const QDateTime &when);
};
