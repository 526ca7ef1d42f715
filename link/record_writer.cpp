// SPDX-License-Identifier: MIT
#include "record_writer.h"

#include "record_disk.h"
#include "record_file.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QWaitCondition>

#include <deque>

Q_LOGGING_CATEGORY(lcRecord, "tarnvik.record")

// What the two threads share. Everything is guarded by `mutex` except the
// two files, which only the writer thread touches once it runs; the mutex
// is never held during a disk call.
struct RecordWriter::State
{
    std::shared_ptr<RecordDisk> disk;
    Limits limits;
    QMutex mutex;
    QWaitCondition work; // something to write, or the end
    QWaitCondition idle; // all written
    std::unique_ptr<RecordFile> results;
    std::unique_ptr<RecordFile> trace;
    GapLine gapLine;
    std::deque<QByteArray> rows;
    std::deque<QByteArray> lines;
    QElapsedTimer clock;
    RecordWriter *listener = nullptr;
    int rowsWritten = 0;
    qint64 unmarked = 0; // trace lines lost that the trace does not say yet
    qint64 lost = 0;     // trace lines lost in all
    qint64 retryAt = 0;
    qint64 busySince = -1; // when the disk call under way began
    bool newRow = false;   // a row came since the last failed try
    bool traceOpened = false;
    bool resultsChecked = false; // the results file has been looked at once
    bool stopping = false;
    bool gaveUp = false; // the last try at exit failed
    bool backlog = false;
    Failure resultsWhy;
    Failure traceWhy;

    void notify(Source source, const QString &text);
    QString backlogNotice() const;
    void noteBacklog(bool now);
    bool rowDue() const;
    bool traceDue() const;
    void run();
    void checkResults(QMutexLocker<QMutex> &lock);
    void writeRow(QMutexLocker<QMutex> &lock);
    void writeLines(QMutexLocker<QMutex> &lock);
    void tell(Source source, Failure &was, const Failure &why);
};

// Posted, so that failures and mends arrive in the order they happened
// whichever thread saw them.
void RecordWriter::State::notify(Source source, const QString &text)
{
    if (!listener)
        return;
    RecordWriter *writer = listener;
    QMetaObject::invokeMethod(
        writer,
        [writer, source, text] {
            if (text.isEmpty())
                emit writer->mended(source);
            else
                emit writer->failed(source, text);
        },
        Qt::QueuedConnection);
}

QString RecordWriter::State::backlogNotice() const
{
    QString text = QStringLiteral("The disk does not keep up with the record");
    if (trace)
        text += QStringLiteral(": the oldest trace lines are dropped and their count written "
                               "into the trace");
    if (!rows.empty())
        text += QStringLiteral("; %1 result(s) kept in memory until written").arg(rows.size());
    return text;
}

// A disk call that has taken too long, or a full queue, starts the backlog
// notice; while it lasts, each new row updates its count.
void RecordWriter::State::noteBacklog(bool now)
{
    if (busySince >= 0 && clock.elapsed() - busySince > limits.stallMs)
        now = true;
    if (!now && !backlog)
        return;
    backlog = true;
    notify(Source::Backlog, backlogNotice());
}

// The comparison against the deadline is at the time of asking.
bool RecordWriter::State::rowDue() const
{
    return results && !rows.empty() && !gaveUp &&
           (!resultsWhy.failed() || newRow || clock.elapsed() >= retryAt);
}

bool RecordWriter::State::traceDue() const
{
    return trace && (!lines.empty() || !traceOpened);
}

void RecordWriter::State::run()
{
    QMutexLocker lock(&mutex);
    for (;;) {
        if (results && !resultsChecked) {
            checkResults(lock);
            continue;
        }
        if (rowDue()) {
            writeRow(lock);
            continue;
        }
        if (traceDue()) {
            writeLines(lock);
            continue;
        }
        if (lines.empty() && (rows.empty() || !results)) {
            if (backlog)
                notify(Source::Backlog, QString());
            backlog = false;
            idle.wakeAll();
        }
        if (stopping)
            return;
        if (results && !rows.empty())
            work.wait(&mutex, QDeadlineTimer(qMax<qint64>(1, retryAt - clock.elapsed())));
        else
            work.wait(&mutex);
    }
}

