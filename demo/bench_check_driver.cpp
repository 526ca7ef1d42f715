// SPDX-License-Identifier: MIT
#include "bench_check_driver.h"

#include "bench_checks_window.h"
#include "main_window.h"
#include "report_files.h"
#include "simulated_board.h"
#include "verdict.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>

namespace {

void say(const QString &text)
{
    std::fputs(qPrintable(QStringLiteral("demo: %1\n").arg(text)), stdout);
    std::fflush(stdout);
}

const QList<double> kHolds{50, 150, 250};
constexpr double kGaugeOffset = 1.0; // the board reads 1 mmHg high in manometer mode
const SimulatedBoard::SetPoint kSetPoint{120, 80, 72, 3.0};

QString statistic(const char *name, const CheckReport::Statistic &s)
{
    return QStringLiteral("%1 mean %2 SD %3")
        .arg(QLatin1String(name))
        .arg(s.mean, 0, 'f', 1)
        .arg(s.sd ? QString::number(*s.sd, 'f', 1) : QStringLiteral("-"));
}

} // namespace

BenchCheckDriver::BenchCheckDriver(MainWindow &mainWindow, SimulatedBoard &board,
                                   const QDir &output, int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_mainWindow(mainWindow)
    , m_board(board)
    , m_output(output)
    , m_timeoutMs(timeoutMs)
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &BenchCheckDriver::poll);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(timeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        finish(1, QStringLiteral("the bench check did not complete within %1 s")
                      .arg(double(m_timeoutMs) / 1000.0));
    });
    connect(&m_board, &SimulatedBoard::measurementFinished, this, [this](bool failed) {
        if (m_stage != Stage::Measuring)
            return;
        if (failed)
            finish(1, QStringLiteral("the board ended a bench-check measurement with 999"));
        else
            ++m_measurementsDone;
    });
}

void BenchCheckDriver::configureBoard()
{
    m_board.setLeakRate(kLeakRate);
    m_board.setManometerHolds(kHolds, kHoldSeconds);
    m_board.setGaugeError(1.0, kGaugeOffset);
    m_board.setSetPoint(kSetPoint);
}

void BenchCheckDriver::start()
{
    auto *entry = m_mainWindow.findChild<QAction *>(QStringLiteral("benchChecksAction"));
    if (entry)
        entry->trigger();
    m_checks = m_mainWindow.findChild<BenchChecksWindow *>();
    if (!m_checks) {
        finish(1, QStringLiteral("File > Bench checks did not open the Bench checks window"));
        return;
    }
    m_clock.start();
    m_deadline.start();
    configureBoard();
    fillIn();
    say(QStringLiteral("bench check: leak test, three manometer points, %1 measurements "
                       "around %2/%3")
            .arg(kMeasurements)
            .arg(kSetPoint.systolic)
            .arg(kSetPoint.diastolic));
    m_stage = Stage::LeakTest;
    m_poll.start();
}

// A new board in the Bench checks window: its checks cleared (the demo's
// first measurement is no part of them), who and what, and the set point.
void BenchCheckDriver::fillIn()
{
    m_checks->findChild<QPushButton *>(QStringLiteral("clearChecks"))->click();
    const auto type = [this](const char *field, const QString &text) {
        auto *edit = m_checks->findChild<QLineEdit *>(QLatin1String(field));
        edit->setText(text);
        edit->setCursorPosition(0);
    };
    type("boardId", QStringLiteral("DEMO-0001"));
    type("operatorName", QStringLiteral("tarnvik-demo"));
    type("referenceInstrument", QStringLiteral("simulated gauge and BP simulator"));
    type("setSystolic", QString::number(kSetPoint.systolic));
    type("setDiastolic", QString::number(kSetPoint.diastolic));
    type("setPulse", QString::number(kSetPoint.pulse));
}

bool BenchCheckDriver::idle() const
{
    return m_board.mode() == SimulatedBoard::Mode::Idle && m_board.pressure() == 0 &&
           m_mainWindow.panel().isIdle();
}

bool BenchCheckDriver::click(const char *button)
{
    auto *found = m_mainWindow.findChild<QPushButton *>(QLatin1String(button));
    if (!found) {
        finish(1, QStringLiteral("the main window has no button %1").arg(QLatin1String(button)));
        return false;
    }
    found->click();
    return true;
}

void BenchCheckDriver::poll()
{
    switch (m_stage) {
    case Stage::LeakTest:
    case Stage::LeakEnd:
        pollLeakTest();
        break;
    case Stage::Manometer:
    case Stage::ManometerEnd:
        pollManometer();
        break;
    case Stage::Measuring:
        pollMeasurements();
        break;
    case Stage::Setup:
    case Stage::Done:
        break;
    }
}

