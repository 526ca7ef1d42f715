// SPDX-License-Identifier: MIT
// The traffic trace file: each TrafficEntry as one text line, the
// milliseconds, the port, and what happened with the bytes in ByteNotation:
//   1234 COM1 sent <STX>01;;D7<ETX>
//   1480 COM1 received <STX>085<CR>
//   1500 COM1 opened
// after a first line that says what wrote it and when (TraceHeader).
// The lines go to the file through the RecordWriter's thread, each whole or
// not at all; lines the writer had to drop or could not write are counted in
// an event line of their own before the next line written:
//   1620 COM1 dropped 12 trace lines
// A trace that cannot be written is told by the writer, never stops the
// program. It takes its entries from a TrafficRecorder (connect
// entryRecorded() to write()); TraceReader reads the format back into the
// same entries.
#pragma once

#include "trace_header.h"
#include "traffic_entry.h"

#include <QObject>
#include <QString>

class RecordWriter;

class TrafficTrace : public QObject
{
    Q_OBJECT

public:
    // Makes `path` the writer's trace file (emptied when the writer opens it).
    TrafficTrace(const QString &path, RecordWriter &writer, QObject *parent = nullptr);

    // The line of one entry, without its line end.
    static QString line(const TrafficEntry &entry);
    // The event line that says `lost` lines are missing before the line
    // `next`, at its time and port.
    static QByteArray lostLine(const QByteArray &next, qint64 lost);

    // The trace's first line, before any entry: program, version and the
    // wall-clock time of the recording's 0 ms (TraceHeader).
    void writeHeader(const TraceHeader &header);
    void write(const TrafficEntry &entry);

private:
    RecordWriter &m_writer;
};
