// SPDX-License-Identifier: MIT
#include "plan_runner.h"

#include "bench_core.h"
#include "board_reply.h"
#include "command_frame.h"
#include "command_set.h"
#include "measurement_end.h"
#include "run_trace.h"
#include "traffic_entry.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

using Kind = TestPlan::Step::Kind;
using Ending = PlanJudgement::Ending;

namespace {

QString mmHg(double value)
{
    return CheckLimits::text(value);
}

// "250, 200 and 0"
QString listed(const QList<double> &values)
{
    QStringList texts;
    for (double value : values)
        texts << mmHg(value);
    if (texts.size() < 2)
        return texts.join(QString());
    const QString last = texts.takeLast();
    return texts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

QString setPointText(const SetPoint &point)
{
    QString text = mmHg(point.systolic) + QLatin1Char('/') + mmHg(point.diastolic);
    if (point.mean)
        text += QLatin1Char('/') + mmHg(*point.mean);
    return text;
}

QString commandName(const QString &text)
{
    if (text == QLatin1String(CommandSet::kBreak))
        return QStringLiteral("Break");
    if (text == QLatin1String(CommandSet::kStart))
        return QStringLiteral("START");
    if (text == QLatin1String(CommandSet::kLeakTest))
        return QStringLiteral("Leak Test");
    if (text == QLatin1String(CommandSet::kManometer))
        return QStringLiteral("Manometer");
    return text;
}

} // namespace

std::optional<Verdict> PlanRunner::Outcome::verdict() const
{
    if (!saved())
        return std::nullopt;
    return report.verdict;
}

QString PlanRunner::Outcome::notSaved() const
{
    return saved() ? QString() : QStringLiteral("not saved: ") + files.failure.text;
}

PlanRunner::PlanRunner(BenchCore &core, Saver saver, QObject *parent)
    : QObject(parent)
    , m_core(core)
    , m_saver(std::move(saver))
    , m_request(core.panel())
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(kAnswerMs);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        end(End::BoardSilent, QStringLiteral("the board did not answer: nothing within %1 s of %2")
                                  .arg(kAnswerMs / 1000)
                                  .arg(m_waitingFor));
    });
    m_pause.setSingleShot(true);
    m_pause.setTimerType(Qt::PreciseTimer); // the plan's pause, not about 5 % of it
    connect(&m_pause, &QTimer::timeout, this, [this] {
        if (m_phase == Phase::Pausing)
            beginMeasurement();
    });
    connect(&m_request, &BoardRequest::answered, this, [this] {
        if (m_phase == Phase::Asking)
            later([this] { statusAnswered(); });
    });
    connect(&m_request, &BoardRequest::unanswered, this, [this] {
        if (m_phase == Phase::Asking)
            end(End::BoardSilent,
                QStringLiteral(
                    "the board did not answer: nothing within %1 s of the status request")
                    .arg(kAnswerMs / 1000));
    });
    connect(&core.recorder(), &TrafficRecorder::entryRecorded, this, &PlanRunner::takeEntry);
    connect(&core.panel().state(), &BoardState::portEntryCheckedChanged, this,
            &PlanRunner::portEntryChecked);
    connect(&core.checks(), &ChecksEngine::changed, this, &PlanRunner::checksChanged);
    connect(&core.panel(), &BoardPanel::measurementEnded, this, &PlanRunner::measurementEnded);
    connect(&core.checks(), &ChecksEngine::pointRecorded, this,
            [this](const CheckReport::StaticPoint &point) {
                if (m_recording)
                    m_recordedMs = point.ms;
            });
    connect(&core.checks(), &ChecksEngine::pointRefused, this, [this](double, const Failure &why) {
        if (m_recording)
            m_refused = why;
    });
    connect(&core, &BenchCore::readingRefused, this, [this](double, const Failure &why) {
        if (m_recording)
            m_refused = why;
    });
}

PlanRunner::~PlanRunner()
{
    if (isRunning())
        m_core.setPlanRunning(false);
}

