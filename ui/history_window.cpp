// SPDX-License-Identifier: MIT
#include "history_window.h"

#include "figure_chart.h"
#include "history_source.h"
#include "run_record.h"
#include "verdict_palette.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr const char *kNoValue = "\u2014";

enum RunColumn { Started, Board, Station, Plan, Operator, VerdictColumn, Leak, StaticError };

QString oneDecimal(const std::optional<double> &value, bool withSign = false)
{
    if (!value)
        return QString::fromUtf8(kNoValue);
    const QString text = QString::number(*value, 'f', 1);
    return withSign && text.toDouble() > 0 ? QLatin1Char('+') + text : text;
}

// "2026-12-07T14:05:09+01:00" as "2026-12-07 14:05:09 +01:00".
QString startText(const QString &iso)
{
    if (iso.size() <= 19)
        return iso;
    return iso.left(10) + QLatin1Char(' ') + iso.mid(11, 8) + QLatin1Char(' ') + iso.mid(19);
}

QString planText(const RunSummary &run)
{
    return run.planVersion.isEmpty() ? run.plan : run.plan + QLatin1Char(' ') + run.planVersion;
}

Verdict verdictOf(const QString &name)
{
    if (name == QLatin1String("pass"))
        return Verdict::Pass;
    if (name == QLatin1String("fail"))
        return Verdict::Fail;
    return Verdict::Incomplete;
}

QTableWidget *makeTable(const QStringList &columns)
{
    auto *table = new QTableWidget(0, int(columns.size()));
    table->setHorizontalHeaderLabels(columns);
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QTableWidgetItem *cell(const QString &text, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    return item;
}

// A name for a run's PDF that is safe as a file name: the board's ID, the
// day and the run's UUID's start.
QString pdfName(const RunPdf &pdf)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]+"));
    QString board = pdf.board.left(40);
    board.replace(unsafe, QStringLiteral("_"));
    return QStringLiteral("%1-%2-%3").arg(board, pdf.started.left(10), pdf.uuid.left(8));
}

// "FILE cannot be written: why" for a PDF QFile could not make or write: a
// full disk, a folder not permitted, else an I/O failure.
Failure unwritable(const QFile &file)
{
    return {Failure::kindOfFile(file),
            HistoryWindow::tr("%1 cannot be written: %2").arg(file.fileName(), file.errorString())};
}

} // namespace

