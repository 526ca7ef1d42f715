// SPDX-License-Identifier: MIT
// The JSON form of a CheckReport: the keys a production script reads, numbers
// as JSON numbers with their full precision (the verdicts are made with
// them; the PDF rounds for reading), verdicts as "pass", "fail",
// "incomplete" (null where there is none: statistics without a reference).
// The overall verdict is "incomplete" also when nothing could be judged.
// Times of the trace ("..._s") are seconds since the trace began. Every
// measurement, stretch, refusal and gap is listed, however long the session,
// and the strings (board, operator, ...) are kept as given.
#pragma once

#include "check_report.h"

#include <QByteArray>
#include <QJsonObject>

class ReportJson
{
public:
    static QJsonObject object(const CheckReport &report);
    // The object as indented UTF-8 text.
    static QByteArray text(const CheckReport &report);
};
