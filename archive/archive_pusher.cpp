// SPDX-License-Identifier: MIT
#include "archive_pusher.h"

#include "push_worker.h"

ArchivePusher::ArchivePusher(const ArchiveLocation &local, const ArchiveLocation &line,
                             QObject *parent, int intervalMs)
    : QObject(parent)
    , m_worker(new PushWorker(local, line, intervalMs))
{
    m_thread.setObjectName(QStringLiteral("archive push"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &PushWorker::pendingCounted, this, &ArchivePusher::takePending);
    connect(m_worker, &PushWorker::rowsPushed, this, &ArchivePusher::takePushed);
    connect(m_worker, &PushWorker::pushFailed, this, &ArchivePusher::takeFailure);
}

ArchivePusher::~ArchivePusher()
{
    if (m_thread.isRunning()) {
        m_thread.quit();
        m_thread.wait();
    } else {
        delete m_worker;
    }
}

void ArchivePusher::start()
{
    if (m_thread.isRunning())
        return;
    m_thread.start();
    QMetaObject::invokeMethod(m_worker, &PushWorker::start, Qt::QueuedConnection);
}

void ArchivePusher::pushNow()
{
    if (m_thread.isRunning())
        QMetaObject::invokeMethod(m_worker, &PushWorker::pushNow, Qt::QueuedConnection);
}

void ArchivePusher::takePending(int runs, int acts)
{
    m_runs = runs;
    m_acts = acts;
    emit pendingChanged(runs, acts);
}

void ArchivePusher::takePushed(int rows)
{
    m_failure = Failure();
    emit pushed(rows);
}

void ArchivePusher::takeFailure(const Failure &failure)
{
    m_failure = failure;
    emit failed(failure.text);
}
