// SPDX-License-Identifier: MIT
#include "archive_schema.h"

#include "archive_connection.h"

#include <QSqlDriver>
#include <QSqlQuery>

namespace {

// Version 1: the runs, the acts, the schema's version. %BYTES% is the only
// type that differs between the engines. Each row names its station, its
// number in the station's chain, the SHA-256 of the previous row of the
// station and its own. The large columns (the steps, the report, the PDF)
// come last, so that a list or a count reads the small ones without them.
const char *const kVersion1[] = {
    "CREATE TABLE archive_schema (version INTEGER NOT NULL)",
    "INSERT INTO archive_schema (version) VALUES (1)",
    "CREATE TABLE runs ("
    " uuid TEXT PRIMARY KEY,"
    " station TEXT NOT NULL,"
    " seq BIGINT NOT NULL,"
    " board TEXT NOT NULL,"
    " operator_name TEXT NOT NULL,"
    " instrument TEXT NOT NULL,"
    " calibration_due TEXT NOT NULL,"
    " plan_name TEXT NOT NULL,"
    " plan_version TEXT NOT NULL,"
    " plan_sha256 TEXT NOT NULL,"
    " started TEXT NOT NULL,"
    " ended TEXT NOT NULL,"
    " started_ms BIGINT NOT NULL,"
    " program_version TEXT NOT NULL,"
    " verdict TEXT NOT NULL CHECK (verdict IN ('pass', 'fail', 'incomplete')),"
    " trace_sha256 TEXT NOT NULL,"
    " leak_mmhg_per_min DOUBLE PRECISION,"
    " static_error_mmhg DOUBLE PRECISION,"
    " prev_sha256 TEXT NOT NULL,"
    " content_sha256 TEXT NOT NULL,"
    " steps_json TEXT NOT NULL,"
    " report_json TEXT NOT NULL,"
    " pdf %BYTES% NOT NULL,"
    " CONSTRAINT runs_station_seq UNIQUE (station, seq))",
    "CREATE INDEX runs_board_started ON runs (board, started_ms)",
    "CREATE INDEX runs_started ON runs (started_ms)",
    "CREATE INDEX runs_verdict_started ON runs (verdict, started_ms)",
    "CREATE TABLE acts ("
    " uuid TEXT PRIMARY KEY,"
    " station TEXT NOT NULL,"
    " seq BIGINT NOT NULL,"
    " run_uuid TEXT NOT NULL,"
    " kind TEXT NOT NULL CHECK (kind IN ('approval', 'note')),"
    " author TEXT NOT NULL,"
    " meaning TEXT NOT NULL,"
    " note TEXT NOT NULL,"
    " acted_at TEXT NOT NULL,"
    " prev_sha256 TEXT NOT NULL,"
    " content_sha256 TEXT NOT NULL,"
    " CONSTRAINT acts_station_seq UNIQUE (station, seq))",
    "CREATE INDEX acts_run ON acts (run_uuid)",
};

// Version 2: an index that holds what the yields count, so a search over a
// whole archive counts the runs from the index alone, never reading a run's
// row (its large columns make every row a page or more).
const char *const kVersion2[] = {
    "CREATE INDEX runs_yield ON runs (started_ms, started, plan_name, plan_version, verdict)",
    "UPDATE archive_schema SET version = 2",
};

// Version 1, local archive only: which rows the push has copied to which
// line database. Insert-only too.
const char *const kVersion1Local[] = {
    "CREATE TABLE pushed ("
    " target TEXT NOT NULL,"
    " uuid TEXT NOT NULL,"
    " pushed_at TEXT NOT NULL,"
    " PRIMARY KEY (target, uuid))",
};

using Column = ArchiveSchema::Column;
using Type = ArchiveSchema::ColumnType;

const QList<Column> kRunColumns = {
    {"uuid", Type::Text},
    {"station", Type::Text},
    {"seq", Type::Integer},
    {"board", Type::Text},
    {"operator_name", Type::Text},
    {"instrument", Type::Text},
    {"calibration_due", Type::Text},
    {"plan_name", Type::Text},
    {"plan_version", Type::Text},
    {"plan_sha256", Type::Text},
    {"started", Type::Text},
    {"ended", Type::Text},
    {"started_ms", Type::Integer},
    {"program_version", Type::Text},
    {"verdict", Type::Text},
    {"trace_sha256", Type::Text},
    {"leak_mmhg_per_min", Type::Real},
    {"static_error_mmhg", Type::Real},
    {"prev_sha256", Type::Text},
    {"steps_json", Type::Text},
    {"report_json", Type::Text},
    {"pdf", Type::Bytes},
};

const QList<Column> kActColumns = {
    {"uuid", Type::Text},        {"station", Type::Text}, {"seq", Type::Integer},
    {"run_uuid", Type::Text},    {"kind", Type::Text},    {"author", Type::Text},
    {"meaning", Type::Text},     {"note", Type::Text},    {"acted_at", Type::Text},
    {"prev_sha256", Type::Text},
};

Failure unusable(const QString &text)
{
    return {Failure::Kind::Database, text};
}

} // namespace

