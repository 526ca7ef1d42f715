// SPDX-License-Identifier: MIT
// Drives one measurement through the real main window by itself, for runs
// without an operator: waits until the board has answered the start-up
// frames, clicks START, saves a picture of the window while the cuff deflates
// and another once the result is shown, checks that the panel shows what the
// board measured, hands over to the stages that follow it (the bench check,
// the test plan) one after the other while each goes well, and then chooses
// File > Exit. exitCode() is 0 when all of that happened in time, 1
// otherwise; the reason is printed.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class DemoStage;
class MainWindow;
class QAction;
class QProgressBar;
class QPushButton;
class SimulatedBoard;

class DemoDriver : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPollMs = 10;
    // How long the result stays on screen before its picture is taken, so
    // that the window has repainted and the clock shows.
    static constexpr int kSettleMs = 600;

    DemoDriver(MainWindow &window, SimulatedBoard &board, const QDir &output, int timeoutMs,
               QObject *parent = nullptr);

    // Starts driving; the output directory must exist. Call it while the
    // event loop runs or before it starts.
    void start();
    int exitCode() const { return m_exitCode; }
    // Runs `stage` after a measurement that went well and after the stages
    // added before it, if they went well, before the exit; the exit code of
    // the last stage run becomes the run's.
    void thenRun(DemoStage &stage) { m_stages.append(&stage); }

    static constexpr const char *kMidPicture = "measuring.png";
    static constexpr const char *kResultPicture = "result.png";

private:
    enum class Stage { StartUp, Measuring, Settling, Done };

    void poll();
    void clickStart();
    bool saveWindow(const char *name);
    void checkResult();
    void finish(int exitCode, const QString &message);
    void runStage(int index);

    MainWindow &m_window;
    SimulatedBoard &m_board;
    QProgressBar *m_bar;
    QPushButton *m_start;
    QAction *m_exit;
    QDir m_output;
    int m_timeoutMs;
    QTimer m_poll;
    QTimer m_deadline;
    QElapsedTimer m_clock;
    Stage m_stage = Stage::StartUp;
    int m_peak = 0;
    bool m_midSaved = false;
    int m_exitCode = 1;
    QList<DemoStage *> m_stages;
};
