// SPDX-License-Identifier: MIT
// One push of the local archive to the line's database, on connections the
// caller opened in its own thread: the rows the local archive has not noted
// as pushed to this line database, each station's in the order of its
// chain, a batch at a time. A batch goes into the line's database in one
// transaction (INSERT ... ON CONFLICT (uuid) DO NOTHING, so a row that is
// there already is left as it is), and only after that commit are its rows
// noted in the local archive (the insert-only table "pushed"). A crash or a
// lost connection between the two makes the next push send those rows again,
// which the line's database takes as nothing: no row is ever lost or there
// twice. The line's database must hold the current schema (tarnvik-archive
// init); the push itself only inserts and selects. A failure says which side
// failed, with the kind ArchiveConnection finds (NoAnswer for a statement
// the line's server held past its time).
#pragma once

#include "archive_connection.h"
#include "archive_schema.h"

#include <QString>

class ArchivePush
{
public:
    ArchivePush(ArchiveConnection &local, ArchiveConnection &line);

    // The runs and acts that wait for the line's database.
    bool pending(int &runs, int &acts, Failure *why);
    // The same for the line's database named `target`, without a connection to it.
    static bool pending(ArchiveConnection &local, const QString &target, int &runs, int &acts,
                        Failure *why);
    // Copies the next batch; `copied` rows (0 when none wait).
    bool pushBatch(int &copied, Failure *why);
    // Batches until none wait; `copied` rows in all.
    bool pushAll(int &copied, Failure *why);

    // The line database's name the local archive notes pushed rows under.
    QString target() const;

    static constexpr int kBatch = 64;

private:
    struct Entry
    {
        ArchiveSchema::Table table;
        QString uuid;
    };

    bool nextBatch(QList<Entry> &entries, Failure *why);
    bool copyRow(const Entry &entry, Failure *why);
    bool noteCopied(const QList<Entry> &entries, Failure *why);

    ArchiveConnection &m_local;
    ArchiveConnection &m_line;
};
