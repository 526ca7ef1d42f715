// SPDX-License-Identifier: MIT
// Turns the bytes from the board into reply lines. A line starts with STX (which
// stays in the line as its first character) and ends with CR (which is
// dropped). The assembler sees bytes only; whoever feeds it decides what to do
// with a finished line (the panel puts it into the reply-line field).
//
// State is the receive buffer and the line-complete flag: the flag is set
// from a CR to the next STX. Only STX empties the buffer; bytes after a CR
// and before the next STX are appended to the finished line.
//
// The buffer holds at most kMaxLineBytes. A real reply line is about thirty
// bytes, so only noise or a line whose STX and CR were lost gets there. Once
// full, further bytes are dropped until the next STX: the head of the line,
// where every field sits, is kept as it came, and a CR still completes the line
// with what the buffer holds. Lines of any real length are never touched.
#pragma once

#include "control_bytes.h"

#include <QByteArray>
#include <QtGlobal>

class ReplyAssembler
{
public:
    // Buffer memory kept from one line to the next; more is released at STX.
    static constexpr qsizetype kKeptCapacity = 256;
    static constexpr qsizetype kMaxLineBytes = 4096;

    // Feeds bytes in order; calls onLine(buffer) at every CR with the line so far.
    // Bytes other than STX and CR are appended a run at a time, which gives the
    // same buffer as appending them one by one.
    template <typename OnLine> void feed(const char *data, qsizetype size, OnLine &&onLine)
    {
        qsizetype i = 0;
        while (i < size) {
            qsizetype end = i;
            while (end < size && data[end] != ControlBytes::kStx && data[end] != ControlBytes::kCr)
                ++end;
            const qsizetype room = kMaxLineBytes - m_buffer.size();
            if (end > i && room > 0)
                m_buffer.append(data + i, qMin(end - i, room));
            if (end == size)
                return;
            if (data[end] == ControlBytes::kStx) {
                // Empty the buffer; a small one keeps its memory for the next line.
                if (m_buffer.capacity() > kKeptCapacity)
                    m_buffer.clear();
                else
                    m_buffer.resize(0);
                m_lineComplete = false;
                m_buffer.append(ControlBytes::kStx); // the STX stays as the line's first character
            } else {
                m_lineComplete = true;
                onLine(static_cast<const QByteArray &>(m_buffer));
            }
            i = end + 1;
        }
    }

    const QByteArray &buffer() const { return m_buffer; }
    bool lineComplete() const { return m_lineComplete; }

private:
    QByteArray m_buffer;
    bool m_lineComplete = false;
};