void RecordWriter::State::tell(Source source, Failure &was, const Failure &why)
{
    if (why.kind == was.kind && why.text == was.text)
        return;
    was = why;
    if (!why.failed()) {
        qCInfo(lcRecord, "%s written again", source == Source::Results ? "results" : "trace");
        notify(source, QString());
        return;
    }
    const QString text =
        source == Source::Results
            ? QStringLiteral("Results not written to %1. They are kept and written when the "
                             "file can be written again.")
                  .arg(why.text)
            : QStringLiteral("Trace not written to %1. The lines lost are counted in the trace.")
                  .arg(why.text);
    qCWarning(lcRecord).noquote() << text;
    notify(source, text);
}

// A results file that cannot be used is told at once, before any result
// comes; the path is only looked at, nothing is created.
void RecordWriter::State::checkResults(QMutexLocker<QMutex> &lock)
{
    resultsChecked = true;
    busySince = clock.elapsed();
    lock.unlock();
    Failure why;
    results->check(&why);
    lock.relock();
    busySince = -1;
    if (why.failed())
        tell(Source::Results, resultsWhy, why);
}

void RecordWriter::State::writeRow(QMutexLocker<QMutex> &lock)
{
    const QByteArray row = rows.front();
    newRow = false;
    busySince = clock.elapsed();
    lock.unlock();
    Failure why;
    const bool whole = results->append({row}, &why) == 1;
    lock.relock();
    busySince = -1;
    if (whole) {
        rows.pop_front();
        ++rowsWritten;
        tell(Source::Results, resultsWhy, Failure());
        return;
    }
    retryAt = clock.elapsed() + limits.retryMs;
    gaveUp = stopping;
    tell(Source::Results, resultsWhy, why);
}

void RecordWriter::State::writeLines(QMutexLocker<QMutex> &lock)
{
    QList<QByteArray> units;
    const qint64 gap = unmarked;
    const qsizetype count = qMin<qsizetype>(qsizetype(lines.size()), limits.batchLines);
    for (qsizetype i = 0; i < count; ++i) {
        units.append(std::move(lines.front()));
        lines.pop_front();
    }
    busySince = clock.elapsed();
    lock.unlock();
    const bool marked = gap > 0 && gapLine && !units.isEmpty();
    if (marked)
        units.prepend(gapLine(units.front(), gap));
    Failure why;
    const int whole = units.isEmpty() ? (trace->open(&why) ? 0 : -1) : trace->append(units, &why);
    lock.relock();
    busySince = -1;
    traceOpened = true;
    const qint64 failedLines = count - qMax(0, whole - (marked ? 1 : 0));
    if (marked && whole > 0)
        unmarked -= gap;
    unmarked += failedLines;
    lost += failedLines;
    tell(Source::Trace, traceWhy, whole == units.size() ? Failure() : why);
}

RecordWriter::RecordWriter(QObject *parent)
    : RecordWriter(std::make_shared<RecordDisk>(), Limits(), parent)
{}

RecordWriter::RecordWriter(std::shared_ptr<RecordDisk> disk, const Limits &limits, QObject *parent)
    : QObject(parent)
    , m_state(std::make_shared<State>())
{
    m_state->disk = std::move(disk);
    m_state->limits = limits;
    m_state->listener = this;
    m_state->clock.start();
}

RecordWriter::~RecordWriter()
{
    if (m_thread && !m_finished)
        finish(3000);
}

// Each file is set once: the writer thread uses it without the lock once it
// has seen it under the lock.
void RecordWriter::setResultsFile(const QString &path, const QByteArray &header)
{
    QMutexLocker lock(&m_state->mutex);
    Q_ASSERT(!m_state->results);
    RecordFile::Options options;
    options.header = header;
    options.lineEnd = "\r\n";
    options.syncEach = true;
    options.makeFolder = true;
    m_state->results = std::make_unique<RecordFile>(*m_state->disk, path, options);
    m_state->work.wakeAll();
}

