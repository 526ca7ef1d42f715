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

// SQLite's primary result codes that have a cause outside the database.
constexpr int kBusy = 5;
constexpr int kLocked = 6;
constexpr int kIoError = 10;
constexpr int kFull = 13;

// PostgreSQL's SQLSTATE of a statement cancelled, here by statement_timeout.
const QLatin1String kQueryCanceled("57014");
// libpq's words when connect_timeout passed without an answer from the server.
const QLatin1String kConnectTimedOut("timeout expired");

int sqliteCode(const QSqlError &error)
{
    return error.nativeErrorCode().toInt() & 0xff;
}

// The kind of a PostgreSQL failure: a server that stayed silent past the
// connection's or the statement's time, or what else the database said.
Failure::Kind postgresKind(const QSqlError &error)
{
    if (error.nativeErrorCode() == kQueryCanceled)
        return Failure::Kind::NoAnswer;
    if (error.type() == QSqlError::ConnectionError &&
        error.databaseText().contains(kConnectTimedOut))
        return Failure::Kind::NoAnswer;
    return Failure::Kind::Database;
}

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

bool ArchiveConnection::open(Create create, Failure *why)
{
    close();
    const bool opened = m_location.isSqlite() ? openSqlite(create, why) : openPostgres(why);
    if (!opened)
        close();
    return opened;
}

bool ArchiveConnection::openSqlite(Create create, Failure *why)
{
    const QString path = m_location.path();
    const PlainFileCheck check(path);
    if (!check.isPlain())
        return fail(why, Failure::refused(
                             QStringLiteral("%1 cannot be used: %2").arg(path, check.reason())));
    if (check.kind() == PlainFileCheck::Kind::Missing &&
        (create == Create::ExistingOnly || m_readOnly))
        return fail(why,
                    {Failure::Kind::NotFound, QStringLiteral("there is no archive %1").arg(path)});
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir())
        return fail(why,
                    {Failure::Kind::NotFound,
                     QStringLiteral("the folder %1 of the archive does not exist").arg(folder)});
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return fail(why,
                    {Failure::Kind::NotFound,
                     QStringLiteral("Qt's SQLite driver is missing (Debian: libqt6sql6-sqlite)")});
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.setConnectOptions(
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
            .arg(m_busyTimeoutMs)
            .arg(m_readOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
    if (!db.open())
        return fail(
            why, failureOf(db.lastError()).within(QStringLiteral("%1 cannot be opened").arg(path)));
    // A reader takes the file's journal mode as it is and writes nothing.
    if (m_readOnly)
        return true;
    const QString unusable = QStringLiteral("%1 cannot be used").arg(path);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.next() ||
        query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return fail(why, (query.lastError().isValid()
                              ? failureOf(query.lastError())
                              : Failure(Failure::Kind::Database,
                                        QStringLiteral("it cannot be put in WAL mode")))
                             .within(unusable));
    query.finish();
    if (!query.exec(QStringLiteral("PRAGMA synchronous=FULL")))
        return fail(why, failureOf(query.lastError()).within(unusable));
    return true;
}

bool ArchiveConnection::openPostgres(Failure *why)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return fail(why, {Failure::Kind::NotFound,
                          QStringLiteral("Qt's PostgreSQL driver is missing (Debian: "
                                         "libqt6sql6-psql)")});
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
        return fail(why,
                    failureOf(db.lastError())
                        .within(QStringLiteral("%1 cannot be reached").arg(m_location.text())));
    QSqlQuery query(db);
    if (m_readOnly &&
        !query.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY")))
        return fail(why, failureOf(query.lastError())
                             .within(QStringLiteral("%1 cannot be read").arg(m_location.text())));
    return true;
}

bool ArchiveConnection::begin(Failure *why)
{
    QSqlQuery query(database());
    const QString statement =
        m_location.isSqlite() ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
    if (query.exec(statement))
        return true;
    return fail(why, failureOf(query.lastError()));
}

bool ArchiveConnection::commit(Failure *why)
{
    QSqlQuery query(database());
    if (query.exec(QStringLiteral("COMMIT")))
        return true;
    const Failure failure = failureOf(query.lastError());
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

Failure ArchiveConnection::failureOf(const QSqlError &error) const
{
    Failure failure = describe(error, m_location.isSqlite() ? m_location.path() : QString());
    const int code = sqliteCode(error);
    if (m_location.isSqlite() && (code == kBusy || code == kLocked))
        failure.text += QStringLiteral(" (waited %1 s)").arg(m_busyTimeoutMs / 1000.0);
    return failure;
}

Failure ArchiveConnection::describe(const QSqlError &error, const QString &sqlitePath)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("unknown failure");
    if (sqlitePath.isEmpty())
        return {postgresKind(error), text};
    const int code = sqliteCode(error);
    if (code == kBusy || code == kLocked)
        return {Failure::Kind::InUse,
                QStringLiteral("%1: another program holds the archive locked").arg(text)};
    if (code == kFull || code == kIoError) {
        // A write the disk or the file size limit refused is told as SQLITE_FULL
        // or, past a file size limit, as an I/O error.
        const QString cause = diskCause(sqlitePath);
        if (!cause.isEmpty())
            return {Failure::Kind::NoSpace, QStringLiteral("%1: %2").arg(text, cause)};
        return {code == kFull ? Failure::Kind::NoSpace : Failure::Kind::Io, text};
    }
    return {Failure::Kind::Database, text};
}