void BenchCheckDriver::pollLeakTest()
{
    if (m_stage == Stage::LeakTest) {
        if (!m_clicked) {
            if (idle() && click("LeakTest")) {
                m_clicked = true;
                say(QStringLiteral("bench check: leak test"));
            }
            return;
        }
        if (m_checks->findChild<QLabel *>(QStringLiteral("leakPhase"))->text() !=
            QLatin1String("done"))
            return;
        m_stage = Stage::LeakEnd;
        m_clicked = false;
        click("Break");
        return;
    }
    if (!idle())
        return;
    m_stage = Stage::Manometer;
}

void BenchCheckDriver::pollManometer()
{
    if (m_stage == Stage::ManometerEnd) {
        if (idle()) {
            m_stage = Stage::Measuring;
            m_clicked = false;
        }
        return;
    }
    if (!m_clicked) {
        if (idle() && click("ManoMode")) {
            m_clicked = true;
            say(QStringLiteral("bench check: manometer"));
        }
        return;
    }
    const int hold = m_board.holdIndex();
    if (hold <= m_lastHoldTried || m_board.heldSteps() < kHeldStepsBeforeReading)
        return;
    m_lastHoldTried = hold;
    // The operator reads the reference gauge on the cuff line and types it in.
    const QString reading = QString::number(m_board.appliedPressure(), 'f', 1);
    m_checks->findChild<QLineEdit *>(QStringLiteral("referenceReading"))->setText(reading);
    m_checks->recordPoint();
    const QString note = m_checks->findChild<QLabel *>(QStringLiteral("pointNote"))->text();
    say(QStringLiteral("bench check: gauge reads %1 mmHg: %2").arg(reading, note));
    if (note.startsWith(QLatin1String("Recorded")))
        ++m_pointsRecorded;
    if (hold + 1 < kHolds.size())
        return;
    if (m_pointsRecorded != kHolds.size()) {
        finish(1, QStringLiteral("only %1 of %2 manometer points were recorded")
                      .arg(m_pointsRecorded)
                      .arg(kHolds.size()));
        return;
    }
    m_stage = Stage::ManometerEnd;
    click("Break");
}

void BenchCheckDriver::pollMeasurements()
{
    // Each START waits for its result and for the window to show it.
    if (m_measurementsDone < m_measurementsStarted || !idle())
        return;
    if (m_measurementsDone >= kMeasurements) {
        save();
        return;
    }
    if (click("StartStop")) {
        ++m_measurementsStarted;
        say(QStringLiteral("bench check: measurement %1 of %2")
                .arg(m_measurementsStarted)
                .arg(kMeasurements));
    }
}

void BenchCheckDriver::save()
{
    m_poll.stop();
    const QString pdf = m_output.absoluteFilePath(QString::fromLatin1(kReportFile));
    QString error;
    if (!m_checks->saveReport(pdf, &error)) {
        finish(1, QStringLiteral("cannot save the report: %1").arg(error));
        return;
    }
    say(QStringLiteral("saved %1 and %2").arg(pdf, ReportFiles::jsonBeside(pdf)));
    m_checks->refresh();
    const QString picture = m_output.absoluteFilePath(QString::fromLatin1(kWindowPicture));
    if (!m_checks->grab().save(picture)) {
        finish(1, QStringLiteral("cannot write %1").arg(picture));
        return;
    }
    say(QStringLiteral("saved %1").arg(picture));

    const CheckReport report = m_checks->report();
    const CheckReport::Measurements &m = report.measurements;
    say(QStringLiteral("bench check: leak test %1, static pressure %2 (%3 points), "
                       "over-pressure %4, measurements %5 (%6 results; %7; %8)")
            .arg(verdictName(report.leakVerdict), verdictName(report.staticVerdict))
            .arg(report.staticPoints.size())
            .arg(verdictName(report.overPressureVerdict), verdictName(m.verdict))
            .arg(m.count)
            .arg(statistic("systolic", m.systolic), statistic("diastolic", m.diastolic)));
    if (report.verdict != Verdict::Pass) {
        finish(1, QStringLiteral("bench check: the board did not pass: %1")
                      .arg(verdictName(report.verdict)));
        return;
    }
    finish(0, QStringLiteral("bench check: board passed after %1 s")
                  .arg(double(m_clock.elapsed()) / 1000.0, 0, 'f', 1));
}

void BenchCheckDriver::finish(int exitCode, const QString &message)
{
    if (m_stage == Stage::Done)
        return;
    m_stage = Stage::Done;
    m_exitCode = exitCode;
    m_poll.stop();
    m_deadline.stop();
    say(message);
    emit finished();
}
