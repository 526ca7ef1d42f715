// SPDX-License-Identifier: MIT
// The wire format of a command: STX, the command text one byte per character,
// ETX. No length, no frame checksum, no line end. The panel writes a frame
// piece by piece as pieces() gives it; build() is the same bytes in one. Also
// the checksum rule that every coded command text obeys, for tools and tests
// that rebuild the texts.
#pragma once

#include "control_bytes.h"

#include <QByteArray>
#include <QList>
#include <QString>

class CommandFrame
{
public:
    // The frame for a command text (Latin-1, one byte per character).
    static QByteArray build(const QString &text);
    // The same frame in the pieces the panel writes one after the other:
    // STX, each character of the text, ETX.
    static QList<QByteArray> pieces(const QString &text);
    // The text a frame carries: the bytes without the leading STX and the
    // trailing ETX, either of which may be missing from a frame cut short.
    static QByteArray text(QByteArray frame);

    // The coded command text for a two-digit code 0..99: "01" -> "01;;D7".
    static QString codedText(int code);

    // True when text is a six-character coded text whose checksum is right.
    static bool hasValidChecksum(const QString &text);
};
