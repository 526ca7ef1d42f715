// SPDX-License-Identifier: MIT
#include "board_request.h"

#include "board_panel.h"

#include <algorithm>

BoardRequest::BoardRequest(BoardPanel &panel, QObject *parent)
    : QObject(parent)
    , m_panel(panel)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &BoardRequest::giveUp);
    connect(&m_panel.state(), &BoardState::textChanged, this, &BoardRequest::takeText);
}

bool BoardRequest::send(const QString &command, int deadlineMs)
{
    if (isPending())
        return false;
    // Started before the write, so that an answer the port hands over during
    // the write finds the request pending.
    m_command = command;
    m_deadline.start(std::max(0, deadlineMs));
    if (m_panel.sendCommand(command))
        return true;
    m_deadline.stop();
    return false;
}

// Each line the panel completes becomes the state's reply line; the reply
// line emptied when the operator starts a mode is no line, and neither is a
// bare CR that came before any STX.
void BoardRequest::takeText(BoardState::Field field, const QString &line)
{
    if (field != BoardState::Field::ReplyLine || line.isEmpty() || !isPending())
        return;
    m_deadline.stop();
    emit answered(m_command, BoardReply(line));
}

void BoardRequest::giveUp()
{
    emit unanswered(m_command, m_deadline.interval());
}
