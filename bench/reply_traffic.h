// SPDX-License-Identifier: MIT
// Byte streams shaped like what a board sends during measurements, for the
// reply-assembly benchmarks. "Typical" is twenty pressure lines (STX, three
// pressure digits, ten status characters, CR: 15 bytes) followed by one result
// line (STX, "S", 30 characters, CR: 33 bytes), repeated. "Short" is nothing
// but minimal pressure lines (STX, three digits, CR: 5 bytes), the worst case
// for the work done per line.
#pragma once

#include <QByteArray>
#include <QList>

class ReplyTraffic
{
public:
    enum class Shape { Typical, Short };

    // A stream of whole lines of at least minBytes bytes.
    static QByteArray stream(Shape shape, qsizetype minBytes);
    // The stream cut into reads of at most chunkSize bytes, as a port delivers it.
    static QList<QByteArray> chunks(const QByteArray &stream, qsizetype chunkSize);
    // Number of CRs in the stream, i.e. the lines it completes.
    static qsizetype lineCount(const QByteArray &stream);
};
