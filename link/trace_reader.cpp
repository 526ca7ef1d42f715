// SPDX-License-Identifier: MIT
#include "trace_reader.h"

#include "byte_notation.h"

#include <QIODevice>

#include <utility>

bool TraceReader::parseLine(const QString &line, TrafficEntry &entry)
{
    const qsizetype firstBlank = line.indexOf(QLatin1Char(' '));
    if (firstBlank <= 0)
        return false;
    bool ok = false;
    entry.ms = QStringView(line).left(firstBlank).toLongLong(&ok);
    if (!ok || entry.ms < 0)
        return false;
    const qsizetype secondBlank = line.indexOf(QLatin1Char(' '), firstBlank + 1);
    if (secondBlank <= firstBlank + 1)
        return false;
    entry.port = line.mid(firstBlank + 1, secondBlank - firstBlank - 1);
    const QString rest = line.mid(secondBlank + 1);
    entry.bytes.clear();
    for (const char *kind : {TrafficEntry::kSent, TrafficEntry::kReceived}) {
        const QString prefix = QLatin1String(kind) + QLatin1Char(' ');
        if (rest.startsWith(prefix)) {
            entry.kind = QLatin1String(kind);
            entry.bytes = ByteNotation::bytes(rest.mid(prefix.size()));
            return true;
        }
    }
    entry.kind = rest;
    return !rest.isEmpty();
}

TraceReader::TraceReader(QIODevice &device)
    : m_device(device)
{}

bool TraceReader::next(TrafficEntry &entry)
{
    while (!m_device.atEnd()) {
        QByteArray raw = m_device.readLine(kMaxLineLength);
        if (!raw.endsWith('\n') && !m_device.atEnd()) {
            // Longer than any trace line: drop the rest of it unread.
            while (!m_device.atEnd() && !m_device.readLine(kMaxLineLength).endsWith('\n')) {
            }
            ++m_skipped;
            continue;
        }
        while (raw.endsWith('\n') || raw.endsWith('\r'))
            raw.chop(1);
        if (raw.isEmpty())
            continue;
        const QString line = QString::fromUtf8(raw);
        if (std::exchange(m_first, false) && (m_header = TraceHeader::parse(line)))
            continue;
        if (parseLine(line, entry))
            return true;
        ++m_skipped;
    }
    return false;
}

QList<TrafficEntry> TraceReader::read(QIODevice &device, int *skipped,
                                            std::optional<TraceHeader> *header)
{
    QList<TrafficEntry> entries;
    TraceReader reader(device);
    TrafficEntry entry;
    while (reader.next(entry))
        entries.append(entry);
    if (skipped)
        *skipped = int(reader.skipped());
    if (header)
        *header = reader.header();
    return entries;
}
