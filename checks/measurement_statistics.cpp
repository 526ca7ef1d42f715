// SPDX-License-Identifier: MIT
#include "measurement_statistics.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kSlack = 1e-9;
} // namespace

CheckReport::Statistic MeasurementStatistics::statistic(const QList<double> &values,
                                                        std::optional<double> reference,
                                                        bool judged, const CheckLimits &limits)
{
    CheckReport::Statistic stat;
    stat.n = values.size();
    stat.reference = reference;
    if (stat.n > 0) {
        double sum = 0;
        for (double v : values)
            sum += v;
        stat.mean = sum / stat.n;
        const auto [low, high] = std::minmax_element(values.begin(), values.end());
        stat.min = *low;
        stat.max = *high;
        if (stat.n >= 2) {
            double squares = 0;
            for (double v : values)
                squares += (v - stat.mean) * (v - stat.mean);
            stat.sd = std::sqrt(squares / (stat.n - 1));
        }
        if (reference)
            stat.meanError = stat.mean - *reference;
    }
    if (!reference || !judged)
        return stat;
    if (!stat.sd || stat.n < limits.seriesMinN) {
        stat.verdict = Verdict::Incomplete;
        return stat;
    }
    const bool within = std::abs(*stat.meanError) <= limits.meanErrorMmHg + kSlack &&
                        *stat.sd <= limits.sdMmHg + kSlack;
    stat.verdict = within ? Verdict::Pass : Verdict::Fail;
    return stat;
}

CheckReport::Measurements MeasurementStatistics::of(const QList<CheckReport::Measurement> &list,
                                                    const std::optional<SetPoint> &setPoint,
                                                    const CheckLimits &limits)
{
    CheckReport::Measurements result;
    result.list = list;
    QList<double> systolic, diastolic, mean, pulse;
    for (const CheckReport::Measurement &m : list) {
        if (m.ended999) {
            ++result.ended999;
            continue;
        }
        ++result.count;
        for (auto [value, into] : {std::pair{m.systolic, &systolic},
                                   {m.diastolic, &diastolic},
                                   {m.mean, &mean},
                                   {m.pulse, &pulse}}) {
            if (value)
                into->append(*value);
        }
    }
    const auto ref = [&setPoint](auto member) -> std::optional<double> {
        if (!setPoint)
            return std::nullopt;
        return std::optional<double>((*setPoint).*member);
    };
    result.systolic = statistic(systolic, ref(&SetPoint::systolic), true, limits);
    result.diastolic = statistic(diastolic, ref(&SetPoint::diastolic), true, limits);
    result.mean = statistic(mean, setPoint ? setPoint->mean : std::nullopt, true, limits);
    result.pulse = statistic(pulse, setPoint ? setPoint->pulse : std::nullopt, false, limits);
    result.verdict =
        combined({result.systolic.verdict, result.diastolic.verdict, result.mean.verdict});
    std::optional<int> fewest;
    for (const CheckReport::Statistic *stat : {&result.systolic, &result.diastolic, &result.mean}) {
        if (stat->verdict != Verdict::None && (!fewest || stat->n < *fewest))
            fewest = stat->n;
    }
    if (fewest && *fewest < limits.seriesMinN)
        result.reason = QStringLiteral("%1 of %2 results")
                            .arg(*fewest)
                            .arg(CheckLimits::text(limits.seriesMinN));
    return result;
}

void MeasurementStatistics::cannotJudge(CheckReport::Measurements &measurements, const QString &why)
{
    if (measurements.verdict == Verdict::None)
        return;
    measurements.verdict = Verdict::Incomplete;
    for (CheckReport::Statistic *stat :
         {&measurements.systolic, &measurements.diastolic, &measurements.mean}) {
        if (stat->verdict != Verdict::None)
            stat->verdict = Verdict::Incomplete;
    }
    measurements.reason =
        measurements.reason.isEmpty() ? why : measurements.reason + QStringLiteral("; ") + why;
}
