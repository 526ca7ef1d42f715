// SPDX-License-Identifier: MIT
// Reads a traffic trace (as TrafficTrace writes it) back into the entries it
// was written from: the time in ms, the port, the kind ("sent", "received" or
// a port event such as "opened") and, for traffic, the bytes. Lines that do not have the form of a
// trace line are skipped and counted, so a trace cut short by a crash still
// reads up to its last whole line. A reader object takes one entry at a time,
// so a trace of any length is read in little memory; a line longer than any
// trace line (kMaxLineLength) is skipped without being held whole. A first
// line of the TraceHeader's form is no skipped line: it is handed out on its
// own (header()).
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
    static constexpr qint64 kMaxLineLength = 64 * 1024;

    explicit TraceReader(QIODevice &device);
    // The next trace line of the device; false at its end.
    bool next(TrafficEntry &entry);
    // Lines skipped so far because they are no trace lines.
    qint64 skipped() const { return m_skipped; }
    // The header line, once the first line has been read and was one.
    const std::optional<TraceHeader> &header() const { return m_header; }

    // The whole device at once. `header` is set when the trace begins with a
    // header line, else reset.
    static QList<TrafficEntry> read(QIODevice &device, int *skipped = nullptr,
                                    std::optional<TraceHeader> *header = nullptr);
    // One line without its line end; false when it is no trace line.
    static bool parseLine(const QString &line, TrafficEntry &entry);

private:
    QIODevice &m_device;
    QByteArray m_line; // the line being read
    qint64 m_skipped = 0;
    bool m_first = true;
    std::optional<TraceHeader> m_header;
};
