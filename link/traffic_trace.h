// Writes what goes over the line to a text file, one line per frame or reply
// line: the milliseconds since the trace began, the port, what happened and
// the bytes in ByteNotation, for example
//   1234 COM1 sent <STX>01;;D7<ETX>
//   1480 COM1 received <STX>085<CR>
//   1500 COM1 opened
// Sent bytes are grouped from STX to ETX and received bytes from STX to CR,
// however the port cut them; bytes outside a group (noise before an STX, a
// frame cut short by a failed write) are written as a group of their own when
// the next group begins or the trace ends. Every line is flushed at once; a
// trace that cannot be written is logged once (tarnvik.trace) and never stops
// the program.
// TracingSerialPort feeds it; TraceReader reads the format back.
#pragma once

#include "control_bytes.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

class TrafficTrace
{
public:
    static constexpr const char *kSent = "sent";
    static constexpr const char *kReceived = "received";

    // Opens `path` for writing (replacing what it held); isOpen() tells.
    explicit TrafficTrace(const QString &path);
    TrafficTrace(const TrafficTrace &) = delete;
    TrafficTrace &operator=(const TrafficTrace &) = delete;
    ~TrafficTrace();

    bool isOpen() const { return m_file.isOpen(); }
    QString errorText() const { return m_file.errorString(); }

    void sent(const QString &port, const QByteArray &bytes);
    void received(const QString &port, const QByteArray &bytes);
    // An event of the port that is not traffic ("opened", "closed", ...).
    void event(const QString &port, const QString &what);

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
    void write(const QString &port, const QString &what);

    QFile m_file;
    QElapsedTimer m_clock;
    Group m_sent{kSent, ControlBytes::kStx, ControlBytes::kEtx, {}, {}};
    Group m_received{kReceived, ControlBytes::kStx, ControlBytes::kCr, {}, {}};
    bool m_failed = false;
};
