// SPDX-License-Identifier: MIT
#include "board_reply.h"

#include "control_bytes.h"
#include "reply_line.h"

// The pressure field is read once; a tick reads it several times.
BoardReply::BoardReply(const QString &line)
    : m_line(line)
    , m_pressureText(ReplyLine::take(m_line, ReplyLine::kCuffPressure))
    , m_pressure(ReplyLine::pressureValue(m_pressureText))
{
    if (ReplyLine::isResultLine(m_line))
        m_kind = Kind::Result;
    else if (m_pressureText == QLatin1String(ReplyLine::kEndValue))
        m_kind = Kind::EndValue;
    else if (m_pressure)
        m_kind = Kind::Pressure;
}

std::optional<BoardReply> BoardReply::fromReceived(const QByteArray &bytes)
{
    if (!bytes.startsWith(ControlBytes::kStx) || !bytes.endsWith(ControlBytes::kCr))
        return std::nullopt;
    return BoardReply(QString::fromLatin1(bytes.chopped(1)));
}

QString BoardReply::systolic() const
{
    return ReplyLine::take(m_line, ReplyLine::kSystolic);
}

QString BoardReply::diastolic() const
{
    return ReplyLine::take(m_line, ReplyLine::kDiastolic);
}

QString BoardReply::mean() const
{
    return ReplyLine::take(m_line, ReplyLine::kMean);
}

QString BoardReply::pulse() const
{
    return ReplyLine::take(m_line, ReplyLine::kPulse);
}
