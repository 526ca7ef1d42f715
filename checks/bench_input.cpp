// SPDX-License-Identifier: MIT
#include "bench_input.h"

#include <QRegularExpression>

#include <cmath>

namespace {

// The highest value of one decimal below 1000, and the first that rounds to it.
constexpr double kBeyondTop = 999.95;

bool isSetPointValue(double value)
{
    return value > 0.0 && value < kBeyondTop;
}

BenchInput::SetPointCheck refused(const char *why)
{
    return {BenchInput::SetPointCheck::Outcome::Refused, std::nullopt,
            Failure::refused(QString::fromLatin1(why))};
}

} // namespace

bool BenchInput::isReferenceReading(double mmHg)
{
    return mmHg >= 0.0 && mmHg < kBeyondTop; // NaN is neither
}

std::optional<double> BenchInput::referenceReading(const QString &typed)
{
    QString text = typed.trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double reading = text.toDouble(&ok);
    if (!ok || !isReferenceReading(reading))
        return std::nullopt;
    return reading;
}

std::optional<double> BenchInput::setPointValue(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\d{1,3}(\\.\\d)?$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const double value = text.toDouble();
    if (!isSetPointValue(value))
        return std::nullopt;
    return value;
}

BenchInput::SetPointCheck BenchInput::checkSetPoint(const std::optional<SetPoint> &setPoint)
{
    if (!setPoint)
        return {};
    const auto isValue = [](const std::optional<double> &value) {
        return !value || isSetPointValue(*value);
    };
    if (!isSetPointValue(setPoint->systolic) || !isSetPointValue(setPoint->diastolic) ||
        !isValue(setPoint->mean) || !isValue(setPoint->pulse))
        return refused(kNeedsValues);
    if (setPoint->systolic <= setPoint->diastolic)
        return refused(kNeedsSystolicAboveDiastolic);
    if (setPoint->mean &&
        (*setPoint->mean < setPoint->diastolic || *setPoint->mean > setPoint->systolic))
        return refused(kNeedsMeanBetween);
    return {SetPointCheck::Outcome::Given, setPoint, Failure()};
}

BenchInput::SetPointCheck BenchInput::checkSetPoint(const TypedSetPoint &typed)
{
    bool allValues = true;
    const auto value = [&allValues](const QString &text) -> std::optional<double> {
        const QString trimmed = text.trimmed();
        if (trimmed.isEmpty())
            return std::nullopt;
        const std::optional<double> number = setPointValue(trimmed);
        allValues = allValues && number.has_value();
        return number;
    };
    const std::optional<double> systolic = value(typed.systolic);
    const std::optional<double> diastolic = value(typed.diastolic);
    const std::optional<double> mean = value(typed.mean);
    const std::optional<double> pulse = value(typed.pulse);
    if (!allValues)
        return refused(kNeedsValues);
    if (!systolic && !diastolic)
        return {};
    if (!systolic || !diastolic)
        return refused(kNeedsSystolicAboveDiastolic);
    return checkSetPoint(SetPoint{*systolic, *diastolic, mean, pulse});
}
