// SPDX-License-Identifier: MIT
// One open connection to an archive, in the thread that made it (Qt's SQL
// connections belong to one thread): a SQLite file or a PostgreSQL database
// by its ArchiveLocation, under a name of its own, closed and removed when
// it goes. A SQLite archive is opened in WAL mode with synchronous=FULL, so a
// committed transaction is on the disk before commit returns and a process
// killed at any moment leaves each transaction whole or absent; a file
// another process holds locked is waited for (the busy timeout), then
// refused with that cause. A SQLite file must be a regular file or nothing
// yet (never a FIFO, device or folder). Write transactions begin here:
// begin() takes SQLite's write lock at once (BEGIN IMMEDIATE), so a writer
// never fails half-way for a lock another writer holds. The failures are
// said in words with the system's cause (a full disk, a file size limit),
// as a Failure of the kind a caller acts on: InUse for a lock another program
// holds, NoSpace for a full disk or a file that may grow no more, NoAnswer
// for a server that stayed silent past its time, NotFound for an archive
// file that is not there, Refused for a path that is no regular file, and
// Database for what else the database refused or where it cannot be reached.
// A connection opened read-only (the history's searches) can change nothing:
// a SQLite file is opened read-only, a PostgreSQL session's transactions are
// read-only.
#pragma once

#include "archive_location.h"
#include "failure.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

class ArchiveConnection
{
public:
    enum class Create { IfMissing, ExistingOnly };

    explicit ArchiveConnection(const ArchiveLocation &location);
    ~ArchiveConnection();
    ArchiveConnection(const ArchiveConnection &) = delete;
    ArchiveConnection &operator=(const ArchiveConnection &) = delete;

    // How long a SQLite write waits for another writer's lock; 5 s unless set.
    void setBusyTimeoutMs(int ms) { m_busyTimeoutMs = ms; }
    // PostgreSQL: how long the connection waits for the server; 10 s unless set.
    void setConnectTimeoutS(int s) { m_connectTimeoutS = s; }
    // Opens for reading only (before open()): a SQLite file read-only, which
    // must exist then and is never made; a PostgreSQL session whose
    // transactions are read-only.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    // Opens the connection; false, with why in `why`, when it cannot.
    bool open(Create create, Failure *why);
    bool isOpen() const;
    void close();
    QSqlDatabase database() const;
    const ArchiveLocation &location() const { return m_location; }

    // A write transaction (SQLite: holding the write lock from its start).
    bool begin(Failure *why);
    bool commit(Failure *why);
    void rollback();

    // The database's words for a failure and its kind, with the cause where
    // it can be found: a lock held by another program (and how long it was
    // waited for), a full disk, a file size limit.
    Failure failureOf(const QSqlError &error) const;
    // The database's words for a failure and its kind; for a SQLite file,
    // with the cause as failureOf() finds it.
    static Failure describe(const QSqlError &error, const QString &sqlitePath = QString());

private:
    bool openSqlite(Create create, Failure *why);
    bool openPostgres(Failure *why);

    ArchiveLocation m_location;
    QString m_name;
    int m_busyTimeoutMs = 5000;
    int m_connectTimeoutS = 10;
    bool m_readOnly = false;
};
