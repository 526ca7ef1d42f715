// SPDX-License-Identifier: MIT
#include "reply_traffic.h"

#include "control_bytes.h"

namespace {

QByteArray pressureLine(int pressure, bool withStatus)
{
    QByteArray line;
    line.append(ControlBytes::kStx);
    line.append(QByteArray::number(pressure).rightJustified(3, '0'));
    if (withStatus)
        line.append("0000A10C00");
    line.append(ControlBytes::kCr);
    return line;
}

QByteArray resultLine()
{
    // Systolic 120 at 17..19, diastolic 080 at 20..22, mean 093 at 23..25,
    // pulse 072 at 28..30 (positions counted with the STX at 1).
    QByteArray line("\x02S00000000000000120080093  072");
    line.append("00");
    line.append(ControlBytes::kCr);
    return line;
}

} // namespace

QByteArray ReplyTraffic::stream(Shape shape, qsizetype minBytes)
{
    QByteArray bytes;
    bytes.reserve(minBytes + 64);
    int pressure = 160;
    int inCycle = 0;
    while (bytes.size() < minBytes) {
        if (shape == Shape::Typical && inCycle == 20) {
            bytes.append(resultLine());
            inCycle = 0;
            continue;
        }
        bytes.append(pressureLine(pressure, shape == Shape::Typical));
        pressure = pressure > 40 ? pressure - 3 : 160;
        ++inCycle;
    }
    return bytes;
}

QList<QByteArray> ReplyTraffic::chunks(const QByteArray &stream, qsizetype chunkSize)
{
    QList<QByteArray> pieces;
    for (qsizetype at = 0; at < stream.size(); at += chunkSize)
        pieces.append(stream.mid(at, chunkSize));
    return pieces;
}

qsizetype ReplyTraffic::lineCount(const QByteArray &stream)
{
    return stream.count(ControlBytes::kCr);
}
