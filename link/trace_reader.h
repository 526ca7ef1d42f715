// Reads a traffic trace (as TrafficTrace writes it) back into the entries it
// was written from: the time in ms, the port, the kind ("sent", "received" or
// a port event such as "opened") and, for traffic, the bytes. Lines that do not have the form of a
// trace line are skipped and counted, so a trace cut short by a crash still
// reads up to its last whole line.
#pragma once

#include "traffic_entry.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

class TraceReader
{
public:
    using Entry = TrafficEntry;

    static QList<Entry> read(QIODevice &device, int *skipped = nullptr);
    // One line without its line end; false when it is no trace line.
    static bool parseLine(const QString &line, Entry &entry);
};
