// SPDX-License-Identifier: MIT
// Records what the panel did to its BoardState, in order, from the state's
// signals (and the panel's end of the program), so tests can check both the
// end state and the sequence. It stands where a display would: what it
// reports is what a view of the state shows.
#pragma once

#include "board_panel.h"
#include "board_state.h"

#include <QObject>
#include <QStringList>

class RecordingDisplay : public QObject
{
    Q_OBJECT

public:
    using Field = BoardState::Field;

    // Follows the panel's state and its end of the program.
    explicit RecordingDisplay(const BoardPanel &panel);
    // Follows a state alone.
    explicit RecordingDisplay(const BoardState &state);

    static QString name(Field field);

    QString text(Field field) const { return m_state.text(field); }
    QString caption() const { return m_state.startCaption(); }
    int barValue() const { return m_state.barValue(); }
    bool portEnabled(int port) const { return m_state.portEntryEnabled(port); }
    bool portChecked(int port) const { return m_state.portEntryChecked(port); }
    QList<int> enabledPorts() const;
    QList<int> checkedPorts() const;
    // Every failure notice shown, in order; the state shows a repeated
    // identical report once.
    QStringList failures() const { return m_failures; }
    // The failure shown now.
    QString shownFailure() const { return m_state.failureNotice(); }
    // Every information shown, in order, and the one shown now.
    QStringList infos() const { return m_infos; }
    QString shownInfo() const { return m_state.infoNotice(); }
    bool programEnded() const { return m_ended; }
    // Every change, as "Field=text", "bar=N", "caption=..", "enabled N=0/1",
    // "checked N=0/1", "failure" (a notice shown), "withdrawn" (none shown
    // any longer), "info" (an information shown), "info gone", "end".
    QStringList log() const { return m_log; }
    void clearLog() { m_log.clear(); }

private:
    void noteFailure(const QString &notice);

    const BoardState &m_state;
    QStringList m_failures;
    QStringList m_infos;
    QStringList m_log;
    bool m_ended = false;
};
