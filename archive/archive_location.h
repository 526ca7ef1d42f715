// SPDX-License-Identifier: MIT
// Where an archive is: a SQLite file (`sqlite:PATH`) or a PostgreSQL
// database (a libpq connection URI, `postgresql://USER@HOST[:PORT]/DBNAME`,
// where `?host=/socket/dir` may name a Unix-socket folder). parse() takes the
// text of the settings file or of tarnvik-archive's --database and refuses,
// with the reason, what it cannot use: above all a password in the URI
// (USER:PASSWORD@ or password=), since passwords come from libpq's own
// password file (~/.pgpass, passfile=) or PGPASSWORD, never from a settings
// file or a command line others can read; each refusal is a Refused
// Failure. ArchiveConnection opens a location.
#pragma once

#include "failure.h"

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

class ArchiveLocation
{
public:
    enum class Kind { Sqlite, Postgres };

    static ArchiveLocation sqliteFile(const QString &path);
    // `text` as written; a relative SQLite path is taken from `folder`.
    static std::optional<ArchiveLocation> parse(const QString &text, const QString &folder,
                                                Failure *why);

    Kind kind() const { return m_kind; }
    bool isSqlite() const { return m_kind == Kind::Sqlite; }
    // SQLite: the file.
    QString path() const { return m_path; }
    // PostgreSQL: the parts of the URI; empty (or -1) where it names none.
    QString user() const { return m_user; }
    QString host() const { return m_host; } // a host name, an address or a socket folder
    int port() const { return m_port; }
    QString databaseName() const { return m_database; }
    // Further libpq parameters (sslmode, connect_timeout, ...) as given.
    QList<QPair<QString, QString>> parameters() const { return m_parameters; }
    // "sqlite:/path" or the URI as given: for messages and as the name of a
    // line database the local archive notes what it pushed to.
    QString text() const { return m_text; }

private:
    static bool parsePostgres(const QString &text, ArchiveLocation &location, Failure *why);
    static bool parseAuthority(const QString &authority, ArchiveLocation &location, Failure *why);
    static bool parseQuery(const QString &query, ArchiveLocation &location, Failure *why);

    Kind m_kind = Kind::Sqlite;
    QString m_path;
    QString m_user;
    QString m_host;
    int m_port = -1;
    QString m_database;
    QList<QPair<QString, QString>> m_parameters;
    QString m_text;
};
