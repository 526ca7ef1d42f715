// SPDX-License-Identifier: MIT
#include "plan_page.h"

#include "bench_core.h"
#include "fitted_label.h"
#include "reports_folder.h"
#include "run_files.h"
#include "ui_fonts.h"
#include "verdict_badge.h"
#include "verdict_palette.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardPaths>

#include <cmath>

namespace {

constexpr int kFreeCheck = 0;
constexpr int kStandard = 1;
constexpr int kProgressSteps = 1000;

PlanRunner::Files saveRun(const QString &folder, const CheckReport &report, const QByteArray &trace,
                          const QDateTime &startedUtc)
{
    const RunFiles::Written written =
        RunFiles::save(folder, report, trace, startedUtc, QDateTime::currentDateTime());
    return PlanRunner::Files{written.pdf, written.json, written.trace, written.failure};
}

// "SN-0412-20261207T130509Z.pdf, .json and .trace in /home/op/reports"
QString filesText(const PlanRunner::Files &files)
{
    const QFileInfo pdf(files.pdf);
    return QObject::tr("%1, .json and .trace in %2")
        .arg(pdf.fileName(), QDir::toNativeSeparators(pdf.absolutePath()));
}

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

} // namespace

PlanRunner::Saver PlanPage::plainSaver()
{
    return &saveRun;
}

PlanPage::PlanPage(BenchCore &core, PlanRunner::Saver saver, QWidget *parent)
    : QWidget(parent)
    , m_core(core)
    , m_runner(core, saver ? std::move(saver) : plainSaver())
{
    setObjectName(QStringLiteral("planPage"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buildChooserRow());
    layout->addLayout(buildRunArea(), 1);
    m_choices = {Choice(), Choice{TestPlan::standard(), {}, {}}, Choice()};

    connect(&m_runner, &PlanRunner::started, this, &PlanPage::showStarted);
    connect(&m_runner, &PlanRunner::stepStarted, this, &PlanPage::stepStarted);
    connect(&m_runner, &PlanRunner::stepEnded, this, [this](int step) { stepEnded(step); });
    connect(&m_runner, &PlanRunner::progressed, this, &PlanPage::progressed);
    connect(&m_runner, &PlanRunner::prompted, this, &PlanPage::prompted);
    connect(&m_runner, &PlanRunner::readingAsked, this,
            [this](int, int, double pointMmHg) { emit readingAsked(pointMmHg); });
    connect(&m_runner, &PlanRunner::finished, this, &PlanPage::finished);
    m_lastFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    showChoice();
}

// The plan, Start and Cancel, and the run's verdict.
QLayout *PlanPage::buildChooserRow()
{
    auto *row = new QHBoxLayout;
    m_chooser = new QComboBox;
    m_chooser->setObjectName(QStringLiteral("planChoice"));
    m_chooser->addItems(
        {tr("None: a free check"), TestPlan::standard().name(), tr("Plan file\u2026")});
    m_chooser->setToolTip(tr("The test plan to run on the board"));
    auto *label = new QLabel(tr("Plan:"));
    label->setBuddy(m_chooser);
    m_start = new QPushButton(tr("Start"));
    m_start->setObjectName(QStringLiteral("startPlan"));
    m_start->setToolTip(tr("Runs the plan on the board (Enter in the board ID does too)"));
    m_cancel = new QPushButton(tr("Cancel"));
    m_cancel->setObjectName(QStringLiteral("cancelPlan"));
    m_cancel->setToolTip(tr("Break at once: the run ends incomplete"));
    m_cancel->setEnabled(false);
    m_verdict = new VerdictBadge;
    m_verdict->setObjectName(QStringLiteral("runVerdict"));
    row->addWidget(label);
    row->addWidget(m_chooser, 1);
    row->addWidget(m_start);
    row->addWidget(m_cancel);
    row->addWidget(m_verdict);
    connect(m_chooser, &QComboBox::activated, this, &PlanPage::choiceMade);
    connect(m_start, &QPushButton::clicked, this, &PlanPage::startRun);
    connect(m_cancel, &QPushButton::clicked, this, &PlanPage::cancelRun);
    return row;
}

// The steps on the left; the prompt, the progress and the note beside them.
QLayout *PlanPage::buildRunArea()
{
    auto *area = new QHBoxLayout;
    m_steps = new QListWidget;
    m_steps->setObjectName(QStringLiteral("planSteps"));
    m_steps->setSelectionMode(QAbstractItemView::NoSelection);
    m_steps->setFocusPolicy(Qt::NoFocus);
    m_steps->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    m_steps->setMinimumHeight(3 * m_steps->fontMetrics().lineSpacing() + 8);
    auto *side = new QVBoxLayout;
    m_prompt = new FittedLabel(2);
    m_prompt->setObjectName(QStringLiteral("planPrompt"));
    m_prompt->setFont(UiFonts::sans(14, true));
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("planProgress"));
    m_progress->setRange(0, kProgressSteps);
    m_progress->setValue(0);
    m_left = new QLabel;
    m_left->setObjectName(QStringLiteral("planSecondsLeft"));
    m_left->setMinimumWidth(m_left->fontMetrics().horizontalAdvance(tr("9999 s left")));
    m_left->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_left);
    m_note = new FittedLabel(2);
    m_note->setObjectName(QStringLiteral("planNote"));
    side->addWidget(m_prompt);
    side->addLayout(progressRow);
    side->addWidget(m_note);
    side->addStretch(1);
    area->addWidget(m_steps, 2);
    area->addLayout(side, 3);
    return area;
}

