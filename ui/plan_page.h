// SPDX-License-Identifier: MIT
// The Bench checks window's test plan page. The operator chooses the plan:
// none (a free check, as without a plan), the built-in "Standard NIBP bench
// check", or a plan file through a file dialog (a file that is refused says
// why, naming the key, and cannot be started); then Start, or Enter at the
// end of the board ID in the window (a barcode scanner ends with it). While
// the plan runs the page shows its steps (the one running marked, each ended
// one with its verdict), a progress bar with the seconds left, the runner's
// prompt in large text, and Cancel, which sends Break at once and leaves the
// run incomplete; no step can be skipped. At the end it shows the run's
// verdict only once its files are written, with where they went; when they
// could not be, "not saved: <cause>" and no verdict.
//
// It owns the plan runner (PlanRunner) on the window's core and saves each
// run with the saver it is given (by default the plain files, RunFiles) into
// the reports folder of the settings file (ReportsFolder, looked at again at
// each start). The board ID, operator and
// instrument are the core's, as typed in the window. When the runner asks
// for the gauge's reading the page says so (readingAsked); the window takes
// it in its reference field and hands it to runner().giveReading().
#pragma once

#include "plan_runner.h"
#include "test_plan.h"
#include "verdict.h"

#include <QList>
#include <QWidget>

#include <optional>

class BenchCore;
class FittedLabel;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class VerdictBadge;

class PlanPage : public QWidget
{
    Q_OBJECT

public:
    // `core` must be started and outlive the page. Each run is saved with
    // `saver`; without one, with plainSaver().
    explicit PlanPage(BenchCore &core, PlanRunner::Saver saver = {}, QWidget *parent = nullptr);

    // Writes a run's PDF, JSON and trace into the folder (RunFiles), and
    // nothing else.
    static PlanRunner::Saver plainSaver();

    // The choices: no plan (a free check), the built-in plan, a plan file.
    void chooseFreeCheck();
    void chooseStandardPlan();
    // Reads the plan file at `path` and chooses it; false, with the refusal
    // shown and nothing to start, when it is no plan. No choice is made
    // while a plan runs.
    bool choosePlanFile(const QString &path);
    // The plan chosen; none for a free check or a file that was refused.
    const std::optional<TestPlan> &chosenPlan() const;
    // Whether the choice is a free check.
    bool isFreeCheck() const;

    // Starts the plan chosen on the core's board; false, with the reason
    // shown, when it cannot start.
    bool startRun();
    // Cancel: Break at once; the run ends incomplete.
    void cancelRun();

    PlanRunner &runner() { return m_runner; }
    // The run's verdict as shown: none while it runs, before a run and when
    // its files could not be written.
    Verdict shownVerdict() const;

signals:
    // The runner asks for the gauge's reading for the point `pointMmHg`.
    void readingAsked(double pointMmHg);
    void runStarted();
    // The run is over and its outcome shown.
    void runFinished(const PlanRunner::Outcome &outcome);

private:
    // One entry of the chooser.
    struct Choice
    {
        std::optional<TestPlan> plan;
        QString path;    // a plan file's
        QString refusal; // why a plan file is no plan
    };

    QLayout *buildChooserRow();
    QLayout *buildRunArea();
    void choiceMade(int index);
    void openPlanFile();
    void showChoice();
    void showSteps(const std::optional<TestPlan> &plan);
    void setStepItem(int step, const QString &state, Verdict verdict);
    void showStarted();
    void stepStarted(int step);
    void stepEnded(int step);
    void progressed(const PlanRunner::Progress &progress);
    void prompted(int step, const QString &text);
    void finished(const PlanRunner::Outcome &outcome);
    void showRunning(bool running);

    BenchCore &m_core;
    PlanRunner m_runner;
    QList<Choice> m_choices; // as the chooser lists them, "Plan file…" last
    int m_chosen = 0;
    QString m_lastFolder;            // where the file dialog opens
    std::optional<TestPlan> m_shown; // whose steps the list shows

    QComboBox *m_chooser = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_cancel = nullptr;
    VerdictBadge *m_verdict = nullptr;
    QListWidget *m_steps = nullptr;
    FittedLabel *m_prompt = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_left = nullptr;
    FittedLabel *m_note = nullptr;
};
