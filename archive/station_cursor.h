// SPDX-License-Identifier: MIT
// One table's rows (runs or acts) of one station in the order of their
// numbers, read a page at a time, each with its SHA-256 recomputed from its
// content: what ChainVerifier walks, two at once, to check a station's chain.
#pragma once

#include "archive_connection.h"
#include "archive_schema.h"
#include "failure.h"

#include <QString>

#include <deque>

class StationCursor
{
public:
    struct Row
    {
        ArchiveSchema::Table table = ArchiveSchema::Table::Runs;
        qint64 seq = 0;
        QString uuid;
        QString previous; // the previous-row SHA-256 it holds
        QString stored;   // its own SHA-256 as stored
        QString computed; // its own SHA-256 from its content now
    };

    StationCursor(ArchiveConnection &connection, ArchiveSchema::Table table,
                  const QString &station);

    // The next row in `row`, or none at the end; false, with why, when the
    // table cannot be read.
    bool peek(const Row *&row, Failure *why);
    void pop() { m_rows.pop_front(); }

private:
    static constexpr int kPage = 256;

    bool fetch(Failure *why);

    ArchiveConnection &m_connection;
    ArchiveSchema::Table m_table;
    QString m_station;
    qint64 m_after = 0;
    bool m_ended = false;
    std::deque<Row> m_rows;
};
