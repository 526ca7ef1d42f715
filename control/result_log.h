// Appends the end of every measurement the panel shows to a CSV file: one row
// per result, and one per measurement that ended with "999". It takes the
// MeasurementEnd values BoardPanel::measurementEnded hands out, formats them
// with ResultRow, names the port and device the line came in on, and reports
// a file it cannot write through PanelDisplay::reportFailure, once until a
// row is written again; every row is tried, so the next result may succeed.
//
// The file is RFC 4180 CSV in UTF-8 with CRLF line ends and a header row when
// it is new or empty. Each row goes out in one write and is flushed to the
// disk before record() returns, so a crash loses at most the row being
// written. The file is opened for each row and closed after it: a file that
// was moved, deleted or fixed in the meantime is picked up at the next row.
#pragma once

#include "measurement_end.h"
#include "panel_display.h"
#include "serial_port.h"

#include <QObject>
#include <QString>

class ResultLog : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kFileName = "results.csv";

    // Rows go to `path`; `display` takes the failure notice; `port` names
    // the port and device the line came in on.
    ResultLog(const QString &path, PanelDisplay &display, const SerialPort &port,
              QObject *parent = nullptr);

    // The results file in the platform's data location for this program
    // (organisation and application name must be set before).
    static QString defaultPath();

    QString path() const { return m_path; }
    // Rows written since the log was made.
    int rowsWritten() const { return m_rows; }

    // Appends the row of a measurement that has just ended.
    void record(const MeasurementEnd &end);

private:
    bool append(const QByteArray &row, QString &why);

    QString m_path;
    PanelDisplay &m_display;
    const SerialPort &m_port;
    int m_rows = 0;
    bool m_failing = false;
};
