// Turns the bytes from the board into reply lines. A line starts with STX (which
// stays in the line as its first character) and ends with CR (which is
// dropped). The assembler sees bytes only; whoever feeds it decides what to do
// with a finished line (the panel puts it into the reply-line field).
//
// State is the receive buffer and the line-complete flag: the flag is true
// (-1) from a CR to the next STX. Only STX empties the buffer; bytes after a CR
// and before the next STX are appended to the finished line.
//
// The buffer holds at most kMaxLineBytes. A real reply line is about thirty
// bytes, so only noise or a line whose STX and CR were lost gets there. Once
// full, further bytes are dropped until the next STX: the head of the line,
// where every field sits, is kept as it came, and a CR still completes the line
// with what the buffer holds. Lines of any real length are never touched.
#pragma once

#include <QByteArray>
#include <QtGlobal>

class ReplyAssembler
{
public:
    static constexpr char kStx = '\x02';
    static constexpr char kCr = '\x0d';
    static constexpr qint16 kTrue = -1;
    static constexpr qint16 kFalse = 0;
    static constexpr qsizetype kMaxLineBytes = 4096;

    // Feeds bytes in order; calls onLine(buffer) at every CR with the line so far.
    template <typename OnLine> void feed(const char *data, qsizetype size, OnLine &&onLine)
    {
        for (qsizetype i = 0; i < size; ++i) {
            const char b = data[i];
            if (b == kStx) {
                m_buffer.clear();
                m_lineComplete = kFalse;
            }
            if (b == kCr) {
                m_lineComplete = kTrue;
                onLine(static_cast<const QByteArray &>(m_buffer));
            } else if (m_buffer.size() < kMaxLineBytes) {
                m_buffer.append(b);
            }
        }
    }

    const QByteArray &buffer() const { return m_buffer; }
    qint16 lineComplete() const { return m_lineComplete; }

private:
    QByteArray m_buffer;
    qint16 m_lineComplete = kFalse;
};
