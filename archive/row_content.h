// SPDX-License-Identifier: MIT
// The canonical serialisation of an archive row and its SHA-256: the bytes
// the chain is made of, the same from a record about to be stored, from a
// SQLite row and from a PostgreSQL row. Format 1 (docs/archive.md):
//
//   tarnvik-archive row 1\n
//   table runs\n
//   then, for every column of the table in the schema's order, but the
//   row's own SHA-256:  NAME SP LENGTH ":" VALUE "\n"   or   NAME SP "-\n" (NULL)
//
// LENGTH is the value's length in bytes, in decimal; VALUE is text in UTF-8,
// an integer in decimal, a real number in the shortest decimal form that
// reads back as the same double ("7.2", "-0.5", "1e+21"), bytes as they are.
// The station, the sequence number and the previous row's SHA-256 are
// columns too, so each row's SHA-256 seals its place in the chain.
#pragma once

#include "archive_schema.h"

#include <QByteArray>
#include <QString>
#include <QVariantList>

class RowContent
{
public:
    // `values` in the order of ArchiveSchema::columns(table).
    static QByteArray serialise(ArchiveSchema::Table table, const QVariantList &values);
    // The lowercase hex SHA-256 of serialise().
    static QString sha256(ArchiveSchema::Table table, const QVariantList &values);
    // The previous-row hash of a station's first row: 64 zeros.
    static QString chainStart();
    // A value in its canonical text (no NULL): what serialise() writes.
    static QByteArray valueBytes(ArchiveSchema::ColumnType type, const QVariant &value);
};
