// SPDX-License-Identifier: MIT
// The local SQLite archive as the program writes it: store() puts one run
// (or one act on a run) in one transaction and returns only once that is
// committed to the disk, so the caller shows or returns the verdict after
// it. Each row gets its station's next sequence number and the SHA-256 of
// the station's previous row, and its own (RowContent); the write lock is
// taken before the chain's end is read, so two programs writing to the same
// file still make one chain. A record that cannot be stored (it is not
// whole, the file is locked by another program past the busy timeout, the
// disk is full) leaves nothing behind and failure() says why, with its kind
// (Refused for a record that is not whole or stored already, InUse for the
// lock, NoSpace for the disk, as ArchiveConnection finds them). Nothing is
// ever updated or deleted. For one thread: the window's, or tarnvik-run's.
#pragma once

#include "act_record.h"
#include "archive_connection.h"
#include "archive_schema.h"
#include "run_record.h"

#include <QString>
#include <QVariantList>

#include <functional>

class ArchiveStore
{
public:
    ArchiveStore(const ArchiveLocation &local, const QString &station);

    void setBusyTimeoutMs(int ms) { m_connection.setBusyTimeoutMs(ms); }
    // Opens the archive, making it (and, for the default file, its folder)
    // or migrating its schema when needed.
    bool open();
    bool isOpen() const { return m_connection.isOpen(); }

    bool store(const RunRecord &record);
    bool store(const ActRecord &act);
    // "cannot store run UUID in FILE: why", after a failure.
    Failure failure() const { return m_failure; }

    QString station() const { return m_station; }
    const ArchiveLocation &location() const { return m_connection.location(); }
    // The open connection, for the history's queries in the same thread
    // (ArchiveQuery(store.connection())).
    ArchiveConnection &connection() { return m_connection; }

    // The values of a run's or an act's columns as stored, in the schema's
    // order, for the station's row number `seq` after the row `previous`.
    static QVariantList runValues(const RunRecord &record, qint64 seq, const QString &previous);
    static QVariantList actValues(const ActRecord &act, qint64 seq, const QString &previous);

private:
    struct ChainEnd
    {
        qint64 seq = 0;
        QString sha256;
    };

    using RowValues = std::function<QVariantList(qint64 seq, const QString &previous)>;

    bool storeRow(ArchiveSchema::Table table, const QString &uuid, const QString &station,
                  const RowValues &values, Failure *why);
    bool chainEnd(const QString &station, ChainEnd &end, Failure *why);
    bool exists(ArchiveSchema::Table table, const QString &uuid, bool &found, Failure *why);
    bool insert(ArchiveSchema::Table table, const QVariantList &values, const QString &sha256,
                Failure *why);
    bool fail(const QString &what, const Failure &why);
    // The figures of a run for the figures over time: the record's, or the report's.
    static void figures(const RunRecord &record, QVariant &leak, QVariant &staticError);

    ArchiveConnection m_connection;
    QString m_station;
    Failure m_failure;
};