void PlanPage::chooseFreeCheck()
{
    if (m_runner.isRunning())
        return;
    m_chosen = kFreeCheck;
    showChoice();
}

void PlanPage::chooseStandardPlan()
{
    if (m_runner.isRunning())
        return;
    m_chosen = kStandard;
    showChoice();
}

// A file chosen again replaces its entry, read afresh.
bool PlanPage::choosePlanFile(const QString &path)
{
    if (m_runner.isRunning())
        return false;
    const TestPlan::Parsed parsed = TestPlan::load(path);
    Choice choice{parsed.plan, path, parsed.problem ? parsed.problem->text() : QString()};
    const QString name = QFileInfo(path).fileName();
    const QString text =
        parsed.plan ? tr("%1 %2 (%3)").arg(parsed.plan->name(), parsed.plan->version(), name)
                    : tr("%1 (refused)").arg(name);
    int index = -1;
    for (int i = kStandard + 1; i < m_choices.size() - 1; ++i) {
        if (m_choices.at(i).path == path)
            index = i;
    }
    if (index < 0) {
        index = int(m_choices.size()) - 1;
        m_choices.insert(index, choice);
        m_chooser->insertItem(index, text);
    } else {
        m_choices[index] = choice;
        m_chooser->setItemText(index, text);
    }
    m_chooser->setItemData(index, QDir::toNativeSeparators(path), Qt::ToolTipRole);
    m_lastFolder = QFileInfo(path).absolutePath();
    m_chosen = index;
    showChoice();
    return parsed.plan.has_value();
}

const std::optional<TestPlan> &PlanPage::chosenPlan() const
{
    return m_choices.at(m_chosen).plan;
}

bool PlanPage::isFreeCheck() const
{
    return m_chosen == kFreeCheck;
}

void PlanPage::choiceMade(int index)
{
    if (index == m_chooser->count() - 1) {
        openPlanFile();
        return;
    }
    m_chosen = index;
    showChoice();
}

// The dialog's answer chooses the file; without one the choice stays.
void PlanPage::openPlanFile()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open a test plan"), m_lastFolder,
                                                      tr("Test plans (*.json);;All files (*)"));
    if (path.isEmpty())
        showChoice();
    else
        choosePlanFile(path);
}

// The chooser, the plan's steps and what to do next, for the choice made.
void PlanPage::showChoice()
{
    m_chooser->setCurrentIndex(m_chosen);
    const Choice &choice = m_choices.at(m_chosen);
    m_start->setEnabled(choice.plan && !m_runner.isRunning());
    showSteps(choice.plan);
    m_verdict->setVerdict(Verdict::None);
    m_prompt->setFullText(QString());
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("%p%"));
    m_left->clear();
    if (!choice.refusal.isEmpty())
        m_note->showNote(tr("This plan cannot be run: %1").arg(choice.refusal), true);
    else if (choice.plan)
        m_note->showNote(tr("Type or scan the board ID and press Enter, or Start."), false);
    else
        m_note->showNote(tr("A free check: use the main window's buttons; the checks above "
                            "judge the board without a plan."),
                         false);
}

void PlanPage::showSteps(const std::optional<TestPlan> &plan)
{
    m_steps->clear();
    m_shown = plan;
    if (!plan)
        return;
    for (qsizetype i = 0; i < plan->steps().size(); ++i) {
        auto *item = new QListWidgetItem(m_steps);
        item->setToolTip(PlanRunner::stepTitle(plan->steps().at(i)));
        setStepItem(int(i), QString(), Verdict::None);
    }
}

