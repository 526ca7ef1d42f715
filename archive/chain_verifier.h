// SPDX-License-Identifier: MIT
// verify: recomputes every station's chain in an archive (SQLite or
// PostgreSQL) and finds, per station, the first row that does not hold:
// a row whose content no longer gives its SHA-256 (changed), a gap in the
// numbers (rows removed), a number taken twice or a row whose
// previous-row SHA-256 is not its predecessor's (inserted, or changed and
// sealed again). Runs and acts are read a page at a time in each station's
// order, so memory does not grow with the archive. What the chain cannot
// show: the newest rows of a station removed together (the line's database
// still holds them once pushed).
#pragma once

#include "archive_connection.h"
#include "archive_schema.h"
#include "chain_break.h"
#include "failure.h"

#include <QList>
#include <QString>

class ChainVerifier
{
public:
    explicit ChainVerifier(ArchiveConnection &connection);

    // False, with why in `why`, only when the archive cannot be read.
    bool verify(Failure *why);

    const QList<ChainBreak> &breaks() const { return m_breaks; }
    qint64 rowsChecked() const { return m_rows; }
    int stations() const { return m_stations; }

private:
    bool stationsOf(QStringList &stations, Failure *why);
    bool verifyStation(const QString &station, Failure *why);

    ArchiveConnection &m_connection;
    QList<ChainBreak> m_breaks;
    qint64 m_rows = 0;
    int m_stations = 0;
};
