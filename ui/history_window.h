// SPDX-License-Identifier: MIT
// The History window: a search of the archive of runs by board ID, date
// range, verdict, station and plan, and what it finds: the runs (the start
// with its UTC offset, board, station, plan and version or "free check",
// operator, verdict, leak rate, largest static error), the yield per day and
// per plan (passed / all, percent), and the leak rate and largest static
// error over time beside their limits (FigureChart). A run opens its PDF:
// written from the archive into a folder of the window's own, made afresh
// for it and entered by this user only, under a name nothing had (so no link
// planted there can lead the bytes elsewhere), and handed to the desktop's
// viewer.
//
// It is a view of HistorySource: it asks and shows the answers. The searches
// run on the source's thread, so nothing here waits on the archive; the
// window says "searching…" and then the answer, or the cause when the
// archive cannot be opened or reached. It searches the line's PostgreSQL
// database when the settings' [archive] group names one (every station's
// runs), else this bench's own SQLite archive (this station's runs only);
// with both, the operator chooses, and the window says which it searches.
// The date range is of this computer's days, both days included.
#pragma once

#include "archive_settings.h"
#include "failure.h"
#include "history_answer.h"
#include "run_filter.h"
#include "run_pdf.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class FigureChart;
class HistorySource;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTemporaryDir;

class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    enum class Archive { Line, Bench };
    // Shows the PDF at `file`; false when nothing could show it.
    using PdfOpener = std::function<bool(const QString &file)>;

    // A top-level window; with a parent it is closed and deleted with it.
    explicit HistoryWindow(const ArchiveSettings &settings, QWidget *parent = nullptr);
    ~HistoryWindow() override;

    // The archive searched: the line's database when the settings name one.
    Archive archive() const { return m_archive; }
    bool offersLine() const { return m_settings.line().has_value(); }
    // Searches `archive` from now on (this bench's when no line is named).
    void chooseArchive(Archive archive);
    // The conditions as the fields give them.
    RunFilter filter() const;
    // Searches with the fields' conditions; the answer comes later.
    void search();
    // Opens the PDF of the run selected in the table.
    void openSelectedPdf();
    // What shows a PDF (the desktop's viewer unless set).
    void setPdfOpener(PdfOpener opener) { m_openPdf = std::move(opener); }
    // The source of the archive searched.
    HistorySource &source();

signals:
    // The newest search's answer, or why there is none, is shown.
    void searchShown();
    // The PDF asked for was written and handed on, or why not is shown.
    void pdfShown();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildArchiveRow();
    QWidget *buildConditions();
    QWidget *buildRunsTab();
    QWidget *buildYieldTab();
    void follow(HistorySource *source);
    void showArchive();
    void showAnswer(int request, const HistoryAnswer &answer);
    void showRuns(const QList<RunSummary> &runs);
    void showYields(QTableWidget &table, const QList<YieldCount> &counts);
    void showFailure(int request, const QString &cause);
    void showPdf(int request, const RunPdf &pdf);
    // Writes `pdf` into the window's folder; the file, or empty with why.
    QString writePdf(const RunPdf &pdf, Failure *why);
    void say(QLabel *label, const QString &text, bool problem);

    ArchiveSettings m_settings;
    Archive m_archive = Archive::Bench;
    std::array<HistorySource *, 2> m_sources{}; // by Archive, made when first searched
    int m_searchRequest = 0;
    int m_pdfRequest = 0;
    bool m_searched = false;
    PdfOpener m_openPdf;
    std::unique_ptr<QTemporaryDir> m_pdfFolder;

    QComboBox *m_archiveChoice = nullptr;
    QLabel *m_archiveNote = nullptr;
    QLineEdit *m_board = nullptr;
    QLineEdit *m_station = nullptr;
    QLineEdit *m_plan = nullptr;
    QComboBox *m_verdict = nullptr;
    QCheckBox *m_fromGiven = nullptr;
    QDateEdit *m_from = nullptr;
    QCheckBox *m_toGiven = nullptr;
    QDateEdit *m_to = nullptr;
    QPushButton *m_search = nullptr;
    QLabel *m_status = nullptr;
    QTableWidget *m_runs = nullptr;
    QPushButton *m_openPdfButton = nullptr;
    QLabel *m_pdfNote = nullptr;
    QTableWidget *m_days = nullptr;
    QTableWidget *m_plans = nullptr;
    FigureChart *m_chart = nullptr;
};
