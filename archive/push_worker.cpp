// SPDX-License-Identifier: MIT
#include "push_worker.h"

#include "archive_push.h"
#include "archive_schema.h"
#include "plain_file_check.h"

#include <QSqlQuery>

PushWorker::PushWorker(const ArchiveLocation &local, const ArchiveLocation &line, int intervalMs)
    : m_localLocation(local)
    , m_lineLocation(line)
    , m_intervalMs(intervalMs)
{}

// Runs in the worker's thread as it ends, so the connections go where they were made.
PushWorker::~PushWorker() = default;

void PushWorker::start()
{
    m_timer = new QTimer(this);
    m_timer->setInterval(m_intervalMs);
    QObject::connect(m_timer, &QTimer::timeout, this, &PushWorker::pass);
    pass();
}

void PushWorker::pushNow()
{
    pass();
}

bool PushWorker::connect(Failure *why)
{
    if (!m_local || !m_local->isOpen()) {
        m_local = std::make_unique<ArchiveConnection>(m_localLocation);
        if (!m_local->open(ArchiveConnection::Create::ExistingOnly, why)) {
            m_local.reset();
            return false;
        }
    }
    if (m_line && m_line->isOpen())
        return true;
    m_line = std::make_unique<ArchiveConnection>(m_lineLocation);
    m_line->setConnectTimeoutS(5);
    Failure failure;
    bool usable = m_line->open(ArchiveConnection::Create::ExistingOnly, &failure);
    if (usable) {
        QSqlDatabase db = m_line->database();
        // A statement the server holds up (a lock) fails in time, so that the
        // program can end.
        QSqlQuery(db).exec(QStringLiteral("SET statement_timeout = %1").arg(kStatementTimeoutMs));
        usable = ArchiveSchema::prepare(db, ArchiveSchema::Mode::RequireCurrent, &failure);
        if (!usable)
            failure = failure.within(
                QStringLiteral("%1 cannot take the runs").arg(m_lineLocation.text()));
    }
    if (!usable) {
        fail(why, failure);
        m_line.reset();
    }
    return usable;
}

// Pushes a batch at a time until nothing waits, saying after each what went
// and what waits. A failure drops the line's connection (it is made again
// next time) and keeps the timer going.
void PushWorker::pass()
{
    if (!m_timer)
        return; // not started
    if (PlainFileCheck(m_localLocation.path()).kind() == PlainFileCheck::Kind::Missing) {
        // Nothing stored yet: nothing waits.
        emit pendingCounted(0, 0);
        m_timer->stop();
        return;
    }
    Failure why;
    bool done = connect(&why);
    int waiting = done ? -1 : 0;
    while (done && waiting != 0) {
        ArchivePush push(*m_local, *m_line);
        int copied = 0;
        done = push.pushBatch(copied, &why);
        if (copied > 0)
            emit rowsPushed(copied);
        waiting = countPending();
        if (copied == 0)
            break;
    }
    if (!done) {
        m_line.reset();
        countPending();
        emit pushFailed(why);
    }
    if (!done || waiting > 0)
        m_timer->start();
    else
        m_timer->stop();
}

// Says what waits; the number of rows, or -1 when the local archive cannot say.
int PushWorker::countPending()
{
    int runs = 0;
    int acts = 0;
    if (!m_local || !ArchivePush::pending(*m_local, m_lineLocation.text(), runs, acts, nullptr))
        return -1;
    emit pendingCounted(runs, acts);
    return runs + acts;
}
