// SPDX-License-Identifier: MIT
// A PanelDisplay that keeps every field in memory and records what the panel did
// to it, in order, so tests can check both the end state and the sequence.
#pragma once

#include "panel_display.h"

#include <QHash>
#include <QStringList>

class RecordingDisplay : public PanelDisplay
{
public:
    void setText(Field field, const QString &text) override;
    QString text(Field field) const override { return m_texts.value(field); }
    void setCaption(Button button, const QString &caption) override;
    void setBarValue(int value) override;
    void setPortEntryEnabled(int port, bool enabled) override;
    void setPortEntryChecked(int port, bool checked) override;
    void reportFailure(const QString &what) override;
    bool withdrawFailure(const QString &what) override;
    void endProgram() override;

    static QString name(Field field);

    QString caption() const { return m_caption; }
    int barValue() const { return m_bar; }
    bool portEnabled(int port) const { return m_enabled.value(port, true); }
    bool portChecked(int port) const { return m_checked.value(port, false); }
    QList<int> enabledPorts() const;
    QList<int> checkedPorts() const;
    QStringList failures() const { return m_failures; }
    // The failure shown now: the last reported, unless it was withdrawn.
    QString shownFailure() const { return m_shown; }
    bool programEnded() const { return m_ended; }
    // Every change, as "Field=text", "bar=N", "caption=..", "enabled N=0/1",
    // "checked N=0/1", "failure", "withdrawn", "end".
    QStringList log() const { return m_log; }
    void clearLog() { m_log.clear(); }

private:
    QHash<Field, QString> m_texts;
    QString m_caption;
    int m_bar = 0;
    QHash<int, bool> m_enabled;
    QHash<int, bool> m_checked;
    QStringList m_failures;
    QString m_shown;
    QStringList m_log;
    bool m_ended = false;
};
