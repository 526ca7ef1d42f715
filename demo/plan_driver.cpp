// SPDX-License-Identifier: MIT
#include "plan_driver.h"

#include "bench_core.h"
#include "check_limits.h"
#include "plan_page.h"
#include "run_lines.h"
#include "simulated_board.h"
#include "test_plan.h"
#include "verdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

void say(const QString &text)
{
    std::fputs(qPrintable(QStringLiteral("demo: plan: %1\n").arg(text)), stdout);
    std::fflush(stdout);
}

const SimulatedBoard::SetPoint kSetPoint{120, 80, 72, 2.0};

QString mmHg(double value)
{
    return CheckLimits::text(value);
}

} // namespace

PlanDriver::PlanDriver(BenchCore &core, SimulatedBoard &board, const QDir &output, int timeoutMs,
                       PlanRunner::Saver saver, QObject *parent)
    : DemoStage(parent)
    , m_core(core)
    , m_board(board)
    , m_output(output)
    , m_timeoutMs(timeoutMs)
    , m_runner(core, saver ? std::move(saver) : PlanPage::plainSaver())
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(timeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        const QString late =
            QStringLiteral("not done within %1 s").arg(double(m_timeoutMs) / 1000.0);
        if (!m_runner.isRunning()) {
            finish(1, late);
            return;
        }
        say(late + QStringLiteral(": cancelling the run"));
        m_runner.cancel(QStringLiteral("the demo's time ran out"));
    });
    connect(&m_runner, &PlanRunner::stepStarted, this, &PlanDriver::stepStarted);
    connect(&m_runner, &PlanRunner::progressed, this, &PlanDriver::progressed);
    connect(&m_runner, &PlanRunner::prompted, this, &PlanDriver::prompted);
    connect(&m_runner, &PlanRunner::readingAsked, this, &PlanDriver::readingAsked);
    connect(&m_runner, &PlanRunner::readingRefused, this, [](double value, const Failure &why) {
        say(QStringLiteral("the reading %1 mmHg is not taken: %2").arg(mmHg(value), why.text));
    });
    connect(&m_runner, &PlanRunner::finished, this, &PlanDriver::ended);
}

void PlanDriver::configureBoard()
{
    m_board.setLeakRate(kLeakRate);
    m_board.setLeakHold(kLeakHold);
    m_board.setLeakOvershoot(kOvershoot);
    m_board.setGaugeError(kGaugeGain, 0.0);
    m_board.setSetPoint(kSetPoint);
    m_runner.setTimeScale(m_board.timeScale());
}

void PlanDriver::start()
{
    m_clock.start();
    m_deadline.start();
    configureBoard();
    // Not inside the handler of the stage before.
    QMetaObject::invokeMethod(this, &PlanDriver::begin, Qt::QueuedConnection);
}

void PlanDriver::begin()
{
    if (!m_output.mkpath(QString::fromLatin1(kFolder))) {
        finish(1, QStringLiteral("cannot create %1")
                      .arg(m_output.absoluteFilePath(QString::fromLatin1(kFolder))));
        return;
    }
    const TestPlan plan = TestPlan::standard();
    const PlanRunner::Setup setup{QString::fromLatin1(kBoard), QStringLiteral("tarnvik-demo"),
                                  QStringLiteral("simulated gauge and BP simulator"),
                                  m_output.absoluteFilePath(QString::fromLatin1(kFolder))};
    say(QStringLiteral("running \"%1\" %2 on board %3 (the board leaks %4 mmHg/min at %5 mmHg, "
                       "its manometer reads %6 % high)")
            .arg(plan.name(), plan.version(), setup.board, mmHg(kLeakRate), mmHg(kLeakHold))
            .arg((kGaugeGain - 1.0) * 100.0));
    Failure why;
    if (!m_runner.start(plan, setup, &why))
        finish(1, QStringLiteral("the plan cannot start: %1").arg(why.text));
}

void PlanDriver::stepStarted(int step)
{
    const QList<TestPlan::Step> &steps = m_runner.plan()->steps();
    say(QStringLiteral("step %1 of %2: %3")
            .arg(step + 1)
            .arg(steps.size())
            .arg(PlanRunner::stepTitle(steps.at(step))));
}

// Where the step stands; a static step's points show by their prompts.
void PlanDriver::progressed(const PlanRunner::Progress &progress)
{
    const QList<TestPlan::Step> &steps = m_runner.plan()->steps();
    if (progress.doing == m_doing || progress.step < 0 || progress.step >= steps.size() ||
        steps.at(progress.step).kind == TestPlan::Step::Kind::Static)
        return;
    m_doing = progress.doing;
    if (progress.secondsLeft && *progress.secondsLeft > 0)
        say(QStringLiteral("  %1, %2 s of board time left")
                .arg(progress.doing)
                .arg(std::ceil(*progress.secondsLeft)));
    else
        say(QStringLiteral("  ") + progress.doing);
}

// The operator brings the cuff line to the point asked for.
void PlanDriver::prompted(int step, const QString &text)
{
    if (step < 0 || text.isEmpty() || text == QLatin1String(PlanRunner::kReadingPrompt))
        return;
    say(text);
    for (double point : m_runner.plan()->steps().at(step).staticPressure.pointsMmHg) {
        if (text == PlanRunner::holdPrompt(point))
            m_board.holdAt(point);
    }
}

// The operator reads the reference gauge on the line and types it.
void PlanDriver::readingAsked(int, int, double pointMmHg)
{
    const double reading = m_board.referenceReading();
    say(QStringLiteral("%1 for %2 mmHg: %3")
            .arg(QLatin1String(PlanRunner::kReadingPrompt), mmHg(pointMmHg))
            .arg(reading, 0, 'f', 1));
    QMetaObject::invokeMethod(
        this, [this, reading] { m_runner.giveReading(reading); }, Qt::QueuedConnection);
}

void PlanDriver::ended(const PlanRunner::Outcome &outcome)
{
    m_deadline.stop();
    if (!outcome.saved()) {
        finish(1, outcome.notSaved());
        return;
    }
    printSteps(outcome);
    if (outcome.verdict() != std::optional<Verdict>(Verdict::Pass)) {
        finish(1, QStringLiteral("the board did not pass the plan"));
        return;
    }
    finish(0, QStringLiteral("board passed the plan after %1 s")
                  .arg(double(m_clock.elapsed()) / 1000.0, 0, 'f', 1));
}

// Each step's verdict, the run's and the files, as tarnvik-run prints them.
void PlanDriver::printSteps(const PlanRunner::Outcome &outcome)
{
    for (const QString &line : RunLines::of(outcome))
        say(line);
}

void PlanDriver::finish(int exitCode, const QString &message)
{
    if (m_done)
        return;
    m_done = true;
    m_exitCode = exitCode;
    m_deadline.stop();
    say(message);
    emit finished();
}
