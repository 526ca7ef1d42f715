// SPDX-License-Identifier: MIT
// The JSON form of a CheckReport: the keys a production script reads, numbers
// as JSON numbers with their full precision (the verdicts are made with
// them; the PDF rounds for reading), verdicts as "pass", "fail",
// "incomplete" (null where there is none: statistics without a reference).
// The overall verdict is "incomplete" also when nothing could be judged.
// Times of the trace ("..._s") are seconds since the trace began. Every
// measurement, stretch, inflation time, refusal and gap is listed, however
// long the session, and the strings (board, operator, the plan's name, ...)
// are kept as given. Under a test plan "plan" names it and "steps" holds each
// step's verdict, reason and values; a free check has a null plan and no steps.
//
// write() streams the text onto a device as it is made (JsonWriter): the
// report of a long session lists hundreds of thousands of measurements, and
// its text costs no memory that way (ReportFiles writes it into its staged
// file). The text is the one QJsonDocument writes indented, keys sorted.
#pragma once

#include "check_report.h"

#include <QByteArray>
#include <QIODevice>
#include <QJsonObject>

class ReportJson
{
public:
    // False when a write to `out` failed (the device says why).
    static bool write(const CheckReport &report, QIODevice &out);
    // The text in memory, for a small report.
    static QByteArray text(const CheckReport &report);
    // The text read back.
    static QJsonObject object(const CheckReport &report);
};
