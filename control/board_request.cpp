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
    connect(&m_panel, &BoardPanel::replyLineCompleted, this, &BoardRequest::takeLine);
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

void BoardRequest::takeLine(const QString &line)
{
    if (!isPending())
        return;
    m_deadline.stop();
    emit answered(m_command, BoardReply(line));
}

void BoardRequest::giveUp()
{
    emit unanswered(m_command, m_deadline.interval());
}
