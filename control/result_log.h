// Appends the end of every measurement the panel shows to a CSV file: one row
// per result line, and one per measurement that ended with "999". It listens
// to BoardPanel::measurementEndShown, reads the settings the window shows
// (patient, pump-up value, cycle time) back through PanelDisplay, and reports
// a file it cannot write through PanelDisplay::reportFailure, once until a
// row is written again; every row is tried, so the next result may succeed.
//
// The file is RFC 4180 CSV in UTF-8 with CRLF line ends and a header row when
// it is new or empty. Each row goes out in one write and is flushed to the
// disk before record() returns, so a crash loses at most the row being
// written. The file is opened for each row and closed after it: a file that
// was moved, deleted or fixed in the meantime is picked up at the next row.
#pragma once

#include "panel_display.h"
#include "reply_line.h"
#include "serial_port.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

class ResultLog : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kFileName = "results.csv";
    static constexpr const char *kResult = "result";
    static constexpr const char *kAborted = ReplyLine::kEndValue;

    // Rows go to `path`; `display` gives the window's settings and takes the
    // failure notice; `port` names the port and device the line came in on.
    ResultLog(const QString &path, PanelDisplay &display, const SerialPort &port,
              QObject *parent = nullptr);

    // The results file in the platform's data location for this program
    // (organisation and application name must be set before).
    static QString defaultPath();

    QString path() const { return m_path; }
    // Rows written since the log was made.
    int rowsWritten() const { return m_rows; }

    // Appends the row of `line`, the complete reply line just shown.
    void record(const QString &line);

    // The parts of a row, for tests and benchmarks.
    static QStringList headerFields();
    QStringList rowFields(const QString &line, const QDateTime &when) const;
    static QByteArray csvLine(const QStringList &fields);
    // Local time in ISO 8601 with its UTC offset: 2026-12-07T14:05:09+01:00.
    static QString isoLocalTime(const QDateTime &when);

private:
    bool append(const QByteArray &row, QString &why);

    QString m_path;
    PanelDisplay &m_display;
    const SerialPort &m_port;
    int m_rows = 0;
    bool m_failing = false;
};
