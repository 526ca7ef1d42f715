// SPDX-License-Identifier: MIT
#include "trace_reader.h"

#include "byte_notation.h"

#include <QIODevice>

#include <utility>

bool TraceReader::parseLine(const QString &line, TrafficEntry &entry)
{
    // Views into the line, and the port and kind kept when they are the
    // last line's: a trace's lines are read with few allocations.
    static const QString kinds[] = {QLatin1String(TrafficEntry::kSent),
                                    QLatin1String(TrafficEntry::kReceived)};
    const QStringView text(line);
    const qsizetype firstBlank = text.indexOf(QLatin1Char(' '));
    if (firstBlank <= 0)
        return false;
    bool ok = false;
    entry.ms = text.left(firstBlank).toLongLong(&ok);
    if (!ok || entry.ms < 0)
        return false;
    const qsizetype secondBlank = text.indexOf(QLatin1Char(' '), firstBlank + 1);
    if (secondBlank <= firstBlank + 1)
        return false;
    const QStringView port = text.mid(firstBlank + 1, secondBlank - firstBlank - 1);
    if (entry.port != port)
        entry.port = port.toString();
    const QStringView rest = text.mid(secondBlank + 1);
    entry.bytes.clear();
    for (const QString &kind : kinds) {
        if (rest.size() > kind.size() && rest.startsWith(kind) &&
            rest.at(kind.size()) == QLatin1Char(' ')) {
            entry.kind = kind;
            entry.bytes = ByteNotation::bytes(rest.mid(kind.size() + 1));
            return true;
        }
    }
    entry.kind = rest.toString();
    return !rest.isEmpty();
}

TraceReader::TraceReader(QIODevice &device)
    : m_device(device)
{}

bool TraceReader::next(TrafficEntry &entry)
{
    // Every line goes into the same buffer: one of the longest line's size,
    // made anew for each line, cost more than the rest of reading it.
    m_line.resize(kMaxLineLength + 1);
    while (!m_device.atEnd()) {
        const qint64 length = m_device.readLine(m_line.data(), m_line.size());
        if (length < 0)
            break;
        QByteArrayView raw(m_line.constData(), length);
        if (!raw.endsWith('\n') && !m_device.atEnd()) {
            // Longer than any trace line: drop the rest of it unread.
            while (!m_device.atEnd()) {
                const qint64 n = m_device.readLine(m_line.data(), m_line.size());
                if (n <= 0 || m_line.at(n - 1) == '\n')
                    break;
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