Failure PlanRunner::refusal(const Setup &setup) const
{
    if (isRunning())
        return {Failure::Kind::InUse, QStringLiteral("a plan is running")};
    if (!m_saver)
        return Failure::refused(QStringLiteral("there is nothing to save the run's files with"));
    if (setup.board.trimmed().isEmpty())
        return Failure::refused(QStringLiteral("a run needs the board's ID"));
    const QFileInfo folder(setup.reportsFolder);
    if (setup.reportsFolder.isEmpty() || !folder.isDir())
        return {
            Failure::Kind::NotFound,
            QStringLiteral("the reports folder %1 is no folder")
                .arg(setup.reportsFolder.isEmpty() ? QStringLiteral("\"\"") : setup.reportsFolder)};
    if (!m_core.panel().port().isOpen())
        return {Failure::Kind::NotFound, QStringLiteral("no port is open")};
    if (m_request.isPending())
        return {Failure::Kind::InUse,
                QStringLiteral("the board's answer to the last status request is still awaited")};
    if (!m_core.panel().isIdle() || m_core.checks().mode() != ChecksEngine::Mode::Idle)
        return {Failure::Kind::InUse,
                QStringLiteral("the board is busy (%1): Break first")
                    .arg(m_core.panel().state().text(BoardState::Field::OperatingState))};
    return Failure();
}

bool PlanRunner::start(const TestPlan &plan, const Setup &setup, Failure *why)
{
    if (const Failure refused = refusal(setup); refused.failed())
        return fail(why, refused);
    ++m_generation;
    m_plan = plan;
    m_setup = setup;
    m_runs.clear();
    m_stepNotes.clear();
    m_step = -1;
    m_stepRunning = false;
    m_startedUtc = QDateTime::currentDateTimeUtc();
    m_trace = std::make_unique<RunTrace>(m_core.recorder());
    m_core.clearChecks();
    m_core.setSessionField(BenchCore::SessionField::Board, setup.board.trimmed());
    m_core.setSessionField(BenchCore::SessionField::Operator, setup.operatorName);
    m_core.setSessionField(BenchCore::SessionField::Instrument, setup.instrument);
    m_limits = plan.effectiveLimits(m_core.settingsLimits());
    m_core.setCheckLimits(m_limits);
    m_phase = Phase::Asking;
    m_core.setPlanRunning(true);
    emit started();
    if (m_phase != Phase::Asking) // cancelled by a slot of started()
        return true;
    m_sending = true;
    const bool sent = m_request.send(QString::fromLatin1(CommandSet::kReadStatus), kAnswerMs);
    m_sending = false;
    if (!sent)
        later([this] {
            end(End::BoardSilent, QStringLiteral("the status request could not be sent: %1")
                                      .arg(m_core.panel().state().failureNotice()));
        });
    return true;
}

void PlanRunner::cancel(const QString &why)
{
    end(End::Cancelled, why.isEmpty() ? QStringLiteral("cancelled") : why);
}

bool PlanRunner::isRunning() const
{
    return m_phase != Phase::None;
}

int PlanRunner::step() const
{
    return isRunning() && m_stepRunning ? m_step : -1;
}

std::optional<double> PlanRunner::pointAsked() const
{
    if (m_phase != Phase::Reading)
        return std::nullopt;
    return currentStep().staticPressure.pointsMmHg.at(m_point);
}

void PlanRunner::setTimeScale(double scale)
{
    if (scale > 0 && std::isfinite(scale))
        m_timeScale = scale;
}

QString PlanRunner::stepTitle(const TestPlan::Step &step)
{
    switch (step.kind) {
    case Kind::Leak:
        return QStringLiteral("Leak test, hold %1..%2 mmHg")
            .arg(mmHg(step.leak.holdMinMmHg), mmHg(step.leak.holdMaxMmHg));
    case Kind::Static:
        return QStringLiteral("Static pressure at %1 mmHg")
            .arg(listed(step.staticPressure.pointsMmHg));
    case Kind::Series:
        return QStringLiteral("%1 measurements at %2 mmHg, %3 s apart")
            .arg(step.series.count)
            .arg(setPointText(step.series.setPoint), mmHg(step.series.pauseS));
    }
    return {};
}

QString PlanRunner::holdPrompt(double pointMmHg)
{
    return QStringLiteral("Bring the pressure to %1 mmHg and hold it").arg(mmHg(pointMmHg));
}

const TestPlan::Step &PlanRunner::currentStep() const
{
    return m_plan->steps().at(m_step);
}

// Runs `action` after the handler at work, unless the run has moved on.
void PlanRunner::later(std::function<void()> action)
{
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, action = std::move(action)] {
            if (generation == m_generation && m_phase != Phase::None)
                action();
        },
        Qt::QueuedConnection);
}

