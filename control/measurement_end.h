// SPDX-License-Identifier: MIT
// The end of a measurement as the panel showed it: a result, or the end
// value "999" of a measurement that failed. The settings are the texts of
// their fields at that moment; the values come from the result line and are
// empty for "999". BoardPanel hands it out; the results log writes it.
#pragma once

#include <QString>

struct MeasurementEnd
{
    enum class Outcome { Result, EndValue };

    Outcome outcome = Outcome::Result;
    QString patient; // "Adult" or "Neonate"
    QString pumpUp;  // "160 mmHg"
    QString cycle;   // "Manual", "5 min", ...
    QString systolic;
    QString diastolic;
    QString mean;
    QString pulse;
    QString line; // the complete reply line, STX first
};
