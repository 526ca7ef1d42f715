// SPDX-License-Identifier: MIT
// The one notation for raw line bytes in text: printable ASCII as it is,
// STX, ETX, CR and LF as <STX>, <ETX>, <CR>, <LF>, every other control or
// non-ASCII byte, and '<' itself, as <xNN>, so the text reads back exactly. The demo prints the
// traffic with it, the traffic trace writes it, the results file keeps the raw line in it, and the
// curve reader reads it back.
#pragma once

#include <QByteArray>
#include <QString>

class ByteNotation
{
public:
    // Bytes as text with every control or non-ASCII byte spelt out.
    static QString readable(const QByteArray &bytes);
    // The bytes a readable text stands for; the inverse of readable(). A '<'
    // that starts no known name (typed by hand) stays a '<'.
    static QByteArray bytes(QStringView text);
};
