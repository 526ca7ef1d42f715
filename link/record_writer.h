// SPDX-License-Identifier: MIT
// The one thread that writes the record to disk: the rows of the results file
// and the lines of the traffic trace. The panel's thread hands them over
// through a queue and never waits for the disk; the writer thread appends
// them through RecordFile (whole or not at all, the cause named).
//
// The queue is bounded for trace lines: when the disk hangs and it fills, the
// oldest queued lines are dropped, and when the trace can be written again a
// line saying how many were lost goes in first (lines that failed to write
// are counted the same way). Results rows are never dropped: a row that
// cannot be written stays in memory, with the rows after it, and is tried
// again with the next row or after a while. A results file that cannot be
// used (no plain file, a file where its folder belongs) is told as soon as
// the writer runs, before any row. finish() gives the writer a
// bounded time at exit and says what could not be written.
//
// failed() and mended() come on the thread that made the writer, in order:
// a failure of the results file, of the trace, or of the disk not keeping up
// (Source::Backlog), and its end.
#pragma once

#include "failure.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QThread;
class RecordDisk;

class RecordWriter : public QObject
{
    Q_OBJECT

public:
    enum class Source { Results, Trace, Backlog };
    Q_ENUM(Source)

    struct Limits
    {
        int traceLines = 20000; // trace lines queued at most
        int retryMs = 2000;     // a failed row is tried again after this, or with the next row
        int stallMs = 1000;     // a disk call longer than this is a disk that does not keep up
        int batchLines = 256;   // trace lines appended in one write
    };
    // The trace line that says `lost` lines are missing before `next`.
    using GapLine = std::function<QByteArray(const QByteArray &next, qint64 lost)>;

    explicit RecordWriter(QObject *parent = nullptr);
    RecordWriter(std::shared_ptr<RecordDisk> disk, const Limits &limits, QObject *parent = nullptr);
    ~RecordWriter() override;

    // The files, each set once. The results file is appended to, with
    // `header` into an empty file; the trace is emptied when the writer opens
    // it. Without a file its rows or lines are not kept.
    void setResultsFile(const QString &path, const QByteArray &header);
    void setTraceFile(const QString &path, GapLine gapLine);
    void start();

    // Each is one whole row or line with its line end. They return at once.
    void addRow(const QByteArray &row);
    void addTraceLine(const QByteArray &line);

    // Waits at most `msecs` until everything handed over is written.
    bool waitWritten(int msecs);
    // Writes what it can within `msecs` and ends the thread; returns what
    // was not written (the rows themselves too), one line each.
    QStringList finish(int msecs);

    // What keeps the results file or the trace from being written ("PATH:
    // cause"); none while it is written.
    Failure failure(Source source) const;
    int rowsWritten() const;
    int rowsWaiting() const;
    qint64 traceLinesLost() const;

signals:
    void failed(RecordWriter::Source source, const QString &notice);
    void mended(RecordWriter::Source source);

private:
    struct State;

    std::shared_ptr<State> m_state;
    QThread *m_thread = nullptr;
    bool m_finished = false;
};
