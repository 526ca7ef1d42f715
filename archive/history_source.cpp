// SPDX-License-Identifier: MIT
#include "history_source.h"

#include "history_worker.h"

HistorySource::HistorySource(const ArchiveLocation &location, const QString &station,
                             QObject *parent)
    : QObject(parent)
    , m_location(location)
    , m_worker(new HistoryWorker(location, station))
{
    m_thread.setObjectName(QStringLiteral("archive history"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
}

HistorySource::~HistorySource()
{
    if (m_thread.isRunning()) {
        m_thread.quit();
        m_thread.wait();
    } else {
        delete m_worker;
    }
}

void HistorySource::post(const Task &task)
{
    if (!m_thread.isRunning())
        m_thread.start();
    HistoryWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        m_worker, [worker, task] { task(*worker); }, Qt::QueuedConnection);
}

void HistorySource::answer(const std::function<void()> &emitter)
{
    QMetaObject::invokeMethod(this, emitter, Qt::QueuedConnection);
}

int HistorySource::search(const RunFilter &filter)
{
    const int request = ++m_lastRequest;
    m_newestSearch->storeRelease(request);
    RunFilter listed = filter;
    if (listed.limit <= 0)
        listed.limit = kListedRuns;
    post([this, request, listed, newest = m_newestSearch](HistoryWorker &worker) {
        if (newest->loadAcquire() != request)
            return;
        HistoryAnswer found;
        Failure why;
        if (worker.search(listed, found, &why))
            answer([this, request, found] { emit searched(request, found); });
        else
            answer([this, request, cause = why.text] { emit failed(request, cause); });
    });
    return request;
}

int HistorySource::fetchPdf(const QString &uuid)
{
    const int request = ++m_lastRequest;
    post([this, request, uuid](HistoryWorker &worker) {
        RunPdf pdf;
        Failure why;
        if (worker.pdf(uuid, pdf, &why))
            answer([this, request, pdf] { emit pdfFetched(request, pdf); });
        else
            answer([this, request, cause = why.text] { emit failed(request, cause); });
    });
    return request;
}

int HistorySource::findBoardHistory(const QString &board, const QString &current)
{
    const int request = ++m_lastRequest;
    m_newestBoard->storeRelease(request);
    post([this, request, board, current, newest = m_newestBoard](HistoryWorker &worker) {
        if (newest->loadAcquire() != request)
            return;
        BoardHistory history;
        Failure why;
        if (worker.boardHistory(board, current, history, &why))
            answer([this, request, board, history] {
                emit boardHistoryFound(request, board, history);
            });
        else
            answer([this, request, cause = why.text] { emit failed(request, cause); });
    });
    return request;
}
