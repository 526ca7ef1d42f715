// SPDX-License-Identifier: MIT
// One row of the results file as CSV after RFC 4180: the local time with its
// UTC offset, the port and its device, the settings, the four values, the
// outcome and the raw line with its control characters spelt out. A field
// that begins like a spreadsheet formula (=, +, -, @, a tab or a CR) is
// written with a leading apostrophe. Only formats; ResultLog writes the rows.
#pragma once

#include "measurement_end.h"
#include "reply_line.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

class ResultRow
{
public:
    static constexpr const char *kResult = "result";
    static constexpr const char *kAborted = ReplyLine::kEndValue;

    static QStringList headerFields();
    static QStringList fields(const MeasurementEnd &end, const QString &port, const QString &device,
                              const QDateTime &when);
    // The fields as one CSV line, CRLF at its end, in UTF-8.
    static QByteArray csvLine(const QStringList &fields);
    // Local time in ISO 8601 with its UTC offset: 2026-12-07T14:05:09+01:00.
    static QString isoLocalTime(const QDateTime &when);
};
