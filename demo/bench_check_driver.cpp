// SPDX-License-Identifier: MIT
#include "bench_check_driver.h"

#include "bench_checks_window.h"
#include "bench_core.h"
#include "board_reply.h"
#include "main_window.h"
#include "report_files.h"
#include "simulated_board.h"
#include "verdict.h"

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

QString mmHg(double value)
{
    return QStringLiteral("%1 mmHg").arg(value, 0, 'f', 1);
}

QString statistic(const char *name, const CheckReport::Statistic &s)
{
    return QStringLiteral("%1 mean %2 SD %3")
        .arg(QLatin1String(name))
        .arg(s.mean, 0, 'f', 1)
        .arg(s.sd ? QString::number(*s.sd, 'f', 1) : QStringLiteral("-"));
}

} // namespace

BenchCheckDriver::BenchCheckDriver(MainWindow &mainWindow, BenchCore &core, SimulatedBoard &board,
                                   const QDir &output, int timeoutMs, QObject *parent)
    : DemoStage(parent)
    , m_mainWindow(mainWindow)
    , m_core(core)
    , m_board(board)
    , m_output(output)
    , m_timeoutMs(timeoutMs)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(timeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        finish(1, QStringLiteral("the bench check did not complete within %1 s")
                      .arg(double(m_timeoutMs) / 1000.0));
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
    m_mainWindow.showBenchChecksWindow();
    m_checksWindow = m_mainWindow.benchChecksWindow();
    if (!m_checksWindow) {
        finish(1, QStringLiteral("File > Bench checks did not open the Bench checks window"));
        return;
    }
    if (!m_core.panel().isIdle()) {
        finish(1, QStringLiteral("the panel is not idle at the start of the bench check"));
        return;
    }
    m_clock.start();
    m_deadline.start();
    configureBoard();
    fillIn();
    follow();
    say(QStringLiteral("bench check: leak test, three manometer points, %1 measurements "
                       "around %2/%3")
            .arg(kMeasurements)
            .arg(kSetPoint.systolic)
            .arg(kSetPoint.diastolic));
    m_stage = Stage::LeakTest;
    later([this] {
        m_core.panel().startLeakTest();
        say(QStringLiteral("bench check: leak test"));
    });
}

// A new board: its checks cleared (the demo's first measurement is no part
// of them), who and what, and the set point.
void BenchCheckDriver::fillIn()
{
    m_core.clearChecks();
    m_core.setSessionField(BenchCore::SessionField::Board, QStringLiteral("DEMO-0001"));
    m_core.setSessionField(BenchCore::SessionField::Operator, QStringLiteral("tarnvik-demo"));
    m_core.setSessionField(BenchCore::SessionField::Instrument,
                           QStringLiteral("simulated gauge and BP simulator"));
    m_core.setSetPoint(SetPoint{double(kSetPoint.systolic), double(kSetPoint.diastolic),
                                std::nullopt, double(kSetPoint.pulse)});
}

void BenchCheckDriver::follow()
{
    connect(&m_core.panel().state(), &BoardState::textChanged, this,
            [this](BoardState::Field field, const QString &text) {
                if (field == BoardState::Field::ReplyLine && !text.isEmpty())
                    lineShown(text);
            });
    connect(&m_core.panel(), &BoardPanel::measurementEnded, this,
            &BenchCheckDriver::measurementEnded);
    const ChecksEngine &checks = m_core.checks();
    connect(&checks, &ChecksEngine::changed, this, &BenchCheckDriver::leakTestChanged);
    connect(
        &checks, &ChecksEngine::pointRecorded, this, [this](const CheckReport::StaticPoint &point) {
            ++m_pointsRecorded;
            const QString error = QString::number(point.errorMmHg, 'f', 1);
            m_pointOutcome = QStringLiteral("Recorded %1: the board read %2, error %3%4 mmHg: %5.")
                                 .arg(mmHg(point.referenceMmHg), mmHg(point.boardMmHg),
                                      error.toDouble() > 0 ? QStringLiteral("+") : QString(), error,
                                      verdictName(point.verdict).toUpper());
        });
    connect(&checks, &ChecksEngine::pointRefused, this, [this](double, const Failure &why) {
        m_pointOutcome = QStringLiteral("Not recorded: %1.").arg(why.text);
    });
    connect(&m_core, &BenchCore::readingRefused, this,
            [this] { m_pointOutcome = QStringLiteral("No port is open: nothing recorded."); });
}

