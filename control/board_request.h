// SPDX-License-Identifier: MIT
// A command with a deadline: sends one command through the panel and reports
// by signal either the board's answer, the next complete reply line after the
// send read as a BoardReply, or the board's silence once the deadline has
// passed. It waits in the event loop like everything else; a line that comes
// after the deadline answers nothing. One request is pending at a time; the
// next may be sent as soon as the last was answered or went unanswered. For
// tools that run the board without an operator ("the board did not answer:
// nothing within 5 s").
#pragma once

#include "board_reply.h"
#include "board_state.h"

#include <QObject>
#include <QString>
#include <QTimer>

class BoardPanel;

class BoardRequest : public QObject
{
    Q_OBJECT

public:
    // `panel` must outlive the request.
    explicit BoardRequest(BoardPanel &panel, QObject *parent = nullptr);

    // Sends `command` (a command text; the panel frames it) and waits up to
    // `deadlineMs` for the answer. Refused (false, nothing sent) while a request
    // is pending; false, with the panel's failure notice, when the command
    // could not be written, and then nothing is pending either.
    bool send(const QString &command, int deadlineMs);
    bool isPending() const { return m_deadline.isActive(); }

signals:
    // The board answered `command` with `reply`.
    void answered(const QString &command, const BoardReply &reply);
    // Nothing came within `deadlineMs` of sending `command`.
    void unanswered(const QString &command, int deadlineMs);

private:
    void takeText(BoardState::Field field, const QString &line);
    void giveUp();

    BoardPanel &m_panel;
    QTimer m_deadline;
    QString m_command;
};
