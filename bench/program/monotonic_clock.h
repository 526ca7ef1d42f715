// SPDX-License-Identifier: MIT
// CLOCK_MONOTONIC in nanoseconds: the clock that the benchmark driver and the
// window launcher share, so that a time taken in one process compares with a
// time taken in the other.
#pragma once

#include <QtGlobal>

#include <ctime>

namespace MonotonicClock {

inline qint64 nowNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace MonotonicClock
