// SPDX-License-Identifier: MIT
// The main window, a view of the panel logic (BoardPanel) it is given: the
// display fields, caption labels, the eight operator buttons, the menus, the
// pressure bar, the frames and the logo at their fixed places, the clock
// timer and the status-bar clock. It shows the panel's BoardState as it is
// when the window is built and follows its signals from then on; each click
// and menu choice goes to its one panel handler. It keeps no state of the
// board: only how it shows it. The reply-line field is repainted at most once
// an interpretation period (at the panel's tick), a failure notice shows its
// first line in the status bar beside the clock and all of it, with the time
// it was first shown, in its tooltip; an information ("COM5 is back") shows in
// the same place in the status bar's own colours. Each Port menu entry's tooltip names its
// device. When the panel's exit sequence has run, the window emits
// programEnded(); the program's entry ends the event loop on it. Built on a
// bench core, it shows the core's panel and its File menu has "Bench
// checks…", which opens the one Bench checks window on the core beside this
// one. Where the archive of runs is built (not in the Windows build), the
// program gives it the archive's settings (offerHistory()) and its File menu
// then has "History…", which opens the one History window on that archive.
// With the program's archive given (setArchive), the Bench checks window stores the
// reports it saves and shows a board's earlier runs; while runs wait for the
// line's database the status bar says how many (where a failure or an
// information notice is not shown).
#pragma once

#include "bench_checks_window.h"
#include "board_panel.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QTime>

#include <array>
#include <functional>

class AboutWindow;
class ArchiveSettings;
class BenchCore;
class QAction;
class QLabel;
class QMenu;
class QPalette;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 518;
    static constexpr int kClientHeight = 605;
    static constexpr int kClockIntervalMs = 350;

    // Builds the window on `panel`, which must outlive it. Whoever owns the
    // panel runs its start-up before the window is first shown.
    explicit MainWindow(BoardPanel &panel, QWidget *parent = nullptr);
    // Builds the window on the core's panel, with File > "Bench checks…"
    // (Ctrl+B) above "Exit" for the core's checks. The core must outlive the
    // window and be started.
    explicit MainWindow(BenchCore &core, QWidget *parent = nullptr);
    ~MainWindow() override;

    const BoardPanel &panel() const { return m_panel; }
    // The open About window, or null.
    AboutWindow *aboutWindow() const;
    // What File > "Bench checks…" does: opens the one Bench checks window,
    // beside this one when first opened, or brings it up. Nothing without a core.
    void showBenchChecksWindow();
    // The Bench checks window once it has been opened, or null.
    BenchChecksWindow *benchChecksWindow() const;
    // Adds File > "History…", a search of the archive `settings` name (the
    // settings file's [archive] group). Only where the archive is built
    // (TARNVIK_ARCHIVE); called once, before the window is shown.
    void offerHistory(const ArchiveSettings &settings);
    // What File > "History…" does: opens the one History window, or brings
    // it up. Nothing before offerHistory().
    void showHistoryWindow();
    // The History window once it has been opened, or null.
    QWidget *historyWindow() const { return m_history; }
    // The archive the Bench checks window uses, now and when it opens.
    void setArchive(const BenchChecksWindow::Archive &archive);
    // "N runs not yet in the line's database" in the status bar; hidden at 0.
    void showRunsWaiting(int runs);
    // What saves the Bench checks window's test plan runs, given to it when
    // it is first opened; without one, the plain files (PlanPage).
    void setRunSaver(PlanRunner::Saver saver) { m_runSaver = std::move(saver); }

signals:
    // The panel's exit sequence has run: the program is to end now.
    void programEnded();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildClientArea();
    void buildFramesAndLogo();
    void buildFields(const QPalette &system);
    void buildCaptions(const QPalette &system);
    void buildButtons();
    void buildPressureBar();
    void buildStatusBar(const QPalette &system);
    void buildMenus();
    void buildClock();
    void followState();
    void showText(BoardState::Field field, const QString &text);
    void showBar(int value);
    void showPortEntryEnabled(int port, bool enabled);
    void showRunDriven(bool driven);
    void showPortEntryChecked(int port, bool checked);
    void showFailure(const QString &notice);
    void showInfo(const QString &notice);
    void showNotice(QLabel *label, const QString &notice);
    void placeRunsWaiting();
    void showReplyLine();
    void showPendingReplyLine();
    void noteProgramEnded();

    void showClock();
    void showAboutWindow();
    void offerBenchChecks();

    BoardPanel &m_panel;
    QWidget *m_client = nullptr;
    std::array<QLabel *, BoardState::kFieldCount> m_fields{}; // indexed by BoardState::Field
    QPushButton *m_startButton = nullptr;
    QProgressBar *m_pressureBar = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_failureLabel = nullptr;
    QLabel *m_infoLabel = nullptr;
    QLabel *m_waitingLabel = nullptr; // runs not yet in the line's database
    int m_runsWaiting = 0;
    BenchChecksWindow::Archive m_archive;
    std::array<QAction *, 8> m_portEntries{};
    QTimer *m_clockTimer = nullptr;
    bool m_replyLinePending = false; // the state's reply line is newer than the field shows
    QElapsedTimer m_replyLineShown;
    QPointer<AboutWindow> m_about;
    QMenu *m_fileMenu = nullptr;
    QAction *m_exitAction = nullptr;
    QAction *m_benchChecksAction = nullptr;
    BenchCore *m_core = nullptr;
    QPointer<BenchChecksWindow> m_benchChecks;
    QAction *m_historyAction = nullptr;
    QPointer<QWidget> m_history;
    std::function<QWidget *()> m_makeHistory; // set by offerHistory()
    PlanRunner::Saver m_runSaver;
    QTime m_clockReading;
    bool m_centred = false;
    bool m_ended = false;
};
