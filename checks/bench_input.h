// SPDX-License-Identifier: MIT
// What an operator types for the bench checks and what tarnvik-report takes
// on its command line, checked in one place: a reference gauge's reading and
// the simulator's set point. The bench core takes only what passes here, the
// Bench checks window says why a text does not, and tarnvik-report refuses
// the same set points the window does.
//
// A reference reading is 0 to 999.9 mmHg as the trace holds it, with one
// decimal: a reading is rounded to it, so 999.95, which would be traced as
// 1000, is refused; a decimal comma is taken for the point. A set point
// needs systolic and diastolic, systolic above diastolic; mean and pulse are
// optional, a mean lies from diastolic to systolic; each value is above 0 and
// has up to three digits and one decimal. A plan's set point follows the
// same rules.
#pragma once

#include "check_report.h"
#include "failure.h"

#include <QString>

#include <optional>

class BenchInput
{
public:
    static constexpr const char *kNeedsSystolicAboveDiastolic = "needs systolic above diastolic";
    static constexpr const char *kNeedsValues = "needs values above 0 of up to three digits";
    static constexpr const char *kNeedsMeanBetween = "needs the mean from diastolic to systolic";

    // The set point's four values as typed; an empty text is a value not given.
    struct TypedSetPoint
    {
        QString systolic;
        QString diastolic;
        QString mean;
        QString pulse;
    };

    // How a set point was taken.
    struct SetPointCheck
    {
        enum class Outcome {
            Given,    // the measurements are judged by `setPoint`
            NotGiven, // neither systolic nor diastolic: statistics only
            Refused   // statistics only, and `refusal` says why
        };
        Outcome outcome = Outcome::NotGiven;
        std::optional<SetPoint> setPoint;
        Failure refusal;
    };

    // Whether `mmHg` is a reading the trace can hold (0 to 999.9 once rounded
    // to one decimal).
    static bool isReferenceReading(double mmHg);
    // The reading typed ("120", "119.5", "119,5", spaces around); none when
    // the text is no such reading.
    static std::optional<double> referenceReading(const QString &typed);

    // One value of a set point: "120", "93.5"; none for anything else.
    static std::optional<double> setPointValue(const QString &text);
    // A set point of numbers; none given is statistics only.
    static SetPointCheck checkSetPoint(const std::optional<SetPoint> &setPoint);
    // A set point as typed: a value typed that is no value refuses it.
    static SetPointCheck checkSetPoint(const TypedSetPoint &typed);
};
