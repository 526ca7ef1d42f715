// Times and groups what passes a port and hands it out as TrafficEntry
// values, one per frame sent, line received, group of other bytes, or port
// event. Sent bytes are grouped from STX to ETX and received bytes from STX
// to CR, however the port cut them; bytes outside a group (noise before an
// STX, a frame cut short by a failed write) become an entry of their own when
// the next group begins, an event comes, or the recording finishes. Times are
// milliseconds since the recorder was made, taken when an entry is complete.
//
// TracingSerialPort feeds it. Whoever wants the entries (the trace file, a
// check of the traffic) connects to entryRecorded(); the recorder keeps none.
#pragma once

#include "traffic_entry.h"

#include <QElapsedTimer>
#include <QObject>

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
    // Hands out the groups not yet ended. Later bytes start new groups.
    void finish();

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

    QElapsedTimer m_clock;
    Group m_sent;
    Group m_received;
};
