// SPDX-License-Identifier: MIT
#include "chain_verifier.h"

#include "row_content.h"
#include "station_cursor.h"

#include <QSqlQuery>

namespace {

using Table = ArchiveSchema::Table;

QString kindOf(Table table)
{
    return table == Table::Runs ? QStringLiteral("run") : QStringLiteral("act");
}

// What is wrong with `row` after the row numbered `last` whose SHA-256 is
// `lastSha256`; empty when it holds.
QString breakOf(const StationCursor::Row &row, qint64 last, const QString &lastSha256)
{
    if (row.seq > last + 1)
        return row.seq == last + 2
                   ? QStringLiteral("row #%1 before it is missing: removed behind the program's "
                                    "back")
                         .arg(last + 1)
                   : QStringLiteral("rows #%1 to #%2 before it are missing: removed behind the "
                                    "program's back")
                         .arg(last + 1)
                         .arg(row.seq - 1);
    if (row.seq <= last)
        return QStringLiteral("its number #%1 is taken already: inserted behind the program's "
                              "back")
            .arg(row.seq);
    if (row.computed != row.stored)
        return QStringLiteral("was changed behind the program's back: its content no longer "
                              "gives its SHA-256");
    if (row.previous != lastSha256)
        return QStringLiteral("does not follow the row before it (its previous-row SHA-256 "
                              "differs): inserted, or a row changed and sealed again");
    return QString();
}

} // namespace

QString ChainBreak::text() const
{
    return QStringLiteral("station %1, %2 %3 (#%4) %5").arg(station, kind, uuid).arg(seq).arg(what);
}

ChainVerifier::ChainVerifier(ArchiveConnection &connection)
    : m_connection(connection)
{}

bool ChainVerifier::verify(Failure *why)
{
    m_breaks.clear();
    m_rows = 0;
    QStringList stations;
    if (!stationsOf(stations, why))
        return false;
    m_stations = int(stations.size());
    for (const QString &station : std::as_const(stations)) {
        if (!verifyStation(station, why))
            return false;
    }
    return true;
}

bool ChainVerifier::stationsOf(QStringList &stations, Failure *why)
{
    QSqlQuery query(m_connection.database());
    if (!query.exec(QStringLiteral("SELECT DISTINCT station FROM runs UNION "
                                   "SELECT DISTINCT station FROM acts")))
        return fail(why, m_connection.failureOf(query.lastError()));
    while (query.next())
        stations << query.value(0).toString();
    stations.sort();
    return true;
}

// Walks the station's runs and acts together in the order of their numbers
// up to the first row that does not hold.
bool ChainVerifier::verifyStation(const QString &station, Failure *why)
{
    StationCursor runs(m_connection, Table::Runs, station);
    StationCursor acts(m_connection, Table::Acts, station);
    qint64 last = 0;
    QString lastSha256 = RowContent::chainStart();
    for (;;) {
        const StationCursor::Row *run = nullptr;
        const StationCursor::Row *act = nullptr;
        if (!runs.peek(run, why) || !acts.peek(act, why))
            return false;
        if (!run && !act)
            return true;
        const bool runFirst = run && (!act || run->seq <= act->seq);
        const StationCursor::Row row = runFirst ? *run : *act;
        (runFirst ? runs : acts).pop();
        ++m_rows;
        const QString what = breakOf(row, last, lastSha256);
        if (!what.isEmpty()) {
            m_breaks.append({station, row.seq, kindOf(row.table), row.uuid, what});
            return true;
        }
        last = row.seq;
        lastSha256 = row.stored;
    }
}
