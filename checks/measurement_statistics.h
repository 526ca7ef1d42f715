// SPDX-License-Identifier: MIT
// The statistics of a series of measurements (count, "999" count, and for
// systolic, diastolic, mean and pulse the mean, sample standard deviation,
// minimum and maximum) and, against a set point, the mean errors and the
// verdict: a pressure value passes when |mean error| and its standard
// deviation are within the limits. It is incomplete with fewer than
// series_min_n values (the series says "3 of 5 results"); the pulse gets no
// verdict.
#pragma once

#include "check_report.h"

class MeasurementStatistics
{
public:
    static CheckReport::Measurements of(const QList<CheckReport::Measurement> &list,
                                        const std::optional<SetPoint> &setPoint,
                                        const CheckLimits &limits);
    // Makes a judged series incomplete for `why` (traffic it may have missed).
    static void cannotJudge(CheckReport::Measurements &measurements, const QString &why);
    // One value's statistic; `judged` asks for a verdict when there is a reference.
    static CheckReport::Statistic statistic(const QList<double> &values,
                                            std::optional<double> reference, bool judged,
                                            const CheckLimits &limits);
};