// "2. Static pressure at 250, 200 and 0 mmHg: PASS", the running one bold.
void PlanPage::setStepItem(int step, const QString &state, Verdict verdict)
{
    QListWidgetItem *item = m_steps->item(step);
    if (!item || !m_shown || step >= m_shown->steps().size())
        return;
    QString text = tr("%1. %2").arg(step + 1).arg(PlanRunner::stepTitle(m_shown->steps().at(step)));
    if (!state.isEmpty())
        text = tr("%1: %2").arg(text, state);
    item->setText(text);
    QFont font = m_steps->font();
    font.setBold(state == tr("running"));
    item->setFont(font);
    const bool inked = verdict == Verdict::Pass || verdict == Verdict::Fail;
    item->setForeground(inked ? QBrush(QColor(QRgb(VerdictPalette::of(verdict).ink)))
                              : m_steps->palette().brush(QPalette::Text));
}

bool PlanPage::startRun()
{
    if (m_runner.isRunning())
        return false;
    const Choice &choice = m_choices.at(m_chosen);
    if (!choice.plan) {
        m_note->showNote(choice.refusal.isEmpty()
                             ? tr("Choose a test plan to run.")
                             : tr("This plan cannot be run: %1").arg(choice.refusal),
                         true);
        return false;
    }
    Failure why;
    const QString folder = ReportsFolder::ready(m_core.settingsFile(), &why);
    PlanRunner::Setup setup{m_core.sessionField(BenchCore::SessionField::Board),
                            m_core.sessionField(BenchCore::SessionField::Operator),
                            m_core.sessionField(BenchCore::SessionField::Instrument), folder};
    if (folder.isEmpty() || !m_runner.start(*choice.plan, setup, &why)) {
        m_note->showNote(tr("The run cannot start: %1.").arg(why.text), true);
        return false;
    }
    return true;
}

void PlanPage::cancelRun()
{
    m_runner.cancel();
}

Verdict PlanPage::shownVerdict() const
{
    return m_verdict->verdict();
}

void PlanPage::showStarted()
{
    showChoice();
    showSteps(m_runner.plan());
    m_note->showNote(
        tr("Running on board %1.").arg(m_core.sessionField(BenchCore::SessionField::Board)), false);
    showRunning(true);
    emit runStarted();
}

void PlanPage::stepStarted(int step)
{
    setStepItem(step, tr("running"), Verdict::None);
    m_steps->scrollToItem(m_steps->item(step));
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("%p%"));
    m_left->clear();
    m_prompt->setFullText(PlanRunner::stepTitle(m_runner.plan()->steps().at(step)));
}

void PlanPage::stepEnded(int step)
{
    const CheckReport::PlanStep judged = m_runner.judgedStep(step);
    setStepItem(step, VerdictBadge::text(judged.verdict), judged.verdict);
}

void PlanPage::progressed(const PlanRunner::Progress &progress)
{
    m_progress->setValue(
        int(std::lround(std::clamp(progress.fraction, 0.0, 1.0) * kProgressSteps)));
    m_progress->setFormat(progress.doing.isEmpty() ? QStringLiteral("%p%") : progress.doing);
    m_left->setText(progress.secondsLeft
                        ? tr("%1 s left").arg(std::ceil(std::max(0.0, *progress.secondsLeft)))
                        : QString());
}

// An empty prompt leaves the running step's title.
void PlanPage::prompted(int step, const QString &text)
{
    if (!text.isEmpty())
        m_prompt->setFullText(text);
    else if (step >= 0 && step < m_runner.plan()->steps().size())
        m_prompt->setFullText(PlanRunner::stepTitle(m_runner.plan()->steps().at(step)));
}

// The steps as judged, and the verdict only with the files written.
void PlanPage::finished(const PlanRunner::Outcome &outcome)
{
    for (qsizetype i = 0; i < outcome.report.steps.size(); ++i) {
        const CheckReport::PlanStep &step = outcome.report.steps.at(i);
        setStepItem(int(i), VerdictBadge::text(step.verdict), step.verdict);
    }
    showRunning(false);
    m_left->clear();
    m_progress->setFormat(QStringLiteral("%p%"));
    if (outcome.end == PlanRunner::End::Completed)
        m_progress->setValue(kProgressSteps);
    const QString ended = outcome.reason.isEmpty() ? QString() : capitalised(outcome.reason);
    if (!outcome.saved()) {
        m_verdict->setVerdict(Verdict::None);
        m_prompt->setFullText(ended.isEmpty() ? tr("The run is over.") : ended);
        m_note->showNote(outcome.notSaved(), true);
    } else {
        m_verdict->setVerdict(outcome.report.verdict);
        m_prompt->setFullText(
            tr("%1: %2").arg(VerdictBadge::text(outcome.report.verdict),
                             ended.isEmpty() ? tr("the run is over") : outcome.reason));
        m_note->showNote(tr("Saved %1.").arg(filesText(outcome.files)), false);
    }
    emit runFinished(outcome);
}

void PlanPage::showRunning(bool running)
{
    m_chooser->setEnabled(!running);
    m_start->setEnabled(!running && chosenPlan().has_value());
    m_cancel->setEnabled(running);
}
