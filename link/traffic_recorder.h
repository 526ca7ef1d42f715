// SPDX-License-Identifier: MIT
// Times and groups what passes a port and hands it out as TrafficEntry
// values, one per frame sent, line received, group of other bytes, or port
// event. Sent bytes are grouped from STX to ETX and received bytes from STX
// to CR, however the port cut them; bytes outside a group (noise before an
// STX, a frame cut short by a failed write) become an entry of their own when
// the next group begins, an event comes, or the recording finishes. Times are
// milliseconds since the recorder was made, taken when an entry is complete;
// started() is that moment on the wall clock. Against a simulated board that
// runs faster than real time, the board's own clock can give the times
// (setClock), so that a trace and the checks see the board's timing.
//
// TracingSerialPort feeds it. Whoever wants the entries (the trace file, a
// check of the traffic) connects to entryRecorded(); the recorder keeps none.
#pragma once

#include "traffic_entry.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>

#include <functional>

class TrafficRecorder : public QObject
{
    Q_OBJECT

public:
    explicit TrafficRecorder(QObject *parent = nullptr);
    // Finishes the recording.
    ~TrafficRecorder() override;

    void sent(const QString &port, const QByteArray &bytes);
    void received(const QString &port, const QByteArray &bytes);
    // An event of the port that is not traffic ("opened", "closed", ...).
    void event(const QString &port, const QString &what);
    // A note that is not about the line (an operator's reference reading):
    // recorded at once, without ending a frame or line under way, so a line
    // the port has half delivered stays one line.
    void note(const QString &port, const QString &what);
    // Hands out the groups not yet ended. Later bytes start new groups.
    void finish();

    // When the recording began (its 0 ms).
    QDateTime started() const { return m_started; }
    // Times come from `msNow` from now on instead of the real time since the
    // recorder was made. Times never go back.
    void setClock(std::function<qint64()> msNow);

signals:
    void entryRecorded(const TrafficEntry &entry);

private:
    struct Group
    {
        const char *kind;
        char start;
        char end;
        QString port;
        QByteArray bytes;
    };

    void add(Group &group, const QString &port, const QByteArray &bytes);
    void flush(Group &group);
    void record(const QString &port, const QString &kind, const QByteArray &bytes);

    qint64 now();

    QElapsedTimer m_clock;
    QDateTime m_started;
    std::function<qint64()> m_msNow; // none: m_clock
    qint64 m_lastMs = 0;
    Group m_sent;
    Group m_received;
};