void RecordWriter::setTraceFile(const QString &path, GapLine gapLine)
{
    QMutexLocker lock(&m_state->mutex);
    Q_ASSERT(!m_state->trace);
    RecordFile::Options options;
    options.lineEnd = "\n";
    options.empty = true;
    options.keepOpen = true;
    m_state->trace = std::make_unique<RecordFile>(*m_state->disk, path, options);
    m_state->gapLine = std::move(gapLine);
    m_state->work.wakeAll();
}

void RecordWriter::start()
{
    if (m_thread)
        return;
    std::shared_ptr<State> state = m_state; // the thread may outlive the writer
    m_thread = QThread::create([state] { state->run(); });
    m_thread->setObjectName(QStringLiteral("record writer"));
    m_thread->start();
}

void RecordWriter::addRow(const QByteArray &row)
{
    QMutexLocker lock(&m_state->mutex);
    if (!m_state->results)
        return;
    m_state->rows.push_back(row);
    m_state->newRow = true;
    m_state->noteBacklog(false);
    m_state->work.wakeAll();
}

void RecordWriter::addTraceLine(const QByteArray &line)
{
    QMutexLocker lock(&m_state->mutex);
    State &s = *m_state;
    if (!s.trace)
        return;
    bool full = false;
    if (qsizetype(s.lines.size()) >= qMax(1, s.limits.traceLines)) {
        s.lines.pop_front();
        ++s.unmarked;
        ++s.lost;
        full = true;
    }
    s.lines.push_back(line);
    if (!s.backlog) // while it lasts, dropped lines are counted in the trace only
        s.noteBacklog(full);
    s.work.wakeAll();
}

bool RecordWriter::waitWritten(int msecs)
{
    QDeadlineTimer deadline(msecs);
    QMutexLocker lock(&m_state->mutex);
    State &s = *m_state;
    for (;;) {
        const bool written = s.lines.empty() && s.busySince < 0 && (s.rows.empty() || !s.results) &&
                             (!s.trace || s.traceOpened);
        if (written || !m_thread)
            return written;
        if (!s.idle.wait(&s.mutex, deadline))
            return false;
    }
}

Failure RecordWriter::failure(Source source) const
{
    QMutexLocker lock(&m_state->mutex);
    return source == Source::Results ? m_state->resultsWhy : m_state->traceWhy;
}

int RecordWriter::rowsWritten() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->rowsWritten;
}

int RecordWriter::rowsWaiting() const
{
    QMutexLocker lock(&m_state->mutex);
    return int(m_state->rows.size());
}

qint64 RecordWriter::traceLinesLost() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->lost;
}

QStringList RecordWriter::finish(int msecs)
{
    if (!m_thread || m_finished)
        return {};
    m_finished = true;
    {
        QMutexLocker lock(&m_state->mutex);
        m_state->stopping = true;
        m_state->newRow = true; // one last try for a row that failed
        m_state->work.wakeAll();
    }
    const bool ended = m_thread->wait(QDeadlineTimer(msecs));
    QMutexLocker lock(&m_state->mutex);
    State &s = *m_state;
    s.listener = nullptr;
    QStringList unwritten;
    if (!ended)
        unwritten << QStringLiteral("the disk did not finish the record within %1 ms").arg(msecs);
    if (s.results && !s.rows.empty()) {
        const QString where =
            s.resultsWhy.failed() ? s.resultsWhy.text : QDir::toNativeSeparators(s.results->path());
        unwritten
            << QStringLiteral("%1 result(s) not written to %2:").arg(s.rows.size()).arg(where);
        for (const QByteArray &row : s.rows)
            unwritten << QString::fromUtf8(row).trimmed();
    }
    const qint64 lines = s.unmarked + qint64(s.lines.size());
    if (s.trace && lines > 0)
        unwritten << QStringLiteral("%1 trace line(s) not written to %2")
                         .arg(lines)
                         .arg(QDir::toNativeSeparators(s.trace->path()));
    lock.unlock();
    if (ended) {
        delete m_thread;
    } else {
        // The thread is left to its disk call: it holds the state it needs
        // and ends with its call or with the process. Its QThread may not be
        // destroyed while it runs, so it is kept here.
        static auto *const abandoned = new QList<QThread *>;
        abandoned->append(m_thread);
    }
    m_thread = nullptr;
    return unwritten;
}
