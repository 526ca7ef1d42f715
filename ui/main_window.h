// SPDX-License-Identifier: MIT
// The main window: the display fields, caption labels, the eight operator
// buttons, the menus, the pressure bar, the frames and the logo at their fixed
// places, the two timers and the status-bar clock. It owns the panel logic
// (BoardPanel) on the serial port it is given, implements the PanelDisplay the
// logic writes to and reads back from, and routes each window event to its one
// panel handler. Failures the logic reports show in the status bar beside the
// clock: their first line in the bar, all of it in the tooltip. Each Port menu
// entry's tooltip names its device. When the exit sequence ends the program the window emits
// programEnded(); the program's entry ends the event loop on it. Given the
// session's checks (offerBenchChecks), the File menu has "Bench checks…",
// which opens the one Bench checks window beside this one.
#pragma once

#include "bench_checks_window.h"
#include "board_panel.h"
#include "panel_display.h"
#include "port_map.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QTime>

#include <array>

class AboutWindow;
class QAction;
class QLabel;
class QMenu;
class QPalette;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;

class MainWindow : public QMainWindow, public PanelDisplay
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 518;
    static constexpr int kClientHeight = 605;
    static constexpr int kInterpretIntervalMs = 150;
    static constexpr int kClockIntervalMs = 350;

    // Builds the window and runs the panel's start-up (startUp) on `port`,
    // before the window is first shown. `port` must outlive the window.
    explicit MainWindow(SerialPort &port, QWidget *parent = nullptr);
    // The same, with the port map that bound the port's devices: its problems
    // are shown with the outcome of the start-up.
    MainWindow(SerialPort &port, const PortMap &portMap, QWidget *parent = nullptr);
    ~MainWindow() override;

    // PanelDisplay.
    void setText(Field field, const QString &text) override;
    QString text(Field field) const override;
    void setCaption(Button button, const QString &caption) override;
    void setBarValue(int value) override;
    void setPortEntryEnabled(int port, bool enabled) override;
    void setPortEntryChecked(int port, bool checked) override;
    void reportFailure(const QString &what) override;
    bool withdrawFailure(const QString &what) override;
    void endProgram() override;

    const BoardPanel &panel() const { return m_panel; }
    // The open About window, or null.
    AboutWindow *aboutWindow() const;
    // Adds File > "Bench checks…" (Ctrl+B) above "Exit" for the checks of
    // `engine`, which must outlive the window; the Bench checks window writes
    // its events with `writeEvent` and names devices with `deviceOf`.
    // `started` is when the session's recording began.
    void offerBenchChecks(ChecksEngine &engine, BenchChecksWindow::EventWriter writeEvent,
                          BenchChecksWindow::DeviceLookup deviceOf, const QDateTime &started);
    // The Bench checks window once it has been opened, or null.
    BenchChecksWindow *benchChecksWindow() const;
    // The failure report now shown: its first line in the status bar, all of
    // it in the notice's tooltip; empty when none is shown.
    QString failureNotice() const;

signals:
    // A failure notice appeared or changed; identical repeated reports do not
    // raise it again.
    void failureShown(const QString &notice);
    // The exit sequence has run: the program is to end now.
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
    void buildMenus(const SerialPort &serial);
    void buildTimers();
    void clearFailure();
    void showReplyLine();
    void showPendingReplyLine();

    void showClock();
    void showAboutWindow();
    void showBenchChecksWindow();

    BoardPanel m_panel;
    QWidget *m_client = nullptr;
    std::array<QLabel *, 9> m_fields{}; // indexed by PanelDisplay::Field
    QPushButton *m_startButton = nullptr;
    QProgressBar *m_pressureBar = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_failureLabel = nullptr;
    std::array<QAction *, 8> m_portEntries{};
    QTimer *m_interpretTimer = nullptr;
    QTimer *m_clockTimer = nullptr;
    QString m_replyLine;             // the reply-line field's text, read back by the panel logic
    bool m_replyLinePending = false; // m_replyLine is newer than the field shows
    QElapsedTimer m_replyLineShown;
    QPointer<AboutWindow> m_about;
    QMenu *m_fileMenu = nullptr;
    QAction *m_exitAction = nullptr;
    QAction *m_benchChecksAction = nullptr;
    ChecksEngine *m_checks = nullptr;
    BenchChecksWindow::EventWriter m_writeCheckEvent;
    BenchChecksWindow::DeviceLookup m_deviceOf;
    QDateTime m_sessionStarted;
    QPointer<BenchChecksWindow> m_benchChecks;
    QTime m_clockReading;
    QString m_lastFailure;
    bool m_centred = false;
    bool m_ended = false;
};
