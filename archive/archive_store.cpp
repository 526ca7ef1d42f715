// SPDX-License-Identifier: MIT
#include "archive_store.h"

#include "archive_settings.h"
#include "iso_time.h"
#include "row_content.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

#include <cmath>

namespace {

// Text as a column takes it: never a null QString, which would bind NULL.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

QVariant real(const std::optional<double> &value)
{
    return value && std::isfinite(*value) ? QVariant(*value)
                                          : QVariant(QMetaType::fromType<double>());
}

QString timeText(const QDateTime &when)
{
    return when.isValid() ? IsoTime::withOffset(when) : QString();
}

QString uuidText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces);
}

Failure notOpen()
{
    return {Failure::Kind::Database, QStringLiteral("the archive is not open")};
}

// The highest leak rate and the static error of largest size in the bench
// check report's JSON form; none where it holds none.
void reportFigures(const QByteArray &json, std::optional<double> &leak,
                   std::optional<double> &staticError)
{
    const QJsonObject report = QJsonDocument::fromJson(json).object();
    for (const QJsonValue test : report.value(QLatin1String("leak_tests")).toArray()) {
        const QJsonValue rate = test.toObject().value(QLatin1String("rate_mmHg_per_min"));
        if (rate.isDouble() && (!leak || rate.toDouble() > *leak))
            leak = rate.toDouble();
    }
    for (const QJsonValue point : report.value(QLatin1String("static_points")).toArray()) {
        const QJsonValue error = point.toObject().value(QLatin1String("error_mmHg"));
        if (error.isDouble() &&
            (!staticError || std::abs(error.toDouble()) > std::abs(*staticError)))
            staticError = error.toDouble();
    }
}

} // namespace

ArchiveStore::ArchiveStore(const ArchiveLocation &local, const QString &station)
    : m_connection(local)
    , m_station(station)
{}

bool ArchiveStore::open()
{
    m_failure = Failure();
    const QString path = location().path();
    if (path == ArchiveSettings::defaultArchiveFile())
        QDir().mkpath(QFileInfo(path).absolutePath());
    Failure why;
    if (!m_connection.open(ArchiveConnection::Create::IfMissing, &why))
        return fail(QStringLiteral("open the archive"), why);
    QSqlDatabase db = m_connection.database();
    if (!ArchiveSchema::prepare(db, ArchiveSchema::Mode::CreateOrMigrate, &why)) {
        m_connection.close();
        return fail(QStringLiteral("open the archive"), why);
    }
    return true;
}

void ArchiveStore::figures(const RunRecord &record, QVariant &leak, QVariant &staticError)
{
    std::optional<double> leakRate = record.leakMmHgPerMin;
    std::optional<double> error = record.staticErrorMmHg;
    std::optional<double> fromReport[2];
    reportFigures(record.reportJson, fromReport[0], fromReport[1]);
    leak = real(leakRate ? leakRate : fromReport[0]);
    staticError = real(error ? error : fromReport[1]);
}

QVariantList ArchiveStore::runValues(const RunRecord &record, qint64 seq, const QString &previous)
{
    QVariant leak;
    QVariant staticError;
    figures(record, leak, staticError);
    const QString plan = record.planName.isEmpty() ? RunRecord::freeCheck() : record.planName;
    return {text(uuidText(record.id)),
            text(record.station),
            seq,
            text(record.board),
            text(record.operatorName),
            text(record.instrument),
            text(record.calibrationDue.isValid() ? record.calibrationDue.toString(Qt::ISODate)
                                                 : QString()),
            text(plan),
            text(record.planVersion),
            text(record.planSha256),
            text(timeText(record.started)),
            text(timeText(record.ended)),
            record.started.toMSecsSinceEpoch(),
            text(record.programVersion),
            text(record.verdict),
            text(record.traceSha256),
            leak,
            staticError,
            text(previous),
            text(QString::fromUtf8(record.stepsJson)),
            text(QString::fromUtf8(record.reportJson)),
            record.pdf.isNull() ? QByteArray("") : record.pdf};
}

QVariantList ArchiveStore::actValues(const ActRecord &act, qint64 seq, const QString &previous)
{
    return {text(uuidText(act.id)),
            text(act.station),
            seq,
            text(uuidText(act.run)),
            ActRecord::kindName(act.kind),
            text(act.author),
            text(act.meaning),
            text(act.text),
            text(timeText(act.at)),
            text(previous)};
}

