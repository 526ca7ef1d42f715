// SPDX-License-Identifier: MIT
// Appends the end of every measurement the panel shows to a CSV file: one row
// per result, and one per measurement that ended with "999". It takes the
// MeasurementEnd values BoardPanel::measurementEnded hands out, formats them
// with ResultRow, names the port and device the line came in on, and hands
// the row to the RecordWriter, whose thread writes it; record() never waits
// for the disk.
//
// The file is RFC 4180 CSV in UTF-8 with CRLF line ends and a header row when
// it is new or empty. The writer opens the file for each row, appends it
// whole or not at all, syncs it to the disk and closes it: a crash loses at
// most the row being written, and a file that was moved, deleted or fixed in
// the meantime is picked up at the next row. A row that cannot be written is
// kept and written first once the file can be written again; RecordNotice
// shows the failure and withdraws it when rows go in again.
#pragma once

#include "measurement_end.h"
#include "serial_port.h"

#include <QObject>
#include <QString>

class RecordWriter;

class ResultLog : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kFileName = "results.csv";

    // Makes `path` the writer's results file; `port` names the port and
    // device the line came in on.
    ResultLog(const QString &path, RecordWriter &writer, const SerialPort &port,
              QObject *parent = nullptr);

    // The results file in the platform's data location for this program
    // (organisation and application name must be set before).
    static QString defaultPath();

    QString path() const { return m_path; }
    // Rows in the file since the log was made.
    int rowsWritten() const;

    // Hands over the row of a measurement that has just ended.
    void record(const MeasurementEnd &end);

private:
    QString m_path;
    RecordWriter &m_writer;
    const SerialPort &m_port;
};
