// SPDX-License-Identifier: MIT
#include "chain_verifier.h"

#include "row_content.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <deque>

namespace {

using Table = ArchiveSchema::Table;

struct ChainRow
{
    Table table = Table::Runs;
    qint64 seq = 0;
    QString uuid;
    QString previous; // the previous-row SHA-256 it holds
    QString stored;   // its own SHA-256 as stored
    QString computed; // its own SHA-256 from its content now
};

// One table's rows of one station in the order of their numbers, a page at a time.
class StationCursor
{
public:
    StationCursor(ArchiveConnection &connection, Table table, const QString &station)
        : m_connection(connection)
        , m_table(table)
        , m_station(station)
    {}

    // The next row, or none at the end; false when the table cannot be read.
    bool peek(const ChainRow *&row, QString *why)
    {
        if (m_rows.empty() && !m_ended && !fetch(why))
            return false;
        row = m_rows.empty() ? nullptr : &m_rows.front();
        return true;
    }
    void pop() { m_rows.pop_front(); }

private:
    static constexpr int kPage = 256;

    bool fetch(QString *why)
    {
        const QList<ArchiveSchema::Column> &columns = ArchiveSchema::columns(m_table);
        QSqlQuery query(m_connection.database());
        query.setForwardOnly(true);
        query.prepare(
            QStringLiteral("SELECT %1, content_sha256 FROM %2 WHERE station = ? AND "
                           "seq > ? ORDER BY seq LIMIT %3")
                .arg(ArchiveSchema::columnList(m_table), ArchiveSchema::tableName(m_table))
                .arg(kPage));
        query.addBindValue(m_station);
        query.addBindValue(m_after);
        if (!query.exec()) {
            *why = m_connection.reason(query.lastError());
            return false;
        }
        int count = 0;
        while (query.next()) {
            QVariantList values;
            for (int i = 0; i < columns.size(); ++i)
                values << query.value(i);
            ChainRow row{
                m_table,
                values.at(2).toLongLong(),
                values.at(0).toString(),
                values.at(ArchiveSchema::columnIndex(m_table, QStringLiteral("prev_sha256")))
                    .toString(),
                query.value(int(columns.size())).toString(),
                RowContent::sha256(m_table, values)};
            m_after = row.seq;
            m_rows.push_back(row);
            ++count;
        }
        m_ended = count < kPage;
        return true;
    }

    ArchiveConnection &m_connection;
    Table m_table;
    QString m_station;
    qint64 m_after = 0;
    bool m_ended = false;
    std::deque<ChainRow> m_rows;
};

QString kindOf(Table table)
{
    return table == Table::Runs ? QStringLiteral("run") : QStringLiteral("act");
}

// What is wrong with `row` after the row numbered `last` whose SHA-256 is
// `lastSha256`; empty when it holds.
QString breakOf(const ChainRow &row, qint64 last, const QString &lastSha256)
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

bool ChainVerifier::verify(QString *why)
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

bool ChainVerifier::stationsOf(QStringList &stations, QString *why)
{
    QSqlQuery query(m_connection.database());
    if (!query.exec(QStringLiteral("SELECT DISTINCT station FROM runs UNION "
                                   "SELECT DISTINCT station FROM acts"))) {
        *why = m_connection.reason(query.lastError());
        return false;
    }
    while (query.next())
        stations << query.value(0).toString();
    stations.sort();
    return true;
}

// Walks the station's runs and acts together in the order of their numbers
// up to the first row that does not hold.
bool ChainVerifier::verifyStation(const QString &station, QString *why)
{
    StationCursor runs(m_connection, Table::Runs, station);
    StationCursor acts(m_connection, Table::Acts, station);
    qint64 last = 0;
    QString lastSha256 = RowContent::chainStart();
    for (;;) {
        const ChainRow *run = nullptr;
        const ChainRow *act = nullptr;
        if (!runs.peek(run, why) || !acts.peek(act, why))
            return false;
        if (!run && !act)
            return true;
        const bool runFirst = run && (!act || run->seq <= act->seq);
        const ChainRow row = runFirst ? *run : *act;
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
