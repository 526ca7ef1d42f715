#include "result_log.h"

#include "byte_notation.h"
#include "port_table.h"
#include "reply_line.h"

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

using Field = PanelDisplay::Field;

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

QStringList ResultLog::headerFields()
{
    return {QStringLiteral("time"),     QStringLiteral("port"),      QStringLiteral("device"),
            QStringLiteral("patient"),  QStringLiteral("pump-up"),   QStringLiteral("cycle"),
            QStringLiteral("systolic"), QStringLiteral("diastolic"), QStringLiteral("mean"),
            QStringLiteral("pulse"),    QStringLiteral("outcome"),   QStringLiteral("raw line")};
}

QStringList ResultLog::rowFields(const QString &line, const QDateTime &when) const
{
    const bool result = ReplyLine::isResultLine(line);
    const int port = m_port.commPort();
    const auto value = [&](ReplyLine::Field field) {
        return result ? ReplyLine::take(line, field) : QString();
    };
    return {isoLocalTime(when),
            PortTable::caption(port),
            m_port.deviceName(port),
            m_display.text(Field::Patient),
            m_display.text(Field::PumpUp),
            m_display.text(Field::CycleTime),
            value(ReplyLine::kSystolic),
            value(ReplyLine::kDiastolic),
            value(ReplyLine::kMean),
            value(ReplyLine::kPulse),
            QString::fromLatin1(result ? kResult : kAborted),
            ByteNotation::readable(line.toLatin1())};
}

QString ResultLog::isoLocalTime(const QDateTime &when)
{
    const QDateTime local = when.toLocalTime();
    const int offset = local.offsetFromUtc();
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// RFC 4180: a field with a comma, a quote, CR or LF is quoted, its quotes
// doubled; every line ends with CRLF.
QByteArray ResultLog::csvLine(const QStringList &fields)
{
    QString text;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        QString field = fields.at(i);
        if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
            field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n')))
            field = QLatin1Char('"') + field.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                    QLatin1Char('"');
        if (i > 0)
            text += QLatin1Char(',');
        text += field;
    }
    text += QLatin1String("\r\n");
    return text.toUtf8();
}

void ResultLog::record(const QString &line)
{
    QString why;
    if (append(csvLine(rowFields(line, QDateTime::currentDateTime())), why)) {
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
    const QByteArray data = file.size() == 0 ? csvLine(headerFields()) + row : row;
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
