// SPDX-License-Identifier: MIT
#include "archive_query.h"

#include "archive_schema.h"

#include <QMap>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString kSummaryColumns = QStringLiteral(
    "uuid, station, seq, board, operator_name, plan_name, plan_version, started, ended, "
    "started_ms, verdict, leak_mmhg_per_min, static_error_mmhg");

std::optional<double> optionalReal(const QVariant &value)
{
    return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
}

// A number read from a report: none for NULL, a text that is no number, or
// one that is not finite.
std::optional<double> optionalNumber(const QVariant &value)
{
    bool ok = false;
    const double number = value.isNull() ? 0.0 : value.toString().toDouble(&ok);
    return ok && std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
}

Failure noRun(const QString &run)
{
    return {Failure::Kind::NotFound, QStringLiteral("the archive holds no run %1").arg(run)};
}

} // namespace

ArchiveQuery::ArchiveQuery(ArchiveConnection &connection)
    : m_connection(connection)
{}

QString ArchiveQuery::where(const RunFilter &filter, QVariantList &values)
{
    QStringList conditions;
    const auto equal = [&](const char *column, const QString &value) {
        if (!value.isEmpty()) {
            conditions << QStringLiteral("%1 = ?").arg(QLatin1String(column));
            values << value;
        }
    };
    equal("board", filter.board);
    equal("verdict", filter.verdict);
    equal("station", filter.station);
    equal("plan_name", filter.plan);
    if (filter.since.isValid()) {
        conditions << QStringLiteral("started_ms >= ?");
        values << filter.since.toMSecsSinceEpoch();
    }
    if (filter.until.isValid()) {
        conditions << QStringLiteral("started_ms < ?");
        values << filter.until.toMSecsSinceEpoch();
    }
    return conditions.isEmpty()
               ? QString()
               : QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
}

bool ArchiveQuery::exec(QSqlQuery &query, const QString &sql, const QVariantList &values,
                        Failure *why)
{
    query.setForwardOnly(true);
    if (query.prepare(sql)) {
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (query.exec())
            return true;
    }
    return fail(why, m_connection.failureOf(query.lastError()));
}

RunSummary ArchiveQuery::summaryOf(const QSqlQuery &query)
{
    RunSummary run;
    run.uuid = query.value(0).toString();
    run.station = query.value(1).toString();
    run.seq = query.value(2).toLongLong();
    run.board = query.value(3).toString();
    run.operatorName = query.value(4).toString();
    run.plan = query.value(5).toString();
    run.planVersion = query.value(6).toString();
    run.started = query.value(7).toString();
    run.ended = query.value(8).toString();
    run.startedMs = query.value(9).toLongLong();
    run.verdict = query.value(10).toString();
    run.leakMmHgPerMin = optionalReal(query.value(11));
    run.staticErrorMmHg = optionalReal(query.value(12));
    return run;
}

bool ArchiveQuery::runs(const RunFilter &filter, QList<RunSummary> &runs, Failure *why)
{
    QVariantList values;
    QString sql =
        QStringLiteral("SELECT %1 FROM runs%2").arg(kSummaryColumns, where(filter, values));
    const bool newest = filter.limit > 0;
    sql += newest ? QStringLiteral(" ORDER BY started_ms DESC, station DESC, seq DESC LIMIT %1")
                        .arg(filter.limit)
                  : QStringLiteral(" ORDER BY started_ms, station, seq");
    QSqlQuery query(m_connection.database());
    if (!exec(query, sql, values, why))
        return false;
    runs.clear();
    while (query.next())
        runs << summaryOf(query);
    if (newest)
        std::reverse(runs.begin(), runs.end());
    return true;
}

bool ArchiveQuery::boardHistory(const QString &board, const QString &current, BoardHistory &history,
                                Failure *why)
{
    QSqlQuery query(m_connection.database());
    if (!exec(query, QStringLiteral("SELECT count(*) FROM runs WHERE board = ? AND uuid <> ?"),
              {board, current.isNull() ? QStringLiteral("") : current}, why))
        return false;
    history = BoardHistory();
    history.earlierRuns = query.next() ? query.value(0).toInt() : 0;
    query.finish();
    if (!exec(query,
              QStringLiteral("SELECT %1 FROM runs WHERE board = ? AND uuid <> ? ORDER BY "
                             "started_ms DESC, seq DESC LIMIT 1")
                  .arg(kSummaryColumns),
              {board, current.isNull() ? QStringLiteral("") : current}, why))
        return false;
    if (query.next())
        history.last = summaryOf(query);
    return true;
}

