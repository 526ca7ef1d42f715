// SPDX-License-Identifier: MIT
#include "headless_run.h"

#include "reading_input.h"
#include "run_files.h"
#include "run_lines.h"
#include "run_options.h"

#include <QLocale>

#include <cmath>
#include <cstdio>

namespace {

void tell(const QString &text)
{
    std::fprintf(stderr, "tarnvik-run: %s\n", qPrintable(text));
    std::fflush(stderr);
}

void print(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

QString mmHg(double value)
{
    return CheckLimits::text(value);
}

// What of a run not saved is on the disk: the trace, or all three files when
// only the archive failed.
QString filesLeft(const PlanRunner::Files &files)
{
    if (!files.pdf.isEmpty())
        return QStringLiteral(" (its files are written: %1, %2, %3)")
            .arg(files.pdf, files.json, files.trace);
    if (!files.trace.isEmpty())
        return QStringLiteral(" (the trace is saved as %1)").arg(files.trace);
    return QString();
}

} // namespace

PlanRunner::Files HeadlessRun::saveFiles(const QString &folder, const CheckReport &report,
                                         const QByteArray &trace, const QDateTime &startedUtc)
{
    const RunFiles::Written written =
        RunFiles::save(folder, report, trace, startedUtc, QDateTime::currentDateTime());
    return PlanRunner::Files{written.pdf, written.json, written.trace, written.failure};
}

HeadlessRun::HeadlessRun(BenchCore &core, const RunOptions &options, ReadingInput *readings,
                         PlanRunner::Saver saver, QObject *parent)
    : QObject(parent)
    , m_runner(core, saver ? std::move(saver) : PlanRunner::Saver(&HeadlessRun::saveFiles))
    , m_readings(readings)
    , m_setup{options.board, options.operatorName, options.instrument, options.folder}
{
    connect(&m_runner, &PlanRunner::stepStarted, this, &HeadlessRun::stepStarted);
    connect(&m_runner, &PlanRunner::progressed, this, &HeadlessRun::progressed);
    connect(&m_runner, &PlanRunner::prompted, this, &HeadlessRun::prompted);
    connect(&m_runner, &PlanRunner::readingAsked, this, &HeadlessRun::readingAsked);
    connect(&m_runner, &PlanRunner::readingRefused, this, [](double value, const Failure &why) {
        tell(QStringLiteral("the reading %1 mmHg is not taken: %2").arg(mmHg(value), why.text));
    });
    connect(&m_runner, &PlanRunner::finished, this, &HeadlessRun::finished);
    if (m_readings) {
        connect(m_readings, &ReadingInput::lineRead, this, &HeadlessRun::lineRead);
        connect(m_readings, &ReadingInput::ended, this, [this](const QString &why) {
            const std::optional<double> point = m_runner.pointAsked();
            m_runner.cancel(
                QStringLiteral("no reading for %1 mmHg: %2").arg(mmHg(point.value_or(0)), why));
        });
    }
}

bool HeadlessRun::start(const TestPlan &plan, Failure *why)
{
    tell(QStringLiteral("running \"%1\" %2 on board %3")
             .arg(plan.name(), plan.version(), m_setup.board));
    return m_runner.start(plan, m_setup, why);
}

void HeadlessRun::stop(const QString &signal)
{
    if (m_stopped || !m_runner.isRunning())
        return;
    m_stopped = true;
    tell(QStringLiteral("%1: Break, the run ends").arg(signal));
    m_runner.cancel(QStringLiteral("stopped by %1").arg(signal));
}

void HeadlessRun::stepStarted(int step)
{
    const QList<TestPlan::Step> &steps = m_runner.plan()->steps();
    m_doing.clear();
    tell(QStringLiteral("step %1 of %2: %3")
             .arg(step + 1)
             .arg(steps.size())
             .arg(PlanRunner::stepTitle(steps.at(step))));
}

void HeadlessRun::progressed(const PlanRunner::Progress &progress)
{
    if (progress.doing == m_doing)
        return;
    m_doing = progress.doing;
    if (progress.secondsLeft && *progress.secondsLeft > 0)
        tell(QStringLiteral("  %1, %2 s left")
                 .arg(progress.doing)
                 .arg(std::ceil(*progress.secondsLeft)));
    else
        tell(QStringLiteral("  ") + progress.doing);
}

void HeadlessRun::prompted(int, const QString &text)
{
    if (!text.isEmpty() && text != QLatin1String(PlanRunner::kReadingPrompt))
        tell(text);
}

void HeadlessRun::readingAsked(int, int, double pointMmHg)
{
    tell(QStringLiteral("%1 for %2 mmHg, in mmHg:")
             .arg(QLatin1String(PlanRunner::kReadingPrompt), mmHg(pointMmHg)));
    m_readings->ask();
}

void HeadlessRun::lineRead(const QString &line)
{
    if (!m_runner.pointAsked())
        return;
    bool ok = false;
    const double value = QLocale::c().toDouble(line, &ok);
    if (!ok || !std::isfinite(value)) {
        tell(QStringLiteral("\"%1\" is no reading in mmHg").arg(line.left(40)));
        m_readings->ask();
        return;
    }
    m_runner.giveReading(value);
}

void HeadlessRun::finished(const PlanRunner::Outcome &outcome)
{
    if (!outcome.reason.isEmpty())
        tell(QStringLiteral("the run ended: %1").arg(outcome.reason));
    if (outcome.saved())
        printSteps(outcome);
    else
        tell(outcome.notSaved() + filesLeft(outcome.files));
    emit done(exitStatus(outcome, m_stopped));
}

void HeadlessRun::printSteps(const PlanRunner::Outcome &outcome)
{
    for (const QString &line : RunLines::of(outcome))
        print(line);
}

int HeadlessRun::exitStatus(const PlanRunner::Outcome &outcome, bool stopped)
{
    if (!outcome.saved())
        return kNotSaved;
    if (stopped)
        return kIncomplete;
    if (outcome.end == PlanRunner::End::BoardSilent)
        return kBoardSilent;
    switch (outcome.report.verdict) {
    case Verdict::Pass:
        return kPass;
    case Verdict::Fail:
        return kFail;
    case Verdict::Incomplete:
    case Verdict::None:
        break;
    }
    return kIncomplete;
}
