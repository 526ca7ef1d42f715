// SPDX-License-Identifier: MIT
// Mean, median, 99th percentile, minimum and maximum of a set of samples.
// The percentile is the nearest-rank one: the smallest sample that at least
// p per cent of the samples do not exceed.
#pragma once

#include <vector>

class SampleSummary
{
public:
    static SampleSummary of(std::vector<double> samples);

    int count = 0;
    double mean = 0;
    double median = 0;
    double p99 = 0;
    double min = 0;
    double max = 0;
};
