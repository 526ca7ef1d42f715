// SPDX-License-Identifier: MIT
// The push's side of ArchivePusher, living in the pusher's own thread with
// its own connections to the local archive and the line's database: a pass
// at start, on request and every interval while rows wait; each pass pushes
// until nothing waits or the line's database fails, then says what waits.
// A connection that failed is opened again on the next pass. Nothing here
// runs in the thread that made the pusher.
#pragma once

#include "archive_connection.h"
#include "failure.h"

#include <QObject>
#include <QTimer>

#include <memory>

class PushWorker : public QObject
{
    Q_OBJECT

public:
    PushWorker(const ArchiveLocation &local, const ArchiveLocation &line, int intervalMs);
    ~PushWorker() override;

    // In the worker's thread: the first pass and the timer.
    void start();
    // In the worker's thread: a pass now (a run was stored).
    void pushNow();

signals:
    void pendingCounted(int runs, int acts);
    void rowsPushed(int rows);
    void pushFailed(const Failure &failure);

private:
    static constexpr int kStatementTimeoutMs = 30000;

    bool connect(Failure *why);
    void pass();
    int countPending();

    ArchiveLocation m_localLocation;
    ArchiveLocation m_lineLocation;
    std::unique_ptr<ArchiveConnection> m_local;
    std::unique_ptr<ArchiveConnection> m_line;
    QTimer *m_timer = nullptr;
    int m_intervalMs;
};