ArchiveSchema::Engine ArchiveSchema::engineOf(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL") ? Engine::Postgres : Engine::Sqlite;
}

QString ArchiveSchema::tableName(Table table)
{
    return table == Table::Runs ? QStringLiteral("runs") : QStringLiteral("acts");
}

const QList<ArchiveSchema::Column> &ArchiveSchema::columns(Table table)
{
    return table == Table::Runs ? kRunColumns : kActColumns;
}

int ArchiveSchema::columnIndex(Table table, const QString &name)
{
    const QList<Column> &list = columns(table);
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i).name == name)
            return int(i);
    }
    return -1;
}

QString ArchiveSchema::columnList(Table table)
{
    QStringList names;
    for (const Column &column : columns(table))
        names << column.name;
    return names.join(QStringLiteral(", "));
}

QStringList ArchiveSchema::steps(int from, Engine engine)
{
    QStringList statements;
    if (from < 1) {
        const QString bytes =
            engine == Engine::Postgres ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
        for (const char *statement : kVersion1)
            statements << QString::fromLatin1(statement).replace(QStringLiteral("%BYTES%"), bytes);
        if (engine == Engine::Sqlite) {
            for (const char *statement : kVersion1Local)
                statements << QString::fromLatin1(statement);
        }
    }
    // Each later version adds its statements from its predecessor's schema
    // and sets archive_schema.version.
    if (from < 2) {
        for (const char *statement : kVersion2)
            statements << QString::fromLatin1(statement);
    }
    return statements;
}

bool ArchiveSchema::versionOf(QSqlDatabase &db, int &version, Failure *why)
{
    version = 0;
    if (!db.tables().contains(QStringLiteral("archive_schema"))) {
        if (db.tables().contains(QStringLiteral("runs")))
            return fail(why, unusable(QStringLiteral("it holds a table \"runs\" but no "
                                                     "archive_schema: it is no tarnvik archive")));
        return true;
    }
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT version FROM archive_schema")) || !query.next())
        return fail(why, ArchiveConnection::describe(query.lastError())
                             .within(QStringLiteral("its schema version cannot be read")));
    version = query.value(0).toInt();
    return true;
}

bool ArchiveSchema::prepare(QSqlDatabase &db, Mode mode, Failure *why)
{
    int version = 0;
    if (!versionOf(db, version, why))
        return false;
    if (version == kVersion)
        return true;
    if (version > kVersion)
        return fail(why, unusable(QStringLiteral("its schema version %1 is newer than this "
                                                 "program's (%2): update tarnvik")
                                      .arg(version)
                                      .arg(kVersion)));
    if (mode == Mode::RequireCurrent)
        return fail(why, unusable(version == 0
                                      ? QStringLiteral("it holds no tarnvik archive: its owner "
                                                       "makes the tables with tarnvik-archive "
                                                       "--database URI init")
                                      : QStringLiteral("its schema version %1 is older than this "
                                                       "program's (%2): its owner migrates it "
                                                       "with tarnvik-archive --database URI init")
                                            .arg(version)
                                            .arg(kVersion)));
    return migrate(db, version, why);
}

bool ArchiveSchema::migrate(QSqlDatabase &db, int from, Failure *why)
{
    const QString cannot = QStringLiteral("its schema cannot be made");
    if (!db.transaction())
        return fail(why, ArchiveConnection::describe(db.lastError()).within(cannot));
    QSqlQuery query(db);
    for (const QString &statement : steps(from, engineOf(db))) {
        if (!query.exec(statement)) {
            const Failure failure = ArchiveConnection::describe(query.lastError());
            query.finish();
            db.rollback();
            return fail(why, failure.within(cannot));
        }
    }
    query.finish();
    if (!db.commit())
        return fail(why, ArchiveConnection::describe(db.lastError()).within(cannot));
    return true;
}