bool ArchiveQuery::yieldBy(const QString &key, const RunFilter &filter, QList<YieldCount> &counts,
                           Failure *why)
{
    QVariantList values;
    const QString sql = QStringLiteral("SELECT %1 AS k, count(*), "
                                       "sum(CASE WHEN verdict = 'pass' THEN 1 ELSE 0 END), "
                                       "sum(CASE WHEN verdict = 'fail' THEN 1 ELSE 0 END), "
                                       "sum(CASE WHEN verdict = 'incomplete' THEN 1 ELSE 0 END) "
                                       "FROM runs%2 GROUP BY k ORDER BY k")
                            .arg(key, where(filter, values));
    QSqlQuery query(m_connection.database());
    if (!exec(query, sql, values, why))
        return false;
    counts.clear();
    while (query.next())
        counts << YieldCount{query.value(0).toString(), query.value(1).toInt(),
                             query.value(2).toInt(), query.value(3).toInt(),
                             query.value(4).toInt()};
    return true;
}

bool ArchiveQuery::yieldPerDay(const RunFilter &filter, QList<YieldCount> &days, Failure *why)
{
    // The date as the station wrote it: the bench's own day.
    return yieldBy(QStringLiteral("substr(started, 1, 10)"), filter, days, why);
}

bool ArchiveQuery::yieldPerPlan(const RunFilter &filter, QList<YieldCount> &plans, Failure *why)
{
    const QString key = QStringLiteral("plan_name || CASE WHEN plan_version = '' THEN '' ELSE "
                                       "' ' || plan_version END");
    return yieldBy(key, filter, plans, why);
}

namespace {

void count(QMap<QString, YieldCount> &counts, const QString &key, const QString &verdict, int runs)
{
    YieldCount &entry = counts[key];
    entry.key = key;
    entry.runs += runs;
    if (verdict == QLatin1String("pass"))
        entry.passed += runs;
    else if (verdict == QLatin1String("fail"))
        entry.failed += runs;
    else
        entry.incomplete += runs;
}

} // namespace

bool ArchiveQuery::yields(const RunFilter &filter, QList<YieldCount> &days,
                          QList<YieldCount> &plans, Failure *why)
{
    QVariantList values;
    const QString sql =
        QStringLiteral("SELECT substr(started, 1, 10) AS d, plan_name, plan_version, verdict, "
                       "count(*) FROM runs%1 GROUP BY d, plan_name, plan_version, verdict")
            .arg(where(filter, values));
    QSqlQuery query(m_connection.database());
    if (!exec(query, sql, values, why))
        return false;
    QMap<QString, YieldCount> byDay;
    QMap<QString, YieldCount> byPlan;
    while (query.next()) {
        const QString version = query.value(2).toString();
        const QString plan = query.value(1).toString() +
                             (version.isEmpty() ? QString() : QLatin1Char(' ') + version);
        const QString verdict = query.value(3).toString();
        const int runs = query.value(4).toInt();
        count(byDay, query.value(0).toString(), verdict, runs);
        count(byPlan, plan, verdict, runs);
    }
    days = byDay.values();
    plans = byPlan.values();
    return true;
}

