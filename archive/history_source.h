// SPDX-License-Identifier: MIT
// The archive's history for a window: searches, a run's PDF and a board's
// earlier runs, asked for in the window's thread and answered there by
// signal, never before the call returns. The queries run on a thread of the
// source's own with its own read-only connection (HistoryWorker), so nothing
// in the window's thread waits on the archive, least of all on the line's
// PostgreSQL database over the network: a database that cannot be reached
// is answered by failed() with its cause once the connection gives up
// (HistoryWorker::kConnectTimeoutS unless the URI's connect_timeout says
// otherwise). A search, or a board's history, that is still waiting when a
// newer one of its kind is asked for is skipped: only the newest is
// answered, so a window that asks as the operator types never waits behind
// answers nobody reads. Made and used in one thread.
#pragma once

#include "archive_location.h"
#include "board_history.h"
#include "history_answer.h"
#include "run_filter.h"
#include "run_pdf.h"

#include <QAtomicInt>
#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

class HistoryWorker;

class HistorySource : public QObject
{
    Q_OBJECT

public:
    // The newest runs a search lists when its filter sets no limit.
    static constexpr int kListedRuns = 1000;

    // `station` names the bench, for its own archive when the first query
    // has to make it (a SQLite `location` that does not exist yet).
    HistorySource(const ArchiveLocation &location, const QString &station,
                  QObject *parent = nullptr);
    // Waits for a query that runs to end: the connection and each statement
    // give up in time (HistoryWorker's timeouts).
    ~HistorySource() override;

    const ArchiveLocation &location() const { return m_location; }

    // Each returns the request's number at once; its answer carries it.
    // The newest filter.limit runs are listed (kListedRuns when 0).
    int search(const RunFilter &filter);
    int fetchPdf(const QString &uuid);
    // The board's runs but `current` (the run just stored, when given).
    int findBoardHistory(const QString &board, const QString &current = QString());

signals:
    void searched(int request, const HistoryAnswer &answer);
    void pdfFetched(int request, const RunPdf &pdf);
    void boardHistoryFound(int request, const QString &board, const BoardHistory &history);
    // The archive could not be opened or read for the request; `cause` in words.
    void failed(int request, const QString &cause);

private:
    using Task = std::function<void(HistoryWorker &worker)>;

    // Runs `task` in the worker's thread, after those posted before it.
    void post(const Task &task);
    // Emits, in this object's thread, what `emitter` emits.
    void answer(const std::function<void()> &emitter);

    ArchiveLocation m_location;
    QThread m_thread;
    HistoryWorker *m_worker = nullptr;
    int m_lastRequest = 0;
    // The newest search's and board history's numbers, read in the worker's thread.
    std::shared_ptr<QAtomicInt> m_newestSearch = std::make_shared<QAtomicInt>(0);
    std::shared_ptr<QAtomicInt> m_newestBoard = std::make_shared<QAtomicInt>(0);
};
