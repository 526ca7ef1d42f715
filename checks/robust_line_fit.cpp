// SPDX-License-Identifier: MIT
#include "robust_line_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kMostRounds = 20;
constexpr double kMadToSd = 1.4826;

double median(std::vector<double> values)
{
    const auto middle = values.begin() + values.size() / 2;
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2 == 1)
        return *middle;
    return (*middle + *std::max_element(values.begin(), middle)) / 2;
}

// The median of the slopes between each reading and the one half the
// readings on; the offset that centres the residuals.
std::optional<LeakFit::Line> firstLine(const std::vector<double> &t, const std::vector<double> &p)
{
    const size_t half = t.size() / 2;
    std::vector<double> slopes;
    for (size_t i = 0; i + half < t.size(); ++i) {
        if (t[i + half] - t[i] > 1e-9)
            slopes.push_back((p[i + half] - p[i]) / (t[i + half] - t[i]));
    }
    if (slopes.empty())
        return std::nullopt;
    const double slope = median(slopes);
    std::vector<double> offsets(t.size());
    for (size_t i = 0; i < t.size(); ++i)
        offsets[i] = p[i] - slope * t[i];
    return LeakFit::Line{median(offsets), slope};
}

} // namespace

std::optional<RobustLineFit::Result> RobustLineFit::of(const QList<PressureSample> &readings,
                                                       qint64 originMs)
{
    std::vector<double> t, p;
    for (const PressureSample &r : readings) {
        t.push_back((r.ms - originMs) / 1000.0);
        p.push_back(r.mmHg);
    }
    std::optional<LeakFit::Line> line = firstLine(t, p);
    if (!line)
        return std::nullopt;
    Result result;
    std::vector<bool> out(t.size(), false);
    for (int round = 0; round < kMostRounds; ++round) {
        std::vector<double> residuals(t.size());
        for (size_t i = 0; i < t.size(); ++i)
            residuals[i] = std::abs(p[i] - line->offset - line->slopePerSecond * t[i]);
        result.boundMmHg = std::max(kLeastBoundMmHg, kSpreads * kMadToSd * median(residuals));
        LeakFit fit;
        std::vector<bool> now(t.size());
        for (size_t i = 0; i < t.size(); ++i) {
            now[i] = residuals[i] > result.boundMmHg;
            if (!now[i])
                fit.add(t[i], p[i]);
        }
        const std::optional<LeakFit::Line> next = fit.line();
        if (!next)
            break;
        line = next;
        if (now == out)
            break;
        out = now;
    }
    result.line = *line;
    int above = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        const double residual = p[i] - line->offset - line->slopePerSecond * t[i];
        if (std::abs(residual) > result.boundMmHg)
            result.leftOut.append(int(i));
        above = residual > result.boundMmHg ? above + 1 : 0;
        result.rose = result.rose || above >= 2;
    }
    return result;
}