QString ArchiveQuery::withFigures(const RunFilter &filter, QVariantList &values)
{
    QString condition = where(filter, values);
    return condition + (condition.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ")) +
           QStringLiteral("(leak_mmhg_per_min IS NOT NULL OR static_error_mmhg IS NOT NULL)");
}

bool ArchiveQuery::figures(const RunFilter &filter, QList<RunSummary> &runs, Failure *why)
{
    QVariantList values;
    const QString condition = withFigures(filter, values);
    QSqlQuery query(m_connection.database());
    if (!exec(query,
              QStringLiteral("SELECT %1 FROM runs%2 ORDER BY started_ms, station, seq")
                  .arg(kSummaryColumns, condition),
              values, why))
        return false;
    runs.clear();
    while (query.next())
        runs << summaryOf(query);
    return true;
}

// SQLite reads the report as JSON, when it is JSON. PostgreSQL's JSON
// functions would fail the whole query on one report that is not JSON (an
// empty one) or holds a \u0000, so there a pattern finds the number in the
// report's top-level "limits" object, which holds numbers only.
QString ArchiveQuery::reportLimit(const QString &key, QVariantList &values) const
{
    if (ArchiveSchema::engineOf(m_connection.database()) == ArchiveSchema::Engine::Sqlite) {
        values << QStringLiteral("$.limits.%1").arg(key);
        return QStringLiteral(
            "CASE WHEN json_valid(report_json) THEN json_extract(report_json, ?) END");
    }
    values << QStringLiteral("\"limits\"\\s*:\\s*\\{[^}]*\"%1\"\\s*:\\s*"
                             "(-?[0-9]{1,15}(\\.[0-9]{1,17})?([eE][-+]?[0-9]{1,2})?)\\s*[,}]")
                  .arg(key);
    return QStringLiteral("substring(report_json from ?)");
}

bool ArchiveQuery::figuresWithLimits(const RunFilter &filter, QList<RunFigures> &figures,
                                     Failure *why)
{
    QVariantList values;
    const QString leakLimit = reportLimit(QStringLiteral("leak_mmHg_per_min"), values);
    const QString staticLimit = reportLimit(QStringLiteral("static_mmHg"), values);
    const QString condition = withFigures(filter, values);
    const bool newest = filter.limit > 0;
    const QString order =
        newest ? QStringLiteral(" ORDER BY started_ms DESC, station DESC, seq DESC LIMIT %1")
                     .arg(filter.limit)
               : QStringLiteral(" ORDER BY started_ms, station, seq");
    QSqlQuery query(m_connection.database());
    if (!exec(query,
              QStringLiteral("SELECT started_ms, leak_mmhg_per_min, static_error_mmhg, %1, %2 "
                             "FROM runs%3%4")
                  .arg(leakLimit, staticLimit, condition, order),
              values, why))
        return false;
    figures.clear();
    while (query.next())
        figures << RunFigures{query.value(0).toLongLong(), optionalReal(query.value(1)),
                              optionalReal(query.value(2)), optionalNumber(query.value(3)),
                              optionalNumber(query.value(4))};
    if (newest)
        std::reverse(figures.begin(), figures.end());
    return true;
}

bool ArchiveQuery::resolve(const QString &given, QString &uuid, Failure *why)
{
    static const QRegularExpression form(QStringLiteral("^[0-9a-fA-F-]{8,36}$"));
    if (!form.match(given).hasMatch())
        return fail(
            why, Failure::refused(QStringLiteral("\"%1\" is no run's UUID (or its first 8 or more "
                                                 "characters)")
                                      .arg(given)));
    QSqlQuery query(m_connection.database());
    if (!exec(query,
              QStringLiteral("SELECT uuid FROM runs WHERE uuid LIKE ? ORDER BY uuid LIMIT 2"),
              {given.toLower() + QLatin1Char('%')}, why))
        return false;
    QStringList found;
    while (query.next())
        found << query.value(0).toString();
    if (found.size() == 1) {
        uuid = found.constFirst();
        return true;
    }
    if (found.isEmpty())
        return fail(why, noRun(given));
    return fail(why, Failure::refused(QStringLiteral("%1 is the start of more than one run's "
                                                     "UUID; give more of it")
                                          .arg(given)));
}

bool ArchiveQuery::rows(const QString &sql, const QVariantList &values, QList<QVariantMap> &rows,
                        Failure *why)
{
    QSqlQuery query(m_connection.database());
    if (!exec(query, sql, values, why))
        return false;
    rows.clear();
    while (query.next()) {
        const QSqlRecord record = query.record();
        QVariantMap row;
        for (int i = 0; i < record.count(); ++i)
            row.insert(record.fieldName(i), query.value(i));
        rows << row;
    }
    return true;
}

bool ArchiveQuery::run(const QString &uuid, QVariantMap &row, Failure *why)
{
    QList<QVariantMap> found;
    if (!rows(QStringLiteral("SELECT %1, content_sha256 FROM runs WHERE uuid = ?")
                  .arg(ArchiveSchema::columnList(ArchiveSchema::Table::Runs)),
              {uuid}, found, why))
        return false;
    if (found.isEmpty())
        return fail(why, noRun(uuid));
    row = found.constFirst();
    return true;
}

bool ArchiveQuery::actsOn(const QString &uuid, QList<QVariantMap> &acts, Failure *why)
{
    return rows(QStringLiteral("SELECT %1, content_sha256 FROM acts WHERE run_uuid = ? ORDER BY "
                               "acted_at, station, seq")
                    .arg(ArchiveSchema::columnList(ArchiveSchema::Table::Acts)),
                {uuid}, acts, why);
}

QString ArchiveQuery::exportColumns()
{
    QStringList names;
    for (const ArchiveSchema::Column &column : ArchiveSchema::columns(ArchiveSchema::Table::Runs)) {
        if (column.type != ArchiveSchema::ColumnType::Bytes)
            names << column.name;
    }
    return names.join(QStringLiteral(", ")) +
           QStringLiteral(", length(pdf) AS pdf_bytes, content_sha256");
}

bool ArchiveQuery::forEachRun(const RunFilter &filter,
                              const std::function<void(const QVariantMap &)> &take, Failure *why)
{
    constexpr int kPage = 500;
    QVariantList values;
    QString condition = where(filter, values);
    condition += condition.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
    const QString sql =
        QStringLiteral("SELECT %1 FROM runs%2(started_ms, station, seq) > (?, ?, ?) "
                       "ORDER BY started_ms, station, seq LIMIT %3")
            .arg(exportColumns(), condition)
            .arg(kPage);
    QVariantList after = {std::numeric_limits<qint64>::min(), QStringLiteral(""), qint64(0)};
    for (;;) {
        QList<QVariantMap> page;
        if (!rows(sql, values + after, page, why))
            return false;
        for (const QVariantMap &row : std::as_const(page))
            take(row);
        if (page.size() < kPage)
            return true;
        const QVariantMap &last = page.constLast();
        after = {last.value(QStringLiteral("started_ms")), last.value(QStringLiteral("station")),
                 last.value(QStringLiteral("seq"))};
    }
}
