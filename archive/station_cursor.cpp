// SPDX-License-Identifier: MIT
#include "station_cursor.h"

#include "row_content.h"

#include <QSqlQuery>

StationCursor::StationCursor(ArchiveConnection &connection, ArchiveSchema::Table table,
                             const QString &station)
    : m_connection(connection)
    , m_table(table)
    , m_station(station)
{}

bool StationCursor::peek(const Row *&row, Failure *why)
{
    if (m_rows.empty() && !m_ended && !fetch(why))
        return false;
    row = m_rows.empty() ? nullptr : &m_rows.front();
    return true;
}

bool StationCursor::fetch(Failure *why)
{
    const qsizetype columns = ArchiveSchema::columns(m_table).size();
    const int previous = ArchiveSchema::columnIndex(m_table, QStringLiteral("prev_sha256"));
    QSqlQuery query(m_connection.database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1, content_sha256 FROM %2 WHERE station = ? AND "
                                 "seq > ? ORDER BY seq LIMIT %3")
                      .arg(ArchiveSchema::columnList(m_table), ArchiveSchema::tableName(m_table))
                      .arg(kPage));
    query.addBindValue(m_station);
    query.addBindValue(m_after);
    if (!query.exec())
        return fail(why, m_connection.failureOf(query.lastError()));
    int count = 0;
    while (query.next()) {
        QVariantList values;
        for (int i = 0; i < columns; ++i)
            values << query.value(i);
        Row row{m_table,
                values.at(2).toLongLong(),
                values.at(0).toString(),
                values.at(previous).toString(),
                query.value(int(columns)).toString(),
                RowContent::sha256(m_table, values)};
        m_after = row.seq;
        m_rows.push_back(row);
        ++count;
    }
    m_ended = count < kPage;
    return true;
}