HistoryWindow::HistoryWindow(const ArchiveSettings &settings, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_settings(settings)
    , m_archive(settings.line() ? Archive::Line : Archive::Bench)
    , m_openPdf(
          [](const QString &file) { return QDesktopServices::openUrl(QUrl::fromLocalFile(file)); })
{
    setWindowTitle(tr("History"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildArchiveRow());
    layout->addWidget(buildConditions());
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("historyStatus"));
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    auto *tabs = new QTabWidget;
    tabs->addTab(buildRunsTab(), tr("Runs"));
    tabs->addTab(buildYieldTab(), tr("Yield"));
    m_chart = new FigureChart;
    m_chart->setObjectName(QStringLiteral("historyChart"));
    tabs->addTab(m_chart, tr("Leak and static error"));
    layout->addWidget(tabs, 1);
    showArchive();
    if (const QScreen *target = screen()) {
        const QSize room = target->availableGeometry().size() - QSize(40, 60);
        resize(QSize(900, 600).boundedTo(room));
    }
}

HistoryWindow::~HistoryWindow() = default;

QWidget *HistoryWindow::buildArchiveRow()
{
    auto *row = new QWidget;
    auto *layout = new QVBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *choice = new QHBoxLayout;
    m_archiveChoice = new QComboBox;
    m_archiveChoice->setObjectName(QStringLiteral("historyArchive"));
    if (offersLine())
        m_archiveChoice->addItem(tr("the line"), int(Archive::Line));
    m_archiveChoice->addItem(tr("this bench"), int(Archive::Bench));
    m_archiveChoice->setEnabled(offersLine());
    connect(m_archiveChoice, &QComboBox::activated, this, [this](int index) {
        chooseArchive(Archive(m_archiveChoice->itemData(index).toInt()));
        search();
    });
    choice->addWidget(new QLabel(tr("Search:")));
    choice->addWidget(m_archiveChoice);
    m_archiveNote = new QLabel;
    m_archiveNote->setObjectName(QStringLiteral("historyArchiveNote"));
    m_archiveNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    choice->addWidget(m_archiveNote, 1);
    layout->addLayout(choice);
    // What the settings file held that cannot be used, such as a refused line database.
    if (!m_settings.problems().isEmpty()) {
        auto *problems = new QLabel;
        problems->setObjectName(QStringLiteral("historySettingsProblems"));
        problems->setWordWrap(true);
        say(problems, m_settings.problems().join(QLatin1Char('\n')), true);
        layout->addWidget(problems);
    }
    return row;
}

QWidget *HistoryWindow::buildConditions()
{
    auto *box = new QWidget;
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    const auto edit = [this](const char *name) {
        auto *line = new QLineEdit;
        line->setObjectName(QLatin1String(name));
        line->setClearButtonEnabled(true);
        connect(line, &QLineEdit::returnPressed, this, &HistoryWindow::search);
        return line;
    };
    m_board = edit("historyBoard");
    m_station = edit("historyStation");
    m_plan = edit("historyPlan");
    m_plan->setPlaceholderText(RunRecord::freeCheck());
    m_verdict = new QComboBox;
    m_verdict->setObjectName(QStringLiteral("historyVerdict"));
    m_verdict->addItem(tr("any"), QString());
    for (const char *name : {"pass", "fail", "incomplete"})
        m_verdict->addItem(QString::fromLatin1(name).toUpper(), QString::fromLatin1(name));
    const QDate today = QDate::currentDate();
    const auto day = [this](const char *check, const char *name, const QString &text, QDate date,
                            QCheckBox *&given, QDateEdit *&edit) {
        given = new QCheckBox(text);
        given->setObjectName(QLatin1String(check));
        edit = new QDateEdit(date);
        edit->setObjectName(QLatin1String(name));
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
        connect(given, &QCheckBox::toggled, edit, &QWidget::setEnabled);
    };
    day("historyFromGiven", "historyFrom", tr("From"), today.addDays(-30), m_fromGiven, m_from);
    day("historyToGiven", "historyTo", tr("to"), today, m_toGiven, m_to);
    m_search = new QPushButton(tr("&Search"));
    m_search->setObjectName(QStringLiteral("historySearch"));
    m_search->setDefault(true);
    connect(m_search, &QPushButton::clicked, this, &HistoryWindow::search);

    grid->addWidget(new QLabel(tr("Board")), 0, 0);
    grid->addWidget(m_board, 0, 1);
    grid->addWidget(new QLabel(tr("Station")), 0, 2);
    grid->addWidget(m_station, 0, 3);
    grid->addWidget(new QLabel(tr("Plan")), 0, 4);
    grid->addWidget(m_plan, 0, 5);
    grid->addWidget(new QLabel(tr("Verdict")), 1, 0);
    grid->addWidget(m_verdict, 1, 1);
    grid->addWidget(m_fromGiven, 1, 2);
    grid->addWidget(m_from, 1, 3);
    grid->addWidget(m_toGiven, 1, 4);
    grid->addWidget(m_to, 1, 5);
    grid->addWidget(m_search, 1, 6);
    grid->setColumnStretch(5, 1);
    return box;
}

QWidget *HistoryWindow::buildRunsTab()
{
    auto *tab = new QWidget;
    auto *layout = new QVBoxLayout(tab);
    m_runs = makeTable({tr("Started"), tr("Board"), tr("Station"), tr("Plan"), tr("Operator"),
                        tr("Verdict"), tr("Leak, mmHg/min"), tr("Static error, mmHg")});
    m_runs->setObjectName(QStringLiteral("historyRuns"));
    m_runs->setSelectionMode(QAbstractItemView::SingleSelection);
    m_runs->setSelectionBehavior(QAbstractItemView::SelectRows);
    layout->addWidget(m_runs, 1);
    auto *row = new QHBoxLayout;
    m_openPdfButton = new QPushButton(tr("Open &PDF"));
    m_openPdfButton->setObjectName(QStringLiteral("historyOpenPdf"));
    m_openPdfButton->setEnabled(false);
    m_pdfNote = new QLabel;
    m_pdfNote->setObjectName(QStringLiteral("historyPdfNote"));
    m_pdfNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(m_openPdfButton);
    row->addWidget(m_pdfNote, 1);
    layout->addLayout(row);
    connect(m_openPdfButton, &QPushButton::clicked, this, &HistoryWindow::openSelectedPdf);
    connect(m_runs, &QTableWidget::itemSelectionChanged, this,
            [this] { m_openPdfButton->setEnabled(!m_runs->selectedItems().isEmpty()); });
    connect(m_runs, &QTableWidget::cellDoubleClicked, this, &HistoryWindow::openSelectedPdf);
    return tab;
}

QWidget *HistoryWindow::buildYieldTab()
{
    auto *tab = new QWidget;
    auto *layout = new QHBoxLayout(tab);
    m_days = makeTable({tr("Day"), tr("Passed / all"), tr("Yield")});
    m_days->setObjectName(QStringLiteral("historyDays"));
    m_plans = makeTable({tr("Plan"), tr("Passed / all"), tr("Yield")});
    m_plans->setObjectName(QStringLiteral("historyPlans"));
    layout->addWidget(m_days, 2);
    layout->addWidget(m_plans, 3);
    return tab;
}

void HistoryWindow::say(QLabel *label, const QString &text, bool problem)
{
    QPalette colours = palette();
    if (problem)
        colours.setColor(QPalette::WindowText, QColor(QRgb(VerdictPalette::of(Verdict::Fail).ink)));
    label->setPalette(colours);
    label->setText(text);
}

void HistoryWindow::showArchive()
{
    const bool line = m_archive == Archive::Line;
    m_archiveChoice->setCurrentIndex(m_archiveChoice->findData(int(m_archive)));
    const QString where = line ? m_settings.line()->text() : m_settings.local().path();
    m_archiveNote->setText(
        line ? tr("every station's runs, in the line's database %1").arg(where)
             : tr("this station's runs only, in this bench's archive %1").arg(where));
    m_archiveNote->setToolTip(where);
}

void HistoryWindow::chooseArchive(Archive archive)
{
    m_archive = offersLine() ? archive : Archive::Bench;
    m_searchRequest = 0;
    m_pdfRequest = 0;
    showArchive();
}

HistorySource &HistoryWindow::source()
{
    HistorySource *&source = m_sources.at(std::size_t(m_archive));
    if (!source) {
        const bool line = m_archive == Archive::Line;
        source = new HistorySource(line ? *m_settings.line() : m_settings.local(),
                                   m_settings.station(), this);
        follow(source);
    }
    return *source;
}

// Answers of the archive searched now; those of one chosen before are dropped.
void HistoryWindow::follow(HistorySource *source)
{
    const auto current = [this, source] {
        return m_sources.at(std::size_t(m_archive)) == source;
    };
    connect(source, &HistorySource::searched, this,
            [this, current](int request, const HistoryAnswer &answer) {
                if (current())
                    showAnswer(request, answer);
            });
    connect(source, &HistorySource::pdfFetched, this,
            [this, current](int request, const RunPdf &pdf) {
                if (current())
                    showPdf(request, pdf);
            });
    connect(source, &HistorySource::failed, this,
            [this, current](int request, const QString &cause) {
                if (current())
                    showFailure(request, cause);
            });
}

RunFilter HistoryWindow::filter() const
{
    RunFilter filter;
    filter.board = m_board->text().trimmed();
    filter.station = m_station->text().trimmed();
    filter.plan = m_plan->text().trimmed();
    filter.verdict = m_verdict->currentData().toString();
    if (m_fromGiven->isChecked())
        filter.since = QDateTime(m_from->date(), QTime(0, 0));
    if (m_toGiven->isChecked())
        filter.until = QDateTime(m_to->date().addDays(1), QTime(0, 0));
    return filter;
}

void HistoryWindow::search()
{
    m_searched = true;
    const RunFilter conditions = filter();
    if (conditions.since.isValid() && conditions.until.isValid() &&
        conditions.until <= conditions.since) {
        m_searchRequest = 0;
        say(m_status,
            tr("The range ends before it starts: choose a \"to\" day on or after the "
               "\"from\" day."),
            true);
        emit searchShown();
        return;
    }
    m_searchRequest = source().search(conditions);
    say(m_status, tr("searching\u2026"), false);
}

void HistoryWindow::showAnswer(int request, const HistoryAnswer &answer)
{
    if (request != m_searchRequest)
        return;
    showRuns(answer.runs);
    showYields(*m_days, answer.days);
    showYields(*m_plans, answer.plans);
    m_chart->setFigures(answer.figures);
    QString text;
    if (answer.found == 0)
        text = tr("No run found.");
    else if (answer.found == answer.runs.size())
        text = tr("%n run(s) found.", nullptr, answer.found);
    else
        text = tr("%1 runs found; the list and the chart show the newest %2.")
                   .arg(answer.found)
                   .arg(answer.runs.size());
    say(m_status, text, false);
    emit searchShown();
}

// Newest first.
void HistoryWindow::showRuns(const QList<RunSummary> &runs)
{
    m_runs->clearContents();
    m_runs->setRowCount(int(runs.size()));
    const Qt::Alignment right = Qt::AlignRight;
    for (int row = 0; row < runs.size(); ++row) {
        const RunSummary &run = runs.at(runs.size() - 1 - row);
        QTableWidgetItem *started = cell(startText(run.started));
        started->setData(Qt::UserRole, run.uuid);
        m_runs->setItem(row, Started, started);
        m_runs->setItem(row, Board, cell(run.board));
        m_runs->setItem(row, Station, cell(run.station));
        m_runs->setItem(row, Plan, cell(planText(run)));
        m_runs->setItem(row, Operator, cell(run.operatorName));
        QTableWidgetItem *verdict = cell(run.verdict.toUpper(), Qt::AlignHCenter);
        if (run.verdict != QLatin1String("incomplete"))
            verdict->setForeground(QColor(QRgb(VerdictPalette::of(verdictOf(run.verdict)).ink)));
        m_runs->setItem(row, VerdictColumn, verdict);
        m_runs->setItem(row, Leak, cell(oneDecimal(run.leakMmHgPerMin), right));
        m_runs->setItem(row, StaticError, cell(oneDecimal(run.staticErrorMmHg, true), right));
    }
    m_openPdfButton->setEnabled(false);
}

void HistoryWindow::showYields(QTableWidget &table, const QList<YieldCount> &counts)
{
    table.clearContents();
    table.setRowCount(int(counts.size()));
    for (int row = 0; row < counts.size(); ++row) {
        const YieldCount &count = counts.at(row);
        table.setItem(row, 0, cell(count.key));
        table.setItem(
            row, 1,
            cell(QStringLiteral("%1 / %2").arg(count.passed).arg(count.runs), Qt::AlignRight));
        table.setItem(
            row, 2,
            cell(QStringLiteral("%1 %").arg(count.yield() * 100.0, 0, 'f', 1), Qt::AlignRight));
    }
}

void HistoryWindow::showFailure(int request, const QString &cause)
{
    if (request == m_pdfRequest) {
        say(m_pdfNote, tr("Cannot open the PDF: %1").arg(cause), true);
        emit pdfShown();
        return;
    }
    if (request != m_searchRequest)
        return;
    showRuns({});
    showYields(*m_days, {});
    showYields(*m_plans, {});
    m_chart->setFigures({});
    QString text = tr("Cannot search: %1").arg(cause);
    if (m_archive == Archive::Line)
        text += tr(" (\"this bench\" searches this station's own runs)");
    say(m_status, text, true);
    emit searchShown();
}

void HistoryWindow::openSelectedPdf()
{
    const QList<QTableWidgetItem *> selected = m_runs->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = selected.constFirst()->row();
    const QString uuid = m_runs->item(row, Started)->data(Qt::UserRole).toString();
    m_pdfRequest = source().fetchPdf(uuid);
    say(m_pdfNote, tr("fetching the PDF of board %1\u2026").arg(m_runs->item(row, Board)->text()),
        false);
}

void HistoryWindow::showPdf(int request, const RunPdf &pdf)
{
    if (request != m_pdfRequest)
        return;
    Failure why;
    const QString file = pdf.bytes.isEmpty() ? QString() : writePdf(pdf, &why);
    if (pdf.bytes.isEmpty())
        say(m_pdfNote, tr("The archive holds no PDF of this run."), true);
    else if (file.isEmpty())
        say(m_pdfNote, tr("Cannot open the PDF: %1").arg(why.text), true);
    else if (!m_openPdf(file))
        say(m_pdfNote, tr("No viewer took the PDF; it is in %1").arg(file), true);
    else
        say(m_pdfNote, tr("Opened %1").arg(file), false);
    emit pdfShown();
}

// Into the window's own folder (mode 0700, made afresh), readable by this
// user only (0600), under a name made there for the first time (O_EXCL): a
// name taken already, even by a link, is never written through.
QString HistoryWindow::writePdf(const RunPdf &pdf, Failure *why)
{
    if (!m_pdfFolder || !m_pdfFolder->isValid()) {
        m_pdfFolder = std::make_unique<QTemporaryDir>(
            QDir::temp().filePath(QStringLiteral("tarnvik-history-XXXXXX")));
        if (!m_pdfFolder->isValid()) {
            fail(why, {Failure::Kind::Io,
                       tr("no temporary folder can be made: %1").arg(m_pdfFolder->errorString())});
            m_pdfFolder.reset();
            return QString();
        }
    }
    const QString stem = m_pdfFolder->filePath(pdfName(pdf));
    for (int copy = 1; copy <= 100; ++copy) {
        QFile file(copy == 1 ? stem + QStringLiteral(".pdf")
                             : QStringLiteral("%1-%2.pdf").arg(stem).arg(copy));
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            const QFileInfo taken(file.fileName());
            if (taken.exists() || taken.isSymLink())
                continue;
            fail(why, unwritable(file));
            return QString();
        }
        if (file.write(pdf.bytes) != pdf.bytes.size() || !file.flush()) {
            fail(why, unwritable(file));
            file.remove();
            return QString();
        }
        return file.fileName();
    }
    fail(why,
         {Failure::Kind::InUse, tr("too many copies of this PDF in %1").arg(m_pdfFolder->path())});
    return QString();
}

// The first time the window is shown it searches with no condition.
void HistoryWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_searched)
        search();
}