bool ArchiveStore::store(const RunRecord &given)
{
    m_failure = Failure();
    RunRecord record = given;
    if (record.station.isEmpty())
        record.station = m_station;
    const QString what = QStringLiteral("store run %1").arg(uuidText(record.id));
    if (const Failure problem = record.problem(); problem.failed())
        return fail(what, problem);
    Failure why;
    const RowValues values = [&record](qint64 seq, const QString &previous) {
        return runValues(record, seq, previous);
    };
    if (!storeRow(ArchiveSchema::Table::Runs, uuidText(record.id), record.station, values, &why))
        return fail(what, why);
    return true;
}

bool ArchiveStore::store(const ActRecord &given)
{
    m_failure = Failure();
    ActRecord act = given;
    if (act.station.isEmpty())
        act.station = m_station;
    const QString what =
        QStringLiteral("store the %1 %2 on run %3")
            .arg(ActRecord::kindName(act.kind), uuidText(act.id), uuidText(act.run));
    if (const Failure problem = act.problem(); problem.failed())
        return fail(what, problem);
    Failure why;
    bool known = false;
    if (!isOpen())
        return fail(what, notOpen());
    if (!exists(ArchiveSchema::Table::Runs, uuidText(act.run), known, &why))
        return fail(what, why);
    if (!known)
        return fail(what, Failure::refused(QStringLiteral("the archive holds no such run")));
    const RowValues values = [&act](qint64 seq, const QString &previous) {
        return actValues(act, seq, previous);
    };
    if (!storeRow(ArchiveSchema::Table::Acts, uuidText(act.id), act.station, values, &why))
        return fail(what, why);
    return true;
}

// One transaction: the write lock, the chain's end, the row, the commit.
bool ArchiveStore::storeRow(ArchiveSchema::Table table, const QString &uuid, const QString &station,
                            const RowValues &values, Failure *why)
{
    if (!isOpen())
        return ::fail(why, notOpen());
    if (!m_connection.begin(why))
        return false;
    bool taken = false;
    ChainEnd end;
    bool done = exists(table, uuid, taken, why) && !taken && chainEnd(station, end, why);
    if (done) {
        const QVariantList row = values(end.seq + 1, end.sha256);
        done = insert(table, row, RowContent::sha256(table, row), why);
    } else if (taken) {
        ::fail(why, Failure::refused(QStringLiteral("the archive holds it already")));
    }
    if (!done) {
        m_connection.rollback();
        return false;
    }
    return m_connection.commit(why);
}

bool ArchiveStore::exists(ArchiveSchema::Table table, const QString &uuid, bool &found,
                          Failure *why)
{
    QSqlQuery query(m_connection.database());
    query.prepare(
        QStringLiteral("SELECT 1 FROM %1 WHERE uuid = ?").arg(ArchiveSchema::tableName(table)));
    query.addBindValue(uuid);
    if (!query.exec())
        return ::fail(why, m_connection.failureOf(query.lastError()));
    found = query.next();
    return true;
}

// The station's last row, of runs and acts together; seq 0 and the chain's
// start when it has none.
bool ArchiveStore::chainEnd(const QString &station, ChainEnd &end, Failure *why)
{
    end = {0, RowContent::chainStart()};
    for (const ArchiveSchema::Table table :
         {ArchiveSchema::Table::Runs, ArchiveSchema::Table::Acts}) {
        QSqlQuery query(m_connection.database());
        query.prepare(QStringLiteral("SELECT seq, content_sha256 FROM %1 WHERE station = ? "
                                     "ORDER BY seq DESC LIMIT 1")
                          .arg(ArchiveSchema::tableName(table)));
        query.addBindValue(station);
        if (!query.exec())
            return ::fail(why, m_connection.failureOf(query.lastError()));
        if (query.next() && query.value(0).toLongLong() > end.seq)
            end = {query.value(0).toLongLong(), query.value(1).toString()};
    }
    return true;
}

bool ArchiveStore::insert(ArchiveSchema::Table table, const QVariantList &values,
                          const QString &sha256, Failure *why)
{
    const int count = int(ArchiveSchema::columns(table).size()) + 1;
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    QSqlQuery query(m_connection.database());
    query.prepare(QStringLiteral("INSERT INTO %1 (%2, content_sha256) VALUES (%3)")
                      .arg(ArchiveSchema::tableName(table), ArchiveSchema::columnList(table),
                           marks.join(QStringLiteral(", "))));
    for (const QVariant &value : values)
        query.addBindValue(value);
    query.addBindValue(sha256);
    if (query.exec())
        return true;
    return ::fail(why, m_connection.failureOf(query.lastError()));
}

bool ArchiveStore::fail(const QString &what, const Failure &why)
{
    m_failure = why.within(QStringLiteral("cannot %1 in %2").arg(what, location().path()));
    return false;
}
