// The traffic trace file: writes each TrafficEntry as one text line, the
// milliseconds, the port, and what happened with the bytes in ByteNotation:
//   1234 COM1 sent <STX>01;;D7<ETX>
//   1480 COM1 received <STX>085<CR>
//   1500 COM1 opened
// Every line is flushed at once; a trace that cannot be written is logged
// once (tarnvik.trace) and never stops the program.
// It takes its entries from a TrafficRecorder (connect entryRecorded() to
// write()); TraceReader reads the format back into the same entries.
#pragma once

#include "traffic_entry.h"

#include <QFile>
#include <QObject>
#include <QString>

class TrafficTrace : public QObject
{
    Q_OBJECT

public:
    // Opens `path` for writing (replacing what it held); isOpen() tells.
    explicit TrafficTrace(const QString &path, QObject *parent = nullptr);

    bool isOpen() const { return m_file.isOpen(); }
    QString errorText() const { return m_file.errorString(); }

    // The line of one entry, without its line end.
    static QString line(const TrafficEntry &entry);

    void write(const TrafficEntry &entry);

private:
    QFile m_file;
    bool m_failed = false;
};
