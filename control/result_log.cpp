#include "result_log.h"

#include "port_table.h"
#include "result_row.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

Q_LOGGING_CATEGORY(lcResults, "tarnvik.results")

namespace {

// Puts the written row on the disk. A file that cannot be synced (a pipe, a
// terminal) has nothing to lose on a power cut and counts as synced.
bool syncToDisk(int handle)
{
#ifdef Q_OS_WIN
    return ::_commit(handle) == 0 || errno == EBADF;
#else
    return ::fsync(handle) == 0 || errno == EINVAL || errno == EROFS;
#endif
}

} // namespace

ResultLog::ResultLog(const QString &path, PanelDisplay &display, const SerialPort &port,
                     QObject *parent)
    : QObject(parent)
    , m_path(path)
    , m_display(display)
    , m_port(port)
{}

QString ResultLog::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QString::fromLatin1(kFileName));
}

void ResultLog::record(const MeasurementEnd &end)
{
    const int port = m_port.commPort();
    const QByteArray row = ResultRow::csvLine(ResultRow::fields(
        end, PortTable::caption(port), m_port.deviceName(port), QDateTime::currentDateTime()));
    QString why;
    if (append(row, why)) {
        ++m_rows;
        m_failing = false;
        return;
    }
    qCWarning(lcResults, "%s", qPrintable(why));
    if (!m_failing)
        m_display.reportFailure(why);
    m_failing = true;
}

bool ResultLog::append(const QByteArray &row, QString &why)
{
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath())) {
        why = QStringLiteral("Result not written: cannot create the folder %1")
                  .arg(QDir::toNativeSeparators(info.absolutePath()));
        return false;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        why = QStringLiteral("Result not written to %1: %2")
                  .arg(QDir::toNativeSeparators(m_path), file.errorString());
        return false;
    }
    const QByteArray data =
        file.size() == 0 ? ResultRow::csvLine(ResultRow::headerFields()) + row : row;
    QString error;
    if (file.write(data) != data.size() || !file.flush())
        error = file.errorString();
    else if (!syncToDisk(file.handle()))
        error = QString::fromLocal8Bit(std::strerror(errno));
    file.close();
    if (error.isEmpty())
        return true;
    why =
        QStringLiteral("Result not written to %1: %2").arg(QDir::toNativeSeparators(m_path), error);
    return false;
}
