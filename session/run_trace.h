// SPDX-License-Identifier: MIT
// The traffic trace of one test plan's run, kept in memory from the moment
// it is made until take(): the trace header of the session's recording (its
// 0 ms, so the run's times are the session's) and then a trace line for each
// entry the recorder hands out, in the format TrafficTrace writes and
// TraceReader reads. The runner saves it beside the run's report, written
// only once the run is over, so the disk is never waited on while the board
// runs. A run that goes past its bytes (kMaxBytes) keeps its beginning: the lines after
// are counted and the trace ends with the event that says how many were
// dropped, which the checks read as lost traffic.
#pragma once

#include "traffic_entry.h"

#include <QByteArray>
#include <QObject>

class TrafficRecorder;

class RunTrace : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype kMaxBytes = qsizetype(64) << 20;

    // Keeps `recorder`'s entries from now on, `maxBytes` of them at most;
    // `recorder` must outlive it.
    explicit RunTrace(TrafficRecorder &recorder, qsizetype maxBytes = kMaxBytes,
                      QObject *parent = nullptr);

    // The trace so far; nothing is kept after it.
    QByteArray take();
    qint64 droppedLines() const { return m_dropped; }

private:
    void keep(const TrafficEntry &entry);

    qsizetype m_maxBytes;
    QByteArray m_text;
    QByteArray m_lastDropped; // the last line that did not fit
    qint64 m_dropped = 0;
    bool m_taken = false;
};
