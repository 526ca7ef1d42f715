#include "trace_reader.h"

#include "byte_notation.h"

#include <QIODevice>

bool TraceReader::parseLine(const QString &line, Entry &entry)
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

QList<TraceReader::Entry> TraceReader::read(QIODevice &device, int *skipped)
{
    QList<Entry> entries;
    int bad = 0;
    Entry entry;
    while (!device.atEnd()) {
        QByteArray raw = device.readLine();
        while (raw.endsWith('\n') || raw.endsWith('\r'))
            raw.chop(1);
        if (raw.isEmpty())
            continue;
        if (parseLine(QString::fromUtf8(raw), entry))
            entries.append(entry);
        else
            ++bad;
    }
    if (skipped)
        *skipped = bad;
    return entries;
}