// Sends one command through the panel, as its button would. False, with the
// run ended, when it did not go out.
bool PlanRunner::send(Command command)
{
    BoardPanel &panel = m_core.panel();
    const int before = m_framesSent;
    m_sending = true;
    QString name;
    switch (command) {
    case Command::Patient:
        name = QStringLiteral("the patient mode");
        if (m_plan->patient() == TestPlan::Patient::Adult)
            panel.setAdult();
        else
            panel.setNeonate();
        break;
    case Command::LeakTest:
        name = QStringLiteral("Leak Test");
        panel.startLeakTest();
        break;
    case Command::Manometer:
        name = QStringLiteral("Manometer");
        panel.startManometer();
        break;
    case Command::Start:
        name = QStringLiteral("START");
        panel.startMeasurement();
        break;
    case Command::Break:
        name = QStringLiteral("Break");
        panel.breakOperation();
        break;
    }
    m_sending = false;
    if (m_framesSent > before)
        return true;
    const QString failure = panel.state().failureNotice();
    end(End::BoardSilent,
        QStringLiteral("%1 could not be sent: %2")
            .arg(name, failure.isEmpty()
                           ? QStringLiteral("the panel is %1")
                                 .arg(panel.state().text(BoardState::Field::OperatingState))
                           : failure));
    return false;
}

// From now on the board is to send a line within kAnswerMs, and a line
// after each line, until the deadline is stopped.
void PlanRunner::listen(const QString &command)
{
    m_waitingFor = command;
    m_silence.start();
}

void PlanRunner::takeEntry(const TrafficEntry &entry)
{
    m_nowMs = std::max(m_nowMs, entry.ms);
    if (m_phase == Phase::None)
        return;
    if (entry.kind == QLatin1String(TrafficEntry::kSent)) {
        sentFrame(entry);
    } else if (entry.kind == QLatin1String(TrafficEntry::kReceived)) {
        if (const std::optional<BoardReply> reply = BoardReply::fromReceived(entry.bytes))
            lineArrived(*reply, entry.ms);
    }
}

// A frame that is not the runner's own ends the run: the plan no longer
// says what the board does. The panel's status request after "999" is not
// the operator's.
void PlanRunner::sentFrame(const TrafficEntry &entry)
{
    if (m_sending) {
        m_lastSentMs = entry.ms;
        ++m_framesSent;
        return;
    }
    const QString text = QString::fromLatin1(CommandFrame::text(entry.bytes));
    if (text == QLatin1String(CommandSet::kReadStatus))
        return;
    endLater(End::Cancelled,
             QStringLiteral("%1 was sent from outside the run").arg(commandName(text)));
}

// The port closed (its device was lost, another port was chosen): the board
// cannot be reached. Said once the panel has told why.
void PlanRunner::portEntryChecked(int, bool checked)
{
    if (checked || m_phase == Phase::None)
        return;
    ++m_generation;
    m_phase = Phase::Busy;
    later([this] {
        const QString notice =
            m_core.panel().state().failureNotice().section(QLatin1Char('\n'), 0, 0);
        end(End::BoardSilent, notice.isEmpty() ? QStringLiteral("the port closed")
                                               : QStringLiteral("the port closed: ") + notice);
    });
}

// Ends the run once the handler at work is done; nothing queued before runs.
void PlanRunner::endLater(End end, const QString &reason)
{
    ++m_generation;
    m_phase = Phase::Busy;
    later([this, end, reason] { this->end(end, reason); });
}

void PlanRunner::lineArrived(const BoardReply &reply, qint64 ms)
{
    if (m_silence.isActive()) {
        m_waitingFor = QStringLiteral("its last line");
        m_silence.start();
    }
    std::optional<int> pressure;
    if (reply.kind() == BoardReply::Kind::Pressure && reply.pressure())
        pressure = *reply.pressure();
    if (pressure)
        m_lastPressure = *pressure;
    switch (m_phase) {
    case Phase::Leak:
        if (overdue(m_limits.leakSettleMaxS + m_limits.leakWindowS + kLeakMarginS)) {
            m_phase = Phase::Busy;
            later([this] { breakStep(AfterVent::EndStep); });
        }
        break;
    case Phase::Holding:
    case Phase::Reading:
        holdingLine(ms, pressure);
        break;
    case Phase::Measuring:
        measuringLine(reply, ms);
        break;
    case Phase::Venting:
        if (pressure && *pressure == 0) {
            m_silence.stop();
            m_phase = Phase::Busy;
            later([this] { vented(); });
        }
        break;
    default:
        break;
    }
}

