// SPDX-License-Identifier: MIT
// Cuts command frames out of the byte stream that the program writes to the
// board: a frame is STX, the command text and ETX. Bytes outside a frame are
// line noise and are dropped; an STX inside a frame starts the frame afresh;
// a frame whose text grows past kMaxText characters is dropped as noise too.
// The simulated board keeps one reader per port it listens on.
#pragma once

#include <QByteArray>
#include <QStringList>

class FrameReader
{
public:
    static constexpr qsizetype kMaxText = 16;

    // Texts of the frames that the bytes complete, in order (Latin-1).
    QStringList feed(const QByteArray &bytes);
    bool inFrame() const { return m_inFrame; }

private:
    QByteArray m_text;
    bool m_inFrame = false;
};
