// SPDX-License-Identifier: MIT
// Plays the operator at a short bench check of the simulated board, through
// the bench core: it opens the Bench checks window (File > Bench checks),
// clears the checks (a new board), gives the core the board ID, operator,
// instrument and set point; it runs a leak test to its end, three manometer
// holds whose gauge readings it records, and five measurements around the set
// point through the core's panel; then it saves the report (report.pdf,
// report.json) and a picture of the Bench checks window into the output
// folder and prints every verdict. A stage of the demo (DemoStage):
// exitCode() is 0 when the check ran through and the board passed, 1
// otherwise (the reason is printed).
//
// It knows what the program knows: it follows the panel's state, the
// checks and the measurement ends by their signals, and acts a moment later
// (queued), never inside the handler that told it. A hold is a pressure the
// board reported the same kSteadyLinesBeforeReading lines in a row; the gauge
// on the cuff line reads what the board reports less the gauge offset the
// demo gave the simulated board, as an operator reads the gauge. The board's
// times are its own (250 ms steps at any time scale), so it runs the same at
// any time scale.
#pragma once

#include "bench_checks_window.h"
#include "demo_stage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <functional>

class BenchChecksWindow;
class BenchCore;
class MainWindow;
class SimulatedBoard;
struct MeasurementEnd;

class BenchCheckDriver : public DemoStage
{
    Q_OBJECT

public:
    static constexpr int kMeasurements = 5;
    static constexpr double kLeakRate = 4.0; // mmHg a minute
    static constexpr int kHoldSeconds = 5;
    // Lines a hold has stood before its reading is recorded: more than the
    // checks' 2 s of readings (a line every 250 ms), so they all lie on it.
    static constexpr int kSteadyLinesBeforeReading = 12;

    static constexpr const char *kReportFile = "report.pdf";
    static constexpr const char *kWindowPicture = "bench-checks.png";

    BenchCheckDriver(MainWindow &mainWindow, BenchCore &core, SimulatedBoard &board,
                     const QDir &output, int timeoutMs, QObject *parent = nullptr);

    // Sets the board up for the check (leak rate, manometer holds, gauge
    // error, results around the set point), opens the Bench checks window
    // and starts with the leak test; the panel must be idle.
    void start() override;
    int exitCode() const override { return m_exitCode; }
    // The archive the saved report is stored in, as the window stores it.
    void setArchive(const BenchChecksWindow::Archive &archive) { m_archive = archive; }

private:
    enum class Stage { Setup, LeakTest, LeakEnd, Manometer, ManometerEnd, Measuring, Done };

    void configureBoard();
    void fillIn();
    void follow();
    void later(std::function<void()> step);
    void lineShown(const QString &line);
    void leakTestChanged();
    void vented();
    void holdSteady(int boardMmHg);
    void readGauge(double reading);
    void measurementEnded(const MeasurementEnd &end);
    void startMeasurement();
    void save();
    void finish(int exitCode, const QString &message);

    MainWindow &m_mainWindow;
    BenchCore &m_core;
    BenchChecksWindow::Archive m_archive;
    SimulatedBoard &m_board;
    BenchChecksWindow *m_checksWindow = nullptr;
    QDir m_output;
    int m_timeoutMs;
    QTimer m_deadline;
    QElapsedTimer m_clock;
    Stage m_stage = Stage::Setup;
    int m_lastMmHg = -1;   // the last pressure line in manometer mode
    int m_steadyLines = 0; // lines in a row that gave it
    int m_holdsRead = 0;
    int m_pointsRecorded = 0;
    QString m_pointOutcome; // what became of the last reading
    int m_measurementsStarted = 0;
    int m_measurementsDone = 0;
    int m_exitCode = 1;
};
