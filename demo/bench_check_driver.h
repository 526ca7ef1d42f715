// SPDX-License-Identifier: MIT
// Plays the operator at a short bench check of the simulated board, through
// the real windows: in the Bench checks window it clears the checks (a new
// board), fills in the board ID, operator, instrument and set point; in the
// main window it runs a leak test to its end, three manometer holds whose
// gauge readings (the board's applied pressure) it types into the reference
// field, and five measurements around the set point; then it saves the
// report (report.pdf, report.json) and a picture of the Bench checks window
// into the output folder and prints every verdict. finished() tells the
// demo it is done; exitCode() is 0 when the check ran through and the board
// passed, 1 otherwise (the reason is printed).
//
// The board's times are its own (250 ms steps at any time scale); the driver
// waits on the board's state and on what the windows show, never on the
// wall clock, so it runs the same at any time scale.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class BenchChecksWindow;
class MainWindow;
class QPushButton;
class SimulatedBoard;

class BenchCheckDriver : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPollMs = 10;
    static constexpr int kMeasurements = 5;
    static constexpr double kLeakRate = 4.0; // mmHg a minute
    static constexpr int kHoldSeconds = 5;
    // Steps a hold has stood before its reading is typed: more than the
    // checks' 2 s of readings, so they all lie on the hold.
    static constexpr int kHeldStepsBeforeReading = 12;

    static constexpr const char *kReportFile = "report.pdf";
    static constexpr const char *kWindowPicture = "bench-checks.png";

    BenchCheckDriver(MainWindow &mainWindow, SimulatedBoard &board, const QDir &output,
                     int timeoutMs, QObject *parent = nullptr);

    // Sets the board up for the check (leak rate, manometer holds, gauge
    // error, results around the set point), opens the Bench checks window
    // from the File menu and starts driving; once the board is idle.
    void start();
    int exitCode() const { return m_exitCode; }

signals:
    void finished();

private:
    enum class Stage { Setup, LeakTest, LeakEnd, Manometer, ManometerEnd, Measuring, Done };

    void configureBoard();
    void poll();
    bool idle() const;
    bool click(const char *button);
    void fillIn();
    void pollLeakTest();
    void pollManometer();
    void pollMeasurements();
    void save();
    void finish(int exitCode, const QString &message);

    MainWindow &m_mainWindow;
    SimulatedBoard &m_board;
    BenchChecksWindow *m_checks = nullptr;
    QDir m_output;
    int m_timeoutMs;
    QTimer m_poll;
    QTimer m_deadline;
    QElapsedTimer m_clock;
    Stage m_stage = Stage::Setup;
    bool m_clicked = false; // the stage's button was clicked
    int m_pointsRecorded = 0;
    int m_lastHoldTried = -1;
    int m_measurementsStarted = 0;
    int m_measurementsDone = 0;
    int m_exitCode = 1;
};
