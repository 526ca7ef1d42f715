// SPDX-License-Identifier: MIT
// The JSON form of a CheckReport: the keys a production script reads, numbers
// as JSON numbers rounded to one decimal, verdicts as "pass", "fail",
// "incomplete" (null where there is none: statistics without a reference).
// The overall verdict is "incomplete" also when nothing could be judged.
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
