// SPDX-License-Identifier: MIT
// One entry of the traffic over a port: a frame sent (STX..ETX), a line
// received (STX..CR), a group of bytes outside either (noise, a frame cut
// short), or a port event ("opened", "closed", "lost: ..."). TrafficRecorder
// makes them; the trace file writes them and TraceReader reads them back.
#pragma once

#include <QByteArray>
#include <QString>

struct TrafficEntry
{
    static constexpr const char *kSent = "sent";
    static constexpr const char *kReceived = "received";

    qint64 ms = 0;    // since the recording began
    QString port;     // "COM1"
    QString kind;     // kSent, kReceived, or the event's text
    QByteArray bytes; // the traffic; empty for events

    bool isTraffic() const
    {
        return kind == QLatin1String(kSent) || kind == QLatin1String(kReceived);
    }
};
