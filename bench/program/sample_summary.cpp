// SPDX-License-Identifier: MIT
#include "sample_summary.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// Nearest rank in sorted samples, p in 0..100.
double rank(const std::vector<double> &sorted, double p)
{
    const auto n = sorted.size();
    auto index = static_cast<std::size_t>(std::ceil(p / 100.0 * double(n)));
    index = std::clamp<std::size_t>(index, 1, n);
    return sorted[index - 1];
}

} // namespace

SampleSummary SampleSummary::of(std::vector<double> samples)
{
    SampleSummary summary;
    if (samples.empty())
        return summary;
    std::sort(samples.begin(), samples.end());
    summary.count = int(samples.size());
    summary.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / double(samples.size());
    summary.median = rank(samples, 50);
    summary.p99 = rank(samples, 99);
    summary.min = samples.front();
    summary.max = samples.back();
    return summary;
}
