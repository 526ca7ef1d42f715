// SPDX-License-Identifier: MIT
// The history's queries on a connection of their own, in the thread that
// uses the worker (HistorySource's): the connection is opened read-only at
// the first query and kept; one that failed is dropped and opened again for
// the next. A bench's own SQLite archive that does not exist yet is made
// first, as ArchiveStore makes it; the line's PostgreSQL database must hold
// the current schema. Each query returns false, with why and its kind, when
// the archive cannot be opened or read (NoAnswer: the server stayed silent
// past kConnectTimeoutS or a statement past kStatementTimeoutMs).
#pragma once

#include "archive_connection.h"
#include "board_history.h"
#include "failure.h"
#include "history_answer.h"
#include "run_filter.h"
#include "run_pdf.h"

#include <QObject>

#include <memory>

class HistoryWorker : public QObject
{
public:
    static constexpr int kConnectTimeoutS = 5;
    static constexpr int kStatementTimeoutMs = 30000;

    // `station` names the bench, for a local archive made at the first query.
    HistoryWorker(const ArchiveLocation &location, const QString &station);
    // Runs in the worker's thread, so the connection goes where it was made.
    ~HistoryWorker() override;

    // The newest filter.limit runs of the search (every run when 0) and
    // their figures, with the count and yields of every run it takes.
    bool search(const RunFilter &filter, HistoryAnswer &answer, Failure *why);
    bool pdf(const QString &uuid, RunPdf &pdf, Failure *why);
    bool boardHistory(const QString &board, const QString &current, BoardHistory &history,
                      Failure *why);

private:
    bool connect(Failure *why);
    bool makeLocalArchive(Failure *why);
    // Keeps `ok`; a connection that failed is dropped.
    bool keep(bool ok);

    ArchiveLocation m_location;
    QString m_station;
    std::unique_ptr<ArchiveConnection> m_connection;
};
