// SPDX-License-Identifier: MIT
// The Bench checks window: the judgement of the board on the bench, live. It
// shows the board ID, operator and reference instrument fields; the leak test
// as it runs (phase, seconds left, drop so far, running rate); the highest
// cuff pressure against the patient limit, turning to FAIL the moment a
// stretch goes above it; the manometer reference field with its Record button
// (Enter records) and the points recorded; the measurement statistics against
// the set point typed in; a PASS / FAIL / INCOMPLETE badge per check and for
// the board; "Clear" for a new board and "Save report…".
//
// It is a view of a bench core: it shows the core's checks and fields and
// turns typing and clicks into the core's calls. What is typed in the board,
// operator, instrument and set-point fields goes to the core as it is typed,
// and the fields follow what the core holds (cleared with "Clear", or set by
// whoever else drives the core). A reading typed in the reference field is
// checked (BenchInput) and handed to the core, which writes it through the
// traffic recorder as an event of the open port; the engine's answer (a point
// recorded or refused) and the core's refusal come back by signal. The
// report is the core's; the window writes it as PDF and JSON (ReportFiles).
// With the program's archive given (setArchive), a saved report is stored as
// a free check's run before the window says it was saved, and the board ID
// typed shows the board's earlier runs from the archive at once, in one line
// beside the reference instrument.
//
// Below the checks, beside the measurements, the test plan page (PlanPage)
// runs a plan on the board. Enter in the board ID field with a plan chosen
// starts it (a barcode scanner ends the ID with Enter); the gauge's readings
// the run asks for are typed in the reference field, where Enter records
// them; a reading typed while the run asks for none is refused. While a run
// drives the board, Clear is held back and the board ID cannot be changed.
// The board's verdict is then the run's: none while it runs, and after it
// the verdict the plan page shows (none when its files were not written)
// until Clear; the checks' own verdict otherwise.
//
// It fits a netbook's screen beside the main window: its size never follows
// what it says. Each text that can grow long has a fixed number of lines and
// is cut with an ellipsis beyond them, whole in its tooltip; the window is
// placed inside the screen's available area with its frame, and on a screen
// smaller than its content it scrolls instead of leaving the screen.
#pragma once

#include "bench_core.h"
#include "check_report.h"
#include "failure.h"
#include "plan_runner.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class PlanPage;
class QBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class VerdictBadge;

class BenchChecksWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kRefreshMs = 100;
    // Pixels between the main window and this one.
    static constexpr int kGap = 8;
    // Static points the window shows beyond the table's least, where the
    // screen has room.
    static constexpr int kMorePointRows = 4;

    // `core` must be started and outlive the window. A top-level window; with
    // a parent it is closed and deleted with it. Its test plan runs are saved
    // with `runSaver`; without one, as plain files (PlanPage::plainSaver).
    explicit BenchChecksWindow(BenchCore &core, QWidget *parent = nullptr,
                               PlanRunner::Saver runSaver = {});
    ~BenchChecksWindow() override;

    // The program's archive of runs (app/ makes it); either may be empty.
    struct Archive
    {
        // Stores a free check whose report was written to `pdf` and `json`;
        // false, with why in `why`, when it is not stored.
        std::function<bool(const CheckReport &report, const QString &pdf, const QString &json,
                           Failure *why)>
            store;
        // The board's earlier runs in a sentence ("3rd run of this board;
        // last: FAIL on 2026-12-01, leak 7.2 mmHg/min"); empty for none known.
        std::function<QString(const QString &board)> history;
    };
    // From now on a saved report is stored too, and the board's runs show.
    void setArchive(const Archive &archive);

    // Records the reading typed in the reference field as a static point;
    // while a test plan runs, hands it to the run when it asks for one.
    void recordPoint();
    // Starts a new board: the checks and the board ID are cleared.
    void clearChecks();
    // Writes the core's report to `pdfPath` and its JSON beside it.
    bool saveReport(const QString &pdfPath, Failure *error);
    // Writes the report to `path` (".pdf" added when it has another ending)
    // and says in the window where, or why it could not.
    void saveReportAndSay(QString path);
    // Shows the core's checks now (the window also does so by itself).
    void refresh();
    // Puts the window to the right of `main`, or as near to it as the screen
    // allows: the window and its frame stay inside the screen's available
    // area, and a window too large for it scrolls its content.
    void placeBeside(const QWidget &main);
    // The whole content, or as much of it as the screen has room for.
    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QSize wholeContentSize() const;
    void fitBeside();
    QWidget *buildSessionBox();
    QWidget *buildLeakBox();
    QWidget *buildOverPressureBox();
    QWidget *buildStaticBox();
    QWidget *buildMeasurementBox();
    QWidget *buildTabs(PlanRunner::Saver runSaver);
    void followPlan();
    void boardIdEntered();
    void planReadingAsked(double pointMmHg);
    void planReadingRefused(double mmHg, const Failure &why);
    void showPlanRunning(bool running);
    void planFinished(const PlanRunner::Outcome &outcome);
    void buildSetPointRow(QBoxLayout &into);
    void buildButtonRow(QBoxLayout &into);
    void followCore();
    void showSessionField(BenchCore::SessionField field, const QString &text);
    void showSetPoint(const BenchInput::SetPointCheck &check);
    void showLeakTest(const CheckReport &report);
    void showOverPressure(const CheckReport &report);
    QString pressureNote(const CheckReport &checks, bool &problem) const;
    QString inflationNote(const CheckReport &checks, bool &problem) const;
    void showStaticPoints(const CheckReport &report);
    void showMeasurements(const CheckReport &report);
    void setPointEdited();
    void pointRecorded(const CheckReport::StaticPoint &point);
    void pointRefused(double referenceMmHg, const Failure &why);
    void readingRefused(double mmHg, const Failure &why);
    void overPressureSeen(qint64 ms, const QString &kind, int mmHg, double limitMmHg);
    void saveReportChosen();
    void showBoardHistory();
    void showNote(QLabel *label, const QString &text, bool problem);
    // Shows `text` in a label made by fittedText(), cut to its lines.
    void setFitted(QLabel *label, const QString &text);

    BenchCore &m_core;
    bool m_typingSetPoint = false; // the set point comes from this window's fields
    QTimer m_refresh;
    QWidget *m_content = nullptr;
    QPointer<const QWidget> m_beside; // the window to be placed beside at the next show

    QLineEdit *m_board = nullptr;
    QLineEdit *m_operator = nullptr;
    QLineEdit *m_instrument = nullptr;
    QLabel *m_history = nullptr; // the board's earlier runs
    Archive m_archive;

    QLabel *m_leakPhase = nullptr;
    QLabel *m_leakHold = nullptr;
    QLabel *m_leakLeft = nullptr;
    QLabel *m_leakDrop = nullptr;
    QLabel *m_leakRate = nullptr;
    VerdictBadge *m_leakBadge = nullptr;

    QLabel *m_pressureState = nullptr;
    VerdictBadge *m_pressureBadge = nullptr;

    QLineEdit *m_reference = nullptr;
    QPushButton *m_record = nullptr;
    QLabel *m_pointNote = nullptr;
    QTableWidget *m_points = nullptr;
    VerdictBadge *m_staticBadge = nullptr;

    QLineEdit *m_setSystolic = nullptr;
    QLineEdit *m_setDiastolic = nullptr;
    QLineEdit *m_setMean = nullptr;
    QLineEdit *m_setPulse = nullptr;
    QLabel *m_setPointNote = nullptr;
    QLabel *m_counts = nullptr;
    QTableWidget *m_statistics = nullptr;
    VerdictBadge *m_measurementBadge = nullptr;

    QTabWidget *m_tabs = nullptr;
    PlanPage *m_planPage = nullptr;
    // The last run's verdict as shown, until Clear; none without a run.
    std::optional<Verdict> m_planVerdict;

    VerdictBadge *m_overallBadge = nullptr;
    QPushButton *m_clear = nullptr;
    QPushButton *m_save = nullptr;
    QLabel *m_saveNote = nullptr;
};