void PlanRunner::holdingLine(qint64 ms, std::optional<int> mmHg)
{
    if (!mmHg)
        return;
    m_hold->reading(ms, *mmHg);
    if (m_phase != Phase::Holding)
        return;
    if (m_hold->isSteadyNear(currentStep().staticPressure.pointsMmHg.at(m_point))) {
        m_phase = Phase::Reading;
        later([this] { askReading(); });
    } else if (m_hold->isOverdue()) {
        m_phase = Phase::Busy;
        later([this] { giveUpPoint(); });
    }
}

// The measurement ends once the panel has read its result or "999" (its
// measurementEnded, which makes it idle for the next START): read at once
// rather than at its next tick, which could be up to 150 ms away. The
// deadline runs on until then (measured() stops it).
void PlanRunner::measuringLine(const BoardReply &reply, qint64)
{
    if (reply.kind() == BoardReply::Kind::Result || reply.kind() == BoardReply::Kind::EndValue) {
        later([this] { m_core.panel().interpretLatestLine(); });
        return;
    }
    const bool adult = m_plan->patient() == TestPlan::Patient::Adult;
    const double longest = adult ? m_limits.inflationAdultS : m_limits.inflationNeonateS;
    if (overdue(longest + kMeasurementMarginS)) {
        m_phase = Phase::Busy;
        later([this] { breakStep(AfterVent::NextMeasurement); });
    }
}

// More than `seconds` of trace time since the phase's command.
bool PlanRunner::overdue(double seconds) const
{
    return m_nowMs - m_phaseMs > qRound64(seconds * 1000);
}

// The plan's patient mode is sent whatever the board shows, so that the
// run's trace says which mode its stretches were in.
void PlanRunner::statusAnswered()
{
    const bool adult = m_plan->patient() == TestPlan::Patient::Adult;
    const ChecksEngine::Patient wanted =
        adult ? ChecksEngine::Patient::Adult : ChecksEngine::Patient::Neonate;
    emit prompted(-1, QStringLiteral("Setting the board to %1 mode")
                          .arg(TestPlan::patientName(m_plan->patient())));
    if (m_phase == Phase::None || !send(Command::Patient))
        return;
    if (m_core.checks().patient() != wanted) {
        end(End::BoardSilent, QStringLiteral("the board could not be set to %1 mode")
                                  .arg(TestPlan::patientName(m_plan->patient())));
        return;
    }
    beginStep(0);
}

void PlanRunner::beginStep(int index)
{
    if (index >= m_plan->steps().size()) {
        end(End::Completed, QString());
        return;
    }
    m_step = index;
    m_stepRunning = true;
    PlanJudgement::StepRun run;
    run.startMs = m_nowMs;
    run.endMs = m_nowMs;
    if (currentStep().kind == Kind::Static)
        run.pointMs = QList<std::optional<qint64>>(currentStep().staticPressure.pointsMmHg.size());
    m_runs.append(run);
    m_stepNotes.append(QString());
    emit stepStarted(index);
    if (m_phase == Phase::None) // cancelled by a slot of stepStarted()
        return;
    switch (currentStep().kind) {
    case Kind::Leak:
        beginLeak();
        break;
    case Kind::Static:
        beginStatic();
        break;
    case Kind::Series:
        m_measurement = 0;
        m_measurementS.clear();
        beginMeasurement();
        break;
    }
}

void PlanRunner::endStep(Ending ending)
{
    PlanJudgement::StepRun &run = m_runs.last();
    run.endMs = m_nowMs;
    run.ending = ending;
    m_stepRunning = false;
    m_hold.reset();
    emit stepEnded(m_step, ending);
}

// Break; once the board has vented, `then`.
void PlanRunner::breakStep(AfterVent then)
{
    m_afterVent = then;
    if (!send(Command::Break))
        return;
    if (m_lastPressure > 0) {
        m_phase = Phase::Venting;
        listen(QStringLiteral("Break"));
        return;
    }
    m_silence.stop();
    m_phase = Phase::Busy;
    later([this] { vented(); });
}

void PlanRunner::vented()
{
    if (m_afterVent == AfterVent::NextMeasurement) {
        measured();
        return;
    }
    endStep(Ending::Done);
    beginStep(m_step + 1);
}

void PlanRunner::beginLeak()
{
    m_leakTotalS = 0;
    m_leakShown = -1;
    if (!send(Command::LeakTest))
        return;
    m_runs.last().startMs = m_lastSentMs;
    m_phaseMs = m_lastSentMs;
    m_phase = Phase::Leak;
    listen(QStringLiteral("Leak Test"));
    emit prompted(m_step, QString());
    tellLeak(m_core.checks().leakState());
}

