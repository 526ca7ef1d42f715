// SPDX-License-Identifier: MIT
// A run's figures over time with the limits it was judged by: the highest
// leak rate and the static error of largest size (the runs table's columns),
// and the largest leak rate and static error its JSON report's "limits"
// allowed, where the report names them.
#pragma once

#include <QtGlobal>

#include <optional>

struct RunFigures
{
    qint64 startedMs = 0; // milliseconds since 1970 (UTC)
    std::optional<double> leakMmHgPerMin;
    std::optional<double> staticErrorMmHg; // with its sign
    std::optional<double> leakLimitMmHgPerMin;
    std::optional<double> staticLimitMmHg; // the largest size, either sign
};
