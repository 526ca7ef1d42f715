// SPDX-License-Identifier: MIT
#include "trace_header.h"

#include "iso_time.h"

#include <QStringList>

namespace {
const QString kMark = QStringLiteral("#");
const QString kWords = QStringLiteral("trace started");
} // namespace

QString TraceHeader::isoWithOffset(const QDateTime &when)
{
    return IsoTime::withOffset(when);
}

QString TraceHeader::line() const
{
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(kMark, program, version, kWords, isoWithOffset(started));
}

std::optional<TraceHeader> TraceHeader::parse(const QString &line)
{
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() != 6 || words.at(0) != kMark ||
        words.at(3) + QLatin1Char(' ') + words.at(4) != kWords)
        return std::nullopt;
    TraceHeader header;
    header.program = words.at(1);
    header.version = words.at(2);
    header.started = QDateTime::fromString(words.at(5), Qt::ISODate);
    // Without its offset the time would be read as this machine's local time.
    if (!header.started.isValid() || header.started.timeSpec() == Qt::LocalTime)
        return std::nullopt;
    return header;
}