void PlanRunner::checksChanged()
{
    if (m_phase != Phase::Leak)
        return;
    const ChecksEngine::LeakState leak = m_core.checks().leakState();
    tellLeak(leak);
    // Done, or gone (a port change ended it): the step is over either way.
    if (leak.phase == ChecksEngine::LeakState::Phase::Done ||
        leak.phase == ChecksEngine::LeakState::Phase::None) {
        m_phase = Phase::Busy;
        later([this] { breakStep(AfterVent::EndStep); });
    }
}

void PlanRunner::tellLeak(const ChecksEngine::LeakState &leak)
{
    using LeakPhase = ChecksEngine::LeakState::Phase;
    m_leakTotalS = std::max(m_leakTotalS, leak.secondsLeft);
    const int shown = int(std::ceil(leak.secondsLeft));
    if (shown == m_leakShown && leak.phase != LeakPhase::Done)
        return;
    m_leakShown = shown;
    Progress progress;
    progress.step = m_step;
    progress.secondsLeft = leak.secondsLeft;
    progress.fraction = m_leakTotalS > 0 ? 1.0 - leak.secondsLeft / m_leakTotalS : 0.0;
    switch (leak.phase) {
    case LeakPhase::None:
    case LeakPhase::PumpingUp:
        progress.doing = QStringLiteral("pumping up");
        break;
    case LeakPhase::Settling:
        progress.doing = QStringLiteral("settling");
        break;
    case LeakPhase::Measuring:
        progress.doing = QStringLiteral("measuring the leak");
        break;
    case LeakPhase::Done:
        progress.doing = QStringLiteral("done");
        progress.fraction = 1;
        progress.secondsLeft = 0;
        break;
    }
    emit progressed(progress);
}

void PlanRunner::beginStatic()
{
    if (!send(Command::Manometer))
        return;
    m_runs.last().startMs = m_lastSentMs;
    m_phaseMs = m_lastSentMs;
    m_point = 0;
    m_hold.emplace(m_limits);
    m_hold->restart(m_lastSentMs);
    listen(QStringLiteral("Manometer"));
    askHold();
}

void PlanRunner::askHold()
{
    m_phase = Phase::Holding;
    const QList<double> &points = currentStep().staticPressure.pointsMmHg;
    emit prompted(m_step, holdPrompt(points.at(m_point)));
    Progress progress;
    progress.step = m_step;
    progress.fraction = double(m_point) / points.size();
    progress.doing = QStringLiteral("%1 mmHg (%2 of %3)")
                         .arg(mmHg(points.at(m_point)))
                         .arg(m_point + 1)
                         .arg(points.size());
    emit progressed(progress);
}

void PlanRunner::askReading()
{
    if (m_phase != Phase::Reading)
        return;
    emit prompted(m_step, QString::fromLatin1(kReadingPrompt));
    emit readingAsked(m_step, m_point, currentStep().staticPressure.pointsMmHg.at(m_point));
}

bool PlanRunner::giveReading(double mmHg)
{
    Failure why;
    if (m_phase != Phase::Reading) {
        emit readingRefused(mmHg, Failure::refused(QStringLiteral("no reading is asked for")));
        return false;
    }
    const double point = currentStep().staticPressure.pointsMmHg.at(m_point);
    const double near = HoldWatch::nearMmHg(m_limits);
    // With the hold watch's slack: 110.2 typed at 100 mmHg is within 10.2.
    if (!(std::abs(mmHg - point) <= near + HoldWatch::kSlackMmHg)) {
        emit readingRefused(
            mmHg, Failure::refused(QStringLiteral("%1 mmHg is not within %2 mmHg of %3 mmHg")
                                       .arg(::mmHg(mmHg), ::mmHg(near), ::mmHg(point))));
        later([this] { askReading(); });
        return false;
    }
    if (!recordReading(mmHg, &why)) {
        emit readingRefused(mmHg, why);
        m_hold->restart(m_nowMs);
        askHold();
        return false;
    }
    ++m_point;
    m_hold->restart(m_nowMs);
    if (m_point < currentStep().staticPressure.pointsMmHg.size()) {
        askHold();
        return true;
    }
    emit prompted(m_step, QString());
    m_phase = Phase::Busy;
    later([this] { breakStep(AfterVent::EndStep); });
    return true;
}

