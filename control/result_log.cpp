// SPDX-License-Identifier: MIT
#include "result_log.h"

#include "port_table.h"
#include "record_writer.h"
#include "result_row.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

ResultLog::ResultLog(const QString &path, RecordWriter &writer, const SerialPort &port,
                     QObject *parent)
    : QObject(parent)
    , m_path(path)
    , m_writer(writer)
    , m_port(port)
{
    m_writer.setResultsFile(path, ResultRow::csvLine(ResultRow::headerFields()));
}

QString ResultLog::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QString::fromLatin1(kFileName));
}

int ResultLog::rowsWritten() const
{
    return m_writer.rowsWritten();
}

void ResultLog::record(const MeasurementEnd &end)
{
    const int port = m_port.commPort();
    m_writer.addRow(ResultRow::csvLine(ResultRow::fields(
        end, PortTable::caption(port), m_port.deviceName(port), QDateTime::currentDateTime())));
}
