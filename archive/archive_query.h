// SPDX-License-Identifier: MIT
// The archive's history, from either engine: runs by board, time, verdict,
// station and plan; a board's earlier runs; the yield per day and per plan;
// the leak rate and the largest static error over time (columns filled when
// a run is stored, so no report is read for them); one run in full with the
// acts on it. Each query returns false, with why, only when the archive
// cannot be read (the kind as ArchiveConnection finds it), or for one run,
// when the run named is not there (NotFound) or is named ambiguously or
// wrongly (Refused). List queries use the indexes on (board, started_ms),
// (started_ms) and (verdict, started_ms).
#pragma once

#include "archive_connection.h"
#include "board_history.h"
#include "run_figures.h"
#include "run_filter.h"
#include "run_summary.h"
#include "yield_count.h"

#include <QList>
#include <QVariantMap>

#include <functional>

class QSqlQuery;

class ArchiveQuery
{
public:
    explicit ArchiveQuery(ArchiveConnection &connection);

    // Oldest first (the newest `limit` when the filter sets one).
    bool runs(const RunFilter &filter, QList<RunSummary> &runs, Failure *why);
    // The board's runs but `current` (the one just stored, when given).
    bool boardHistory(const QString &board, const QString &current, BoardHistory &history,
                      Failure *why);
    bool yieldPerDay(const RunFilter &filter, QList<YieldCount> &days, Failure *why);
    bool yieldPerPlan(const RunFilter &filter, QList<YieldCount> &plans, Failure *why);
    // Both in one pass over the runs, each ordered by its key's characters.
    bool yields(const RunFilter &filter, QList<YieldCount> &days, QList<YieldCount> &plans,
                Failure *why);
    // The runs with a leak rate or a static error, oldest first.
    bool figures(const RunFilter &filter, QList<RunSummary> &runs, Failure *why);
    // The same runs' figures with the limits of their JSON reports ("limits":
    // leak_mmHg_per_min, static_mmHg), where a report names them; a report
    // that is no JSON, or names no such number, gives none. Oldest first;
    // the newest `limit` when the filter sets one (the report is read for
    // each run taken).
    bool figuresWithLimits(const RunFilter &filter, QList<RunFigures> &figures, Failure *why);

    // Every run the filter takes, oldest first, a page at a time (memory does
    // not grow with the archive): each run's columns by name but the PDF,
    // with pdf_bytes (its size) and content_sha256.
    bool forEachRun(const RunFilter &filter, const std::function<void(const QVariantMap &)> &take,
                    Failure *why);

    // The run's full UUID from the UUID or its start (at least 8 characters);
    // why says so when there is none or more than one.
    bool resolve(const QString &given, QString &uuid, Failure *why);
    // Every column of the run by name, its SHA-256 as content_sha256.
    bool run(const QString &uuid, QVariantMap &row, Failure *why);
    // The acts on the run, in the order they were stored.
    bool actsOn(const QString &uuid, QList<QVariantMap> &acts, Failure *why);

private:
    // "WHERE ..." for the filter, its values bound to `query` after prepare().
    static QString where(const RunFilter &filter, QVariantList &values);
    bool exec(QSqlQuery &query, const QString &sql, const QVariantList &values, Failure *why);
    static RunSummary summaryOf(const QSqlQuery &query);
    // The condition that takes the runs with a figure, after the filter's.
    static QString withFigures(const RunFilter &filter, QVariantList &values);
    // The expression that reads the limit `key` from a run's JSON report, its
    // argument appended to `values`.
    QString reportLimit(const QString &key, QVariantList &values) const;
    bool yieldBy(const QString &key, const RunFilter &filter, QList<YieldCount> &counts,
                 Failure *why);
    static QString exportColumns();
    bool rows(const QString &sql, const QVariantList &values, QList<QVariantMap> &rows,
              Failure *why);

    ArchiveConnection &m_connection;
};