// The board did not read steady near the point in time: the points left
// are not recorded, and the run goes on with the next step.
void PlanRunner::giveUpPoint()
{
    m_stepNotes.last() = QStringLiteral("the pressure did not come near %1 mmHg within %2 s")
                             .arg(mmHg(currentStep().staticPressure.pointsMmHg.at(m_point)))
                             .arg(HoldWatch::kLimitS);
    emit prompted(m_step, QString());
    breakStep(AfterVent::EndStep);
}

// Writes the reading through the core; the engine answers at once.
bool PlanRunner::recordReading(double mmHg, Failure *why)
{
    m_recording = true;
    m_recordedMs.reset();
    m_refused = Failure();
    m_core.recordReading(mmHg);
    m_recording = false;
    if (!m_recordedMs)
        return fail(why, m_refused.failed()
                             ? m_refused
                             : Failure(Failure::Kind::Other, QStringLiteral("not recorded")));
    m_runs.last().pointMs[m_point] = *m_recordedMs;
    return true;
}

void PlanRunner::beginMeasurement()
{
    if (!send(Command::Start))
        return;
    if (m_measurement == 0)
        m_runs.last().startMs = m_lastSentMs;
    m_phaseMs = m_lastSentMs;
    m_phase = Phase::Measuring;
    listen(QStringLiteral("START"));
    emit prompted(m_step, QString());
    tellSeries();
}

void PlanRunner::measurementEnded(const MeasurementEnd &)
{
    if (m_phase != Phase::Measuring)
        return;
    m_phase = Phase::Busy;
    later([this] { measured(); });
}

void PlanRunner::measured()
{
    m_silence.stop();
    m_measurementS.append((m_nowMs - m_phaseMs) / 1000.0);
    ++m_measurement;
    tellSeries();
    const TestPlan::Series &series = currentStep().series;
    if (m_measurement >= series.count) {
        endStep(Ending::Done);
        beginStep(m_step + 1);
        return;
    }
    m_phase = Phase::Pausing;
    m_pause.start(int(std::lround(series.pauseS * 1000 / m_timeScale)));
}

void PlanRunner::tellSeries()
{
    const TestPlan::Series &series = currentStep().series;
    Progress progress;
    progress.step = m_step;
    progress.fraction = double(m_measurement) / series.count;
    const int left = series.count - m_measurement;
    if (!m_measurementS.isEmpty()) {
        double sum = 0;
        for (double seconds : std::as_const(m_measurementS))
            sum += seconds;
        progress.secondsLeft = left * (sum / m_measurementS.size()) + left * series.pauseS;
    }
    progress.doing = QStringLiteral("%1 of %2 results").arg(m_measurement).arg(series.count);
    emit progressed(progress);
}

// Ends the run: Break at once unless it ran to its end, then the step's end.
void PlanRunner::end(End end, const QString &reason)
{
    if (m_phase == Phase::None)
        return;
    m_phase = Phase::None;
    ++m_generation;
    m_silence.stop();
    m_pause.stop();
    if (end != End::Completed) {
        m_sending = true;
        m_core.panel().breakOperation();
        m_sending = false;
    }
    if (m_stepRunning)
        endStep(end == End::Cancelled ? Ending::Cancelled : Ending::BoardSilent);
    finishRun(end, reason);
}

void PlanRunner::finishRun(End end, const QString &reason)
{
    Outcome outcome;
    outcome.end = end;
    outcome.reason = reason;
    outcome.report = m_core.report();
    judge(outcome.report);
    const QByteArray trace = m_trace->take();
    m_trace.reset();
    outcome.files = m_saver(m_setup.reportsFolder, outcome.report, trace, m_startedUtc);
    m_core.setPlanRunning(false);
    emit finished(outcome);
}

// The judgement, with why a step ended short where the runner knows it.
void PlanRunner::judge(CheckReport &report) const
{
    PlanJudgement::judge(*m_plan, m_runs, report);
    for (qsizetype i = 0; i < m_stepNotes.size() && i < report.steps.size(); ++i) {
        QString &reason = report.steps[i].reason;
        if (!m_stepNotes.at(i).isEmpty())
            reason = reason.isEmpty() ? m_stepNotes.at(i)
                                      : m_stepNotes.at(i) + QStringLiteral("; ") + reason;
    }
}

CheckReport::PlanStep PlanRunner::judgedStep(int step) const
{
    if (!m_plan || step < 0 || step >= m_plan->steps().size())
        return {};
    CheckReport report = m_core.report();
    judge(report);
    return report.steps.at(step);
}
