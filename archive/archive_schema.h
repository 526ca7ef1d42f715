// SPDX-License-Identifier: MIT
// The archive's tables, in one place for SQLite and PostgreSQL: the runs and
// the acts on them (both append-only, chained per station), the schema's
// version, and on the local SQLite archive only the note of what the push
// has copied to the line's database. Only the type of the PDF's column
// differs between the engines (BLOB, BYTEA). prepare() creates the tables in
// an empty database and migrates an older schema, step by step, in one
// transaction; a schema newer than the program's is refused. The column
// lists here are also the order of the canonical serialisation (RowContent)
// and of the rows the push copies.
#pragma once

#include "failure.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class ArchiveSchema
{
public:
    static constexpr int kVersion = 2;

    enum class Engine { Sqlite, Postgres };
    enum class Table { Runs, Acts };
    enum class ColumnType { Text, Integer, Real, Bytes };
    // What prepare() may do: make or migrate the schema, or only find it current.
    enum class Mode { CreateOrMigrate, RequireCurrent };

    struct Column
    {
        QString name;
        ColumnType type;
    };

    static Engine engineOf(const QSqlDatabase &db);
    static QString tableName(Table table);
    // Every column of the table but the row's own SHA-256, in canonical order.
    static const QList<Column> &columns(Table table);
    static QString columnList(Table table);
    // The column's place in columns(table), -1 when there is none.
    static int columnIndex(Table table, const QString &name);

    // Makes the database's schema current (or checks that it is, by `mode`).
    // False, with why in `why`, when it cannot: a schema that is foreign,
    // missing, older (RequireCurrent) or newer than the program's is a
    // Database failure, as is what the database refused.
    static bool prepare(QSqlDatabase &db, Mode mode, Failure *why);
    // The schema version a database holds: 0 when it holds no archive.
    static bool versionOf(QSqlDatabase &db, int &version, Failure *why);

private:
    static QStringList steps(int from, Engine engine);
    static bool migrate(QSqlDatabase &db, int from, Failure *why);
};
