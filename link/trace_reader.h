// Reads a traffic trace (as TrafficTrace writes it) back into the entries it
// was written from: the time in ms, the port, the kind ("sent", "received" or
// a port event such as "opened") and, for traffic, the bytes. Lines that do not have the form of a
// trace line are skipped and counted, so a trace cut short by a crash still
// reads up to its last whole line. A first line of the TraceHeader's form is
// no skipped line: it is handed out on its own when asked for.
#pragma once

#include "trace_header.h"
#include "traffic_entry.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class QIODevice;

class TraceReader
{
public:
    using Entry = TrafficEntry;

    // `header` is set when the trace begins with a header line, else reset.
    static QList<Entry> read(QIODevice &device, int *skipped = nullptr,
                             std::optional<TraceHeader> *header = nullptr);
    // One line without its line end; false when it is no trace line.
    static bool parseLine(const QString &line, Entry &entry);
};
