// SPDX-License-Identifier: MIT
#include "archive_connection.h"

#include "plain_file_check.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStorageInfo>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

QAtomicInt g_connections;

bool fail(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

// SQLite's primary result codes that have a cause outside the database.
constexpr int kBusy = 5;
constexpr int kLocked = 6;
constexpr int kIoError = 10;
constexpr int kFull = 13;

// What limits the archive's file besides the database: the disk's free
// space when it is nearly gone, and a file size limit of the process.
QString diskCause(const QString &path)
{
    QStringList causes;
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    if (disk.isValid() && disk.bytesAvailable() < 4 * 1024 * 1024)
        causes << QStringLiteral("the disk holding %1 has %2 bytes free")
                      .arg(QFileInfo(path).absolutePath())
                      .arg(disk.bytesAvailable());
#ifdef Q_OS_UNIX
    struct rlimit limit = {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        causes << QStringLiteral("this program may write files of at most %1 bytes (ulimit -f)")
                      .arg(static_cast<qulonglong>(limit.rlim_cur));
#endif
    return causes.join(QStringLiteral("; "));
}

} // namespace

ArchiveConnection::ArchiveConnection(const ArchiveLocation &location)
    : m_location(location)
    , m_name(QStringLiteral("tarnvik-archive-%1").arg(g_connections.fetchAndAddRelaxed(1)))
{}

ArchiveConnection::~ArchiveConnection()
{
    close();
}

bool ArchiveConnection::isOpen() const
{
    return QSqlDatabase::contains(m_name) && database().isOpen();
}

void ArchiveConnection::close()
{
    if (!QSqlDatabase::contains(m_name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase ArchiveConnection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

bool ArchiveConnection::open(Create create, QString *why)
{
    close();
    const bool opened = m_location.isSqlite() ? openSqlite(create, why) : openPostgres(why);
    if (!opened)
        close();
    return opened;
}

bool ArchiveConnection::openSqlite(Create create, QString *why)
{
    const QString path = m_location.path();
    const PlainFileCheck check(path);
    if (!check.isPlain())
        return fail(why, QStringLiteral("%1 cannot be used: %2").arg(path, check.reason()));
    if (check.kind() == PlainFileCheck::Kind::Missing &&
        (create == Create::ExistingOnly || m_readOnly))
        return fail(why, QStringLiteral("there is no archive %1").arg(path));
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir())
        return fail(why, QStringLiteral("the folder %1 of the archive does not exist").arg(folder));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return fail(why,
                    QStringLiteral("Qt's SQLite driver is missing (Debian: libqt6sql6-sqlite)"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.setConnectOptions(
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
            .arg(m_busyTimeoutMs)
            .arg(m_readOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
    if (!db.open())
        return fail(why,
                    QStringLiteral("%1 cannot be opened: %2").arg(path, reason(db.lastError())));
    // A reader takes the file's journal mode as it is and writes nothing.
    if (m_readOnly)
        return true;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.next() ||
        query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return fail(why, QStringLiteral("%1 cannot be used: %2")
                             .arg(path, query.lastError().isValid()
                                            ? reason(query.lastError())
                                            : QStringLiteral("it cannot be put in WAL mode")));
    query.finish();
    if (!query.exec(QStringLiteral("PRAGMA synchronous=FULL")))
        return fail(why,
                    QStringLiteral("%1 cannot be used: %2").arg(path, reason(query.lastError())));
    return true;
}

bool ArchiveConnection::openPostgres(QString *why)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return fail(why, QStringLiteral("Qt's PostgreSQL driver is missing (Debian: "
                                        "libqt6sql6-psql)"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    db.setHostName(m_location.host());
    db.setPort(m_location.port());
    db.setDatabaseName(m_location.databaseName());
    db.setUserName(m_location.user());
    QStringList options;
    bool timeoutGiven = false;
    for (const auto &[key, value] : m_location.parameters()) {
        options << key + QLatin1Char('=') + value;
        timeoutGiven = timeoutGiven || key == QLatin1String("connect_timeout");
    }
    if (!timeoutGiven)
        options << QStringLiteral("connect_timeout=%1").arg(m_connectTimeoutS);
    db.setConnectOptions(options.join(QLatin1Char(';')));
    if (!db.open())
        return fail(why, QStringLiteral("%1 cannot be reached: %2")
                             .arg(m_location.text(), reason(db.lastError())));
    QSqlQuery query(db);
    if (m_readOnly &&
        !query.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY")))
        return fail(why, QStringLiteral("%1 cannot be read: %2")
                             .arg(m_location.text(), reason(query.lastError())));
    return true;
}

bool ArchiveConnection::begin(QString *why)
{
    QSqlQuery query(database());
    const QString statement =
        m_location.isSqlite() ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
    if (query.exec(statement))
        return true;
    return fail(why, reason(query.lastError()));
}

bool ArchiveConnection::commit(QString *why)
{
    QSqlQuery query(database());
    if (query.exec(QStringLiteral("COMMIT")))
        return true;
    const QString failure = reason(query.lastError());
    query.finish();
    rollback();
    return fail(why, failure);
}

void ArchiveConnection::rollback()
{
    if (!isOpen())
        return;
    QSqlQuery query(database());
    query.exec(QStringLiteral("ROLLBACK"));
}

QString ArchiveConnection::reason(const QSqlError &error) const
{
    QString text = describe(error, m_location.isSqlite() ? m_location.path() : QString());
    const int code = error.nativeErrorCode().toInt() & 0xff;
    if (m_location.isSqlite() && (code == kBusy || code == kLocked))
        text += QStringLiteral(" (waited %1 s)").arg(m_busyTimeoutMs / 1000.0);
    return text;
}

QString ArchiveConnection::describe(const QSqlError &error, const QString &sqlitePath)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("unknown failure");
    if (sqlitePath.isEmpty())
        return text;
    const int code = error.nativeErrorCode().toInt() & 0xff;
    if (code == kBusy || code == kLocked)
        return QStringLiteral("%1: another program holds the archive locked").arg(text);
    if (code == kFull || code == kIoError) {
        const QString cause = diskCause(sqlitePath);
        if (!cause.isEmpty())
            return QStringLiteral("%1: %2").arg(text, cause);
    }
    return text;
}
