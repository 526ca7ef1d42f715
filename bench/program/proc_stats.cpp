// SPDX-License-Identifier: MIT
#include "proc_stats.h"

#include <QFile>
#include <QList>

#include <unistd.h>

namespace ProcStats {

namespace {

QByteArray readProcFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

std::optional<qint64> cpuTicks(qint64 pid)
{
    const QByteArray stat = readProcFile(QStringLiteral("/proc/%1/stat").arg(pid));
    // The command name (field 2) is in parentheses and may hold blanks: count
    // fields from the last ')'. Field 3 (state) follows it; utime and stime
    // are fields 14 and 15.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    if (fields.size() < 13)
        return std::nullopt;
    bool userOk = false;
    bool systemOk = false;
    const qint64 user = fields.at(11).toLongLong(&userOk);
    const qint64 system = fields.at(12).toLongLong(&systemOk);
    if (!userOk || !systemOk)
        return std::nullopt;
    return user + system;
}

long ticksPerSecond()
{
    return ::sysconf(_SC_CLK_TCK);
}

std::optional<qint64> residentKib(qint64 pid)
{
    const QByteArray status = readProcFile(QStringLiteral("/proc/%1/status").arg(pid));
    for (const QByteArray &line : status.split('\n')) {
        if (!line.startsWith("VmRSS:"))
            continue;
        const QList<QByteArray> parts = line.mid(6).simplified().split(' ');
        bool ok = false;
        const qint64 kib = parts.value(0).toLongLong(&ok);
        if (ok)
            return kib;
    }
    return std::nullopt;
}

QString loadAverage()
{
    const QList<QByteArray> fields = readProcFile(QStringLiteral("/proc/loadavg")).split(' ');
    if (fields.size() < 3)
        return QStringLiteral("unknown");
    return QString::fromLatin1(fields.at(0) + ' ' + fields.at(1) + ' ' + fields.at(2));
}

} // namespace ProcStats
