// SPDX-License-Identifier: MIT
#include "frame_reader.h"

#include "command_frame.h"
#include "control_bytes.h"

QStringList FrameReader::feed(const QByteArray &bytes)
{
    QStringList texts;
    for (const char b : bytes) {
        if (b == ControlBytes::kStx) {
            m_text.clear();
            m_inFrame = true;
        } else if (!m_inFrame) {
            continue;
        } else if (b == ControlBytes::kEtx) {
            texts << QString::fromLatin1(m_text);
            m_text.clear();
            m_inFrame = false;
        } else if (m_text.size() >= kMaxText) {
            m_text.clear();
            m_inFrame = false;
        } else {
            m_text.append(b);
        }
    }
    return texts;
}
