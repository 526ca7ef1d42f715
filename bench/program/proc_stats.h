// SPDX-License-Identifier: MIT
// What /proc tells about a process: CPU time used (user + system, all its
// threads, in clock ticks) and resident memory (VmRSS); and the machine's
// load average. Linux only.
#pragma once

#include <QString>

#include <optional>

namespace ProcStats {

// utime + stime of the process in clock ticks; nothing when it is gone.
std::optional<qint64> cpuTicks(qint64 pid);
// Clock ticks per second (USER_HZ).
long ticksPerSecond();
// VmRSS in KiB; nothing when the process is gone.
std::optional<qint64> residentKib(qint64 pid);
// The first three fields of /proc/loadavg, such as "0.41 0.52 0.60".
QString loadAverage();

} // namespace ProcStats
