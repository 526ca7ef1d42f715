// SPDX-License-Identifier: MIT
// The background copy of the local archive to the line's PostgreSQL
// database, for the window: its database work runs on a thread of its own
// with its own connections (PushWorker), at start, after pushNow() and every
// interval (10 s) while rows wait; nothing here waits on the network. It says
// what waits (the window's "N runs not yet in the line's database"), what it
// pushed, and why a push failed (the line's database down, its schema
// missing, a row it refused); the runs stay in the local archive meanwhile
// and go with a later push. Made and used in one thread (the window's).
#pragma once

#include "archive_location.h"
#include "failure.h"

#include <QObject>
#include <QThread>

class PushWorker;

class ArchivePusher : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 10000;

    ArchivePusher(const ArchiveLocation &local, const ArchiveLocation &line,
                  QObject *parent = nullptr, int intervalMs = kIntervalMs);
    // Waits for a pass that runs to end: a connection attempt gives up
    // within 5 s, a statement the server holds up within 30 s.
    ~ArchivePusher() override;

    // Starts the thread and the first pass.
    void start();
    // A pass soon: call it after a run is stored.
    void pushNow();

    int pendingRuns() const { return m_runs; }
    int pendingActs() const { return m_acts; }
    // Why the last pass failed, with its kind (NoAnswer: the line's server
    // stayed silent); none once a pass pushed rows.
    Failure lastFailure() const { return m_failure; }

signals:
    // What waits for the line's database changed (also at every pass's end).
    void pendingChanged(int runs, int acts);
    // `rows` runs and acts reached the line's database.
    void pushed(int rows);
    // A pass ended without reaching the line's database or with rows it
    // refused; `cause` in words. The rows stay and go with a later pass.
    void failed(const QString &cause);

private:
    void takePending(int runs, int acts);
    void takePushed(int rows);
    void takeFailure(const Failure &failure);

    QThread m_thread;
    PushWorker *m_worker = nullptr;
    int m_runs = 0;
    int m_acts = 0;
    Failure m_failure;
};
