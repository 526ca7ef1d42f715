// SPDX-License-Identifier: MIT
// The board's state as the panel keeps it and the operator sees it: the
// texts of the nine display fields, the pressure bar, the Start button's
// caption, the mark of each Port menu entry and the notice: a failure, or an
// information such as a lost port that is back. BoardPanel
// owns it, reads its own state back from it and is the one that changes it
// (tests put it into a given state with the same setters). Views and tools
// read it and follow its signals; nothing here knows a widget.
//
// Every setter announces what it set, in the order it was set, also when the
// value is the one it held already: the window repaints, a recorder logs each
// step. The failure notice follows the status bar's rules: a report identical
// to the notice shown changes nothing, a withdrawal clears only the notice
// shown, and an entry checked (a port opened) clears it, since the link works
// again. One notice stands at a time, a failure or an information: each
// replaces the other, and an information stays until the next notice or until
// a port is opened.
//
// While a test plan's run drives the board (the bench core says so), the
// state is marked run-driven: views hold back the operator's controls that
// would disturb the run, every button but Break and the Port entries.
#pragma once

#include <QObject>
#include <QString>

#include <array>

class BoardState : public QObject
{
    Q_OBJECT

public:
    enum class Field {
        OperatingState, // "IDLE", "MEASURE", "Manometer" or "Leak Test"
        CycleTime,
        Patient,
        PumpUp,
        Systolic,
        Diastolic,
        MeanPressure,
        PulseRate,
        ReplyLine // the last complete reply line, STX first
    };
    Q_ENUM(Field)
    static constexpr int kFieldCount = 9;
    static constexpr int kPortCount = 8;
    // What the four value fields show until a line gives them a value.
    static constexpr const char *kNoValue = "---";
    static constexpr const char *kStartCaption = "START";

    explicit BoardState(QObject *parent = nullptr);

    QString text(Field field) const;
    void setText(Field field, const QString &text);
    int barValue() const { return m_bar; }
    void setBarValue(int value);
    QString startCaption() const { return m_caption; }
    void setStartCaption(const QString &caption);

    // Port entries are numbered 1 to 8 ("COM1" .. "COM8"); others are
    // ignored. Entries start enabled, "COM1" checked.
    bool portEntryEnabled(int port) const;
    bool portEntryChecked(int port) const;
    void setPortEntryEnabled(int port, bool enabled);
    void setPortEntryChecked(int port, bool checked);

    // A failure to show: `what` says what the program tried and why it
    // failed, a first line that stands on its own, then any details, one per
    // line. The notice shown, empty when none is.
    void reportFailure(const QString &what);
    // A failure reported before has mended: its notice goes if it is the one
    // shown. True when it was.
    bool withdrawFailure(const QString &what);
    QString failureNotice() const { return m_failure; }

    // Something the operator is told that is no failure ("COM5 is back"). It
    // replaces a failure shown and stays until the next notice. The
    // information shown, empty when none is.
    void reportInfo(const QString &what);
    QString infoNotice() const { return m_info; }

    // Whether a test plan's run drives the board now.
    bool isRunDriven() const { return m_runDriven; }
    void setRunDriven(bool driven);

signals:
    void textChanged(BoardState::Field field, const QString &text);
    void barChanged(int value);
    void captionChanged(const QString &caption);
    void portEntryEnabledChanged(int port, bool enabled);
    void portEntryCheckedChanged(int port, bool checked);
    // A notice is shown, or (empty) none is any longer.
    void failureChanged(const QString &notice);
    // An information is shown, or (empty) none is any longer.
    void infoChanged(const QString &notice);
    void runDrivenChanged(bool driven);

private:
    static bool isPort(int port) { return port >= 1 && port <= kPortCount; }
    void clearFailure();
    void clearInfo();

    std::array<QString, kFieldCount> m_texts;
    int m_bar = 0;
    QString m_caption;
    std::array<bool, kPortCount> m_enabled{};
    std::array<bool, kPortCount> m_checked{};
    QString m_failure;
    QString m_info;
    bool m_runDriven = false;
};
