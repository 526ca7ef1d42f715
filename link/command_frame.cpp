// SPDX-License-Identifier: MIT
#include "command_frame.h"

QByteArray CommandFrame::build(const QString &text)
{
    QByteArray frame;
    frame.reserve(text.size() + 2);
    frame.append(ControlBytes::kStx);
    frame.append(text.toLatin1());
    frame.append(ControlBytes::kEtx);
    return frame;
}

QList<QByteArray> CommandFrame::pieces(const QString &text)
{
    QList<QByteArray> pieces;
    pieces.reserve(text.size() + 2);
    pieces.append(QByteArray(1, ControlBytes::kStx));
    const QByteArray bytes = text.toLatin1();
    for (const char byte : bytes)
        pieces.append(QByteArray(1, byte));
    pieces.append(QByteArray(1, ControlBytes::kEtx));
    return pieces;
}

QByteArray CommandFrame::text(QByteArray frame)
{
    if (frame.startsWith(ControlBytes::kStx))
        frame.remove(0, 1);
    if (frame.endsWith(ControlBytes::kEtx))
        frame.chop(1);
    return frame;
}

QString CommandFrame::codedText(int code)
{
    const QString head = QStringLiteral("%1;;").arg(code, 2, 10, QLatin1Char('0'));
    int sum = 0;
    for (const QChar c : head)
        sum += c.unicode();
    return head + QStringLiteral("%1").arg(sum, 2, 16, QLatin1Char('0')).toUpper();
}

bool CommandFrame::hasValidChecksum(const QString &text)
{
    if (text.size() != 6 || !text.at(0).isDigit() || !text.at(1).isDigit())
        return false;
    if (text.at(0).unicode() > 127 || text.at(1).unicode() > 127)
        return false;
    return codedText(text.left(2).toInt()) == text;
}