// The signals come from inside the panel and the checks at work; what the
// operator does in answer comes after.
void BenchCheckDriver::later(std::function<void()> step)
{
    QMetaObject::invokeMethod(
        this,
        [this, step = std::move(step)] {
            if (m_stage != Stage::Done)
                step();
        },
        Qt::QueuedConnection);
}

void BenchCheckDriver::leakTestChanged()
{
    if (m_stage != Stage::LeakTest ||
        m_core.checks().leakState().phase != ChecksEngine::LeakState::Phase::Done)
        return;
    m_stage = Stage::LeakEnd;
    later([this] { m_core.panel().breakOperation(); });
}

void BenchCheckDriver::lineShown(const QString &line)
{
    const BoardReply reply(line);
    if (reply.kind() != BoardReply::Kind::Pressure || !reply.pressure())
        return;
    const int pressure = *reply.pressure();
    if ((m_stage == Stage::LeakEnd || m_stage == Stage::ManometerEnd) && pressure == 0 &&
        m_core.panel().isIdle()) {
        vented();
        return;
    }
    if (m_stage != Stage::Manometer)
        return;
    m_steadyLines = pressure == m_lastMmHg ? m_steadyLines + 1 : 1;
    m_lastMmHg = pressure;
    if (m_steadyLines == kSteadyLinesBeforeReading && pressure > kGaugeOffset)
        holdSteady(pressure);
}

// The cuff is down after Break: on to the next part.
void BenchCheckDriver::vented()
{
    if (m_stage == Stage::LeakEnd) {
        m_stage = Stage::Manometer;
        later([this] {
            m_core.panel().startManometer();
            say(QStringLiteral("bench check: manometer"));
        });
        return;
    }
    m_stage = Stage::Measuring;
    later([this] { startMeasurement(); });
}

// The operator reads the reference gauge on the cuff line and records it.
void BenchCheckDriver::holdSteady(int boardMmHg)
{
    const double reading = boardMmHg - kGaugeOffset;
    later([this, reading] { readGauge(reading); });
}

void BenchCheckDriver::readGauge(double reading)
{
    m_pointOutcome.clear();
    m_core.recordReading(reading);
    ++m_holdsRead;
    say(QStringLiteral("bench check: gauge reads %1: %2").arg(mmHg(reading), m_pointOutcome));
    if (m_holdsRead < kHolds.size())
        return;
    if (m_pointsRecorded != kHolds.size()) {
        finish(1, QStringLiteral("only %1 of %2 manometer points were recorded")
                      .arg(m_pointsRecorded)
                      .arg(kHolds.size()));
        return;
    }
    m_stage = Stage::ManometerEnd;
    m_core.panel().breakOperation();
}

void BenchCheckDriver::measurementEnded(const MeasurementEnd &end)
{
    if (m_stage != Stage::Measuring)
        return;
    if (end.outcome == MeasurementEnd::Outcome::EndValue) {
        finish(1, QStringLiteral("the board ended a bench-check measurement with 999"));
        return;
    }
    ++m_measurementsDone;
    later([this] { startMeasurement(); });
}

// Each START once the last result is shown; the report once all are.
void BenchCheckDriver::startMeasurement()
{
    if (m_measurementsDone >= kMeasurements) {
        save();
        return;
    }
    m_core.panel().startMeasurement();
    ++m_measurementsStarted;
    say(QStringLiteral("bench check: measurement %1 of %2")
            .arg(m_measurementsStarted)
            .arg(kMeasurements));
}

void BenchCheckDriver::save()
{
    const QString pdf = m_output.absoluteFilePath(QString::fromLatin1(kReportFile));
    const CheckReport report = m_core.report();
    Failure error;
    if (!ReportFiles::save(report, pdf, ReportFiles::jsonBeside(pdf), QDateTime::currentDateTime(),
                           &error)) {
        finish(1, QStringLiteral("cannot save the report: %1").arg(error.text));
        return;
    }
    if (m_archive.store && !m_archive.store(report, pdf, ReportFiles::jsonBeside(pdf), &error)) {
        finish(1, QStringLiteral("the report is %1").arg(error.text));
        return;
    }
    say(QStringLiteral("saved %1 and %2").arg(pdf, ReportFiles::jsonBeside(pdf)));
    m_checksWindow->refresh();
    const QString picture = m_output.absoluteFilePath(QString::fromLatin1(kWindowPicture));
    if (!m_checksWindow->grab().save(picture)) {
        finish(1, QStringLiteral("cannot write %1").arg(picture));
        return;
    }
    say(QStringLiteral("saved %1").arg(picture));

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
    m_deadline.stop();
    say(message);
    emit finished();
}
