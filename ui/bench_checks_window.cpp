// SPDX-License-Identifier: MIT
#include "bench_checks_window.h"

#include "fitted_label.h"
#include "number_text.h"
#include "plan_page.h"
#include "report_files.h"
#include "verdict_badge.h"
#include "verdict_palette.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char *kNoValue = "\u2014";

QString mmHg(double value, const char *unit = "mmHg")
{
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(unit));
}

// One decimal with its sign: "+1.5", "-0.5", "0.0".
QString signedNumber(double value)
{
    const QString number = QString::number(value, 'f', 1);
    return number.toDouble() > 0 ? QLatin1Char('+') + number : number;
}

QString signedMmHg(double value)
{
    return signedNumber(value) + QStringLiteral(" mmHg");
}

QString phaseText(ChecksEngine::LeakState::Phase phase)
{
    switch (phase) {
    case ChecksEngine::LeakState::Phase::PumpingUp:
        return QObject::tr("pumping up");
    case ChecksEngine::LeakState::Phase::Settling:
        return QObject::tr("settling");
    case ChecksEngine::LeakState::Phase::Measuring:
        return QObject::tr("measuring");
    case ChecksEngine::LeakState::Phase::Done:
        return QObject::tr("done");
    case ChecksEngine::LeakState::Phase::None:
        break;
    }
    return QObject::tr("no leak test yet");
}

// A table whose columns are at least as wide as their heading and the
// widest text they hold (`widest`, one per column). The columns of `fitted`
// are as wide as what they show; the others share the width left.
QTableWidget *makeTable(const QStringList &columns, int rows, const QStringList &widest,
                        const QList<int> &fitted)
{
    auto *table = new QTableWidget(rows, columns.size());
    table->setHorizontalHeaderLabels(columns);
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    QHeaderView *header = table->horizontalHeader();
    const QFontMetrics metrics = table->fontMetrics();
    const int padding = 2 * metrics.horizontalAdvance(QLatin1Char('0')) + 4;
    int width = 2 * table->frameWidth();
    for (int column = 0; column < columns.size(); ++column) {
        header->setSectionResizeMode(column, fitted.contains(column) ? QHeaderView::ResizeToContents
                                                                     : QHeaderView::Stretch);
        width += std::max({header->sectionSizeHint(column), 48,
                           metrics.horizontalAdvance(widest.value(column)) + padding});
    }
    table->setMinimumWidth(width);
    return table;
}

void setCell(QTableWidget &table, int row, int column, const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                       : Qt::AlignRight | Qt::AlignVCenter);
    table.setItem(row, column, item);
}

void setVerdictCell(QTableWidget &table, int row, int column, Verdict verdict)
{
    setCell(table, row, column, VerdictBadge::text(verdict));
    QTableWidgetItem *item = table.item(row, column);
    item->setTextAlignment(Qt::AlignCenter);
    if (verdict == Verdict::Fail)
        item->setForeground(QColor(QRgb(VerdictPalette::of(Verdict::Fail).ink)));
    else if (verdict == Verdict::Pass)
        item->setForeground(QColor(QRgb(VerdictPalette::of(Verdict::Pass).ink)));
}

// A text of `lines` lines at most, in whatever width the layout gives it.
QLabel *fittedText(int lines, const QString &text = QString())
{
    return new FittedLabel(lines, text);
}

// The window system's frame around a window's content; none until it is shown.
QMargins frameOf(const QWidget &window)
{
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

// A box with its check's badge at the top right, beside the content. The
// content's widgets go in afterwards, so that they belong to the box from
// the first.
QGroupBox *checkBox(const QString &title, VerdictBadge *badge, QLayout *content)
{
    auto *box = new QGroupBox(title);
    auto *layout = new QHBoxLayout(box);
    layout->addLayout(content, 1);
    layout->addWidget(badge, 0, Qt::AlignTop);
    return box;
}

// A tab's page with its check's badge at the top right, beside the content.
QWidget *checkPage(VerdictBadge *badge, QLayout *content)
{
    auto *page = new QWidget;
    auto *layout = new QHBoxLayout(page);
    layout->addLayout(content, 1);
    layout->addWidget(badge, 0, Qt::AlignTop);
    return page;
}

} // namespace

BenchChecksWindow::BenchChecksWindow(BenchCore &core, QWidget *parent, PlanRunner::Saver runSaver)
    : QWidget(parent, Qt::Window)
    , m_core(core)
{
    setWindowTitle(tr("Bench checks"));
    setObjectName(QStringLiteral("benchChecks"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    // Two columns of checks above the measurements: the board and the leak
    // test on the left, the static points and over-pressure on the right.
    m_content = new QWidget;
    auto *left = new QVBoxLayout;
    left->addWidget(buildSessionBox());
    left->addWidget(buildLeakBox());
    left->addStretch(1);
    auto *right = new QVBoxLayout;
    right->addWidget(buildStaticBox(), 1);
    right->addWidget(buildOverPressureBox());
    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto *content = new QVBoxLayout(m_content);
    content->addLayout(columns, 1);
    content->addWidget(buildTabs(std::move(runSaver)));
    buildButtonRow(*content);

    // On a screen too small for it all the window scrolls instead of growing
    // past the screen.
    auto *scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(m_content);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSizeConstraint(QLayout::SetNoConstraint); // the content never sizes the window
    outer->addWidget(scroll);

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &BenchChecksWindow::refresh);
    followCore();
    followPlan();
    refresh();
}

// A run the plan page drives ends with it, and the core says so: the window
// no longer follows the core by then.
BenchChecksWindow::~BenchChecksWindow()
{
    disconnect(&m_core, nullptr, this, nullptr);
}

// The fields show what the core holds when the window is built, and follow
// it from then on; what is typed goes to the core.
void BenchChecksWindow::followCore()
{
    using SessionField = BenchCore::SessionField;
    for (SessionField field :
         {SessionField::Board, SessionField::Operator, SessionField::Instrument})
        showSessionField(field, m_core.sessionField(field));
    showSetPoint(m_core.setPoint());
    connect(m_board, &QLineEdit::textChanged, &m_core,
            [this](const QString &text) { m_core.setSessionField(SessionField::Board, text); });
    connect(m_board, &QLineEdit::textChanged, this, &BenchChecksWindow::showBoardHistory);
    connect(m_operator, &QLineEdit::textChanged, &m_core,
            [this](const QString &text) { m_core.setSessionField(SessionField::Operator, text); });
    connect(m_instrument, &QLineEdit::textChanged, &m_core, [this](const QString &text) {
        m_core.setSessionField(SessionField::Instrument, text);
    });
    for (QLineEdit *edit : {m_setSystolic, m_setDiastolic, m_setMean, m_setPulse})
        connect(edit, &QLineEdit::textChanged, this, &BenchChecksWindow::setPointEdited);

    connect(&m_core, &BenchCore::sessionFieldChanged, this, &BenchChecksWindow::showSessionField);
    connect(&m_core, &BenchCore::setPointChanged, this, &BenchChecksWindow::showSetPoint);
    connect(&m_core, &BenchCore::readingRefused, this, &BenchChecksWindow::readingRefused);
    connect(&m_core, &BenchCore::reportChanged, this, [this] {
        if (!m_refresh.isActive())
            m_refresh.start();
    });
    const ChecksEngine &checks = m_core.checks();
    connect(&checks, &ChecksEngine::overPressure, this, &BenchChecksWindow::overPressureSeen);
    connect(&checks, &ChecksEngine::inflationTooLong, this, [this] { refresh(); });
    connect(&checks, &ChecksEngine::pointRecorded, this, &BenchChecksWindow::pointRecorded);
    connect(&checks, &ChecksEngine::pointRefused, this, &BenchChecksWindow::pointRefused);
}

void BenchChecksWindow::showSessionField(BenchCore::SessionField field, const QString &text)
{
    QLineEdit *edit = field == BenchCore::SessionField::Board      ? m_board
                      : field == BenchCore::SessionField::Operator ? m_operator
                                                                   : m_instrument;
    if (edit->text() == text)
        return;
    edit->setText(text);
    edit->setCursorPosition(0); // a text given elsewhere reads from its start
}

// Board ID and operator share a row; the reference instrument has the next.
QWidget *BenchChecksWindow::buildSessionBox()
{
    auto *box = new QGroupBox(tr("Board"));
    auto *layout = new QVBoxLayout(box);
    auto *first = new QHBoxLayout;
    layout->addLayout(first);
    auto *second = new QHBoxLayout;
    layout->addLayout(second);
    const auto field = [](QHBoxLayout *row, const char *name, const QString &label,
                          const QString &hint) {
        auto *caption = new QLabel(label);
        auto *edit = new QLineEdit;
        edit->setObjectName(QLatin1String(name));
        edit->setPlaceholderText(hint);
        caption->setBuddy(edit);
        row->addWidget(caption);
        row->addWidget(edit, 1);
        return edit;
    };
    m_board = field(first, "boardId", tr("Board &ID:"), tr("serial number"));
    m_operator = field(first, "operatorName", tr("&Operator:"), tr("name"));
    m_instrument = field(second, "referenceInstrument", tr("Reference i&nstrument:"),
                         tr("gauge and simulator"));
    m_history = fittedText(1);
    m_history->setObjectName(QStringLiteral("boardHistory"));
    second->addWidget(m_history, 1);
    return box;
}

// The badge shares the first row with the phase, so the values below have
// the box's whole width.
QWidget *BenchChecksWindow::buildLeakBox()
{
    auto *box = new QGroupBox(tr("Leak test"));
    auto *form = new QFormLayout(box);
    const auto value = [&](const char *name) {
        QLabel *text = fittedText(1, QString::fromUtf8(kNoValue));
        text->setObjectName(QLatin1String(name));
        return text;
    };
    m_leakPhase = value("leakPhase");
    m_leakBadge = new VerdictBadge;
    m_leakBadge->setObjectName(QStringLiteral("leakVerdict"));
    auto *phaseRow = new QHBoxLayout;
    form->addRow(tr("Phase:"), phaseRow);
    phaseRow->addWidget(m_leakPhase, 1);
    phaseRow->addWidget(m_leakBadge, 0, Qt::AlignTop);
    m_leakHold = value("leakHold");
    form->addRow(tr("Hold pressure:"), m_leakHold);
    m_leakLeft = value("leakSecondsLeft");
    form->addRow(tr("Seconds left:"), m_leakLeft);
    m_leakDrop = value("leakDrop");
    form->addRow(tr("Drop so far:"), m_leakDrop);
    m_leakRate = value("leakRate");
    form->addRow(tr("Leak rate:"), m_leakRate);
    return box;
}

QWidget *BenchChecksWindow::buildOverPressureBox()
{
    auto *layout = new QVBoxLayout;
    m_pressureBadge = new VerdictBadge;
    m_pressureBadge->setObjectName(QStringLiteral("overPressureVerdict"));
    QGroupBox *box = checkBox(tr("Over-pressure, inflation time"), m_pressureBadge, layout);
    m_pressureState = fittedText(3);
    m_pressureState->setObjectName(QStringLiteral("overPressureState"));
    layout->addWidget(m_pressureState);
    return box;
}

// The reference row has the box's whole width; the badge stands beside the
// note below it.
QWidget *BenchChecksWindow::buildStaticBox()
{
    auto *box = new QGroupBox(tr("Static pressure (manometer)"));
    auto *layout = new QVBoxLayout(box);
    auto *row = new QHBoxLayout;
    layout->addLayout(row);
    auto *label = new QLabel(tr("&Reference (mmHg):"));
    m_reference = new QLineEdit;
    m_reference->setObjectName(QStringLiteral("referenceReading"));
    m_reference->setPlaceholderText(tr("gauge reading"));
    m_reference->setMaxLength(6);
    m_reference->setMinimumWidth(
        m_reference->fontMetrics().horizontalAdvance(m_reference->placeholderText()) + 16);
    label->setBuddy(m_reference);
    m_record = new QPushButton(tr("Re&cord"));
    m_record->setObjectName(QStringLiteral("recordPoint"));
    row->addWidget(label);
    row->addWidget(m_reference, 1);
    row->addWidget(m_record);
    auto *noteRow = new QHBoxLayout;
    layout->addLayout(noteRow);
    m_pointNote = fittedText(3, tr("In Manometer mode: hold the pressure, type the gauge's "
                                   "reading, press Enter."));
    m_pointNote->setObjectName(QStringLiteral("pointNote"));
    noteRow->addWidget(m_pointNote, 1);
    m_staticBadge = new VerdictBadge;
    m_staticBadge->setObjectName(QStringLiteral("staticVerdict"));
    noteRow->addWidget(m_staticBadge, 0, Qt::AlignTop);
    m_points =
        makeTable({tr("Reference"), tr("Board"), tr("Error"), tr("Spread"), tr("Verdict")}, 0,
                  {QStringLiteral("999.9"), QStringLiteral("999.9"), QStringLiteral("+99.9"),
                   QStringLiteral("99.9"), VerdictBadge::text(Verdict::Incomplete)},
                  {4});
    m_points->setToolTip(tr("mmHg; sorted by reference"));
    m_points->setObjectName(QStringLiteral("staticPoints"));
    // Rows as high as the statistics' rows. The table takes the height the
    // column has left, two rows at least (wholeContentSize() asks for a few
    // more), and scrolls when the points are more.
    m_points->verticalHeader()->setDefaultSectionSize(m_points->fontMetrics().height() + 4);
    m_points->setMinimumHeight(m_points->horizontalHeader()->sizeHint().height() +
                               2 * m_points->verticalHeader()->defaultSectionSize() +
                               2 * m_points->frameWidth());
    m_points->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    layout->addWidget(m_points, 1);
    connect(m_reference, &QLineEdit::returnPressed, this, &BenchChecksWindow::recordPoint);
    connect(m_record, &QPushButton::clicked, this, &BenchChecksWindow::recordPoint);
    return box;
}

void BenchChecksWindow::buildSetPointRow(QBoxLayout &into)
{
    auto *layout = new QHBoxLayout;
    into.addLayout(layout);
    layout->addWidget(new QLabel(tr("Set point:")));
    const auto field = [&](const char *name, const QString &label, int top) {
        auto *caption = new QLabel(label);
        auto *edit = new QLineEdit;
        edit->setObjectName(QLatin1String(name));
        edit->setValidator(new QIntValidator(1, top, edit));
        edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16);
        caption->setBuddy(edit);
        layout->addWidget(caption);
        layout->addWidget(edit);
        return edit;
    };
    m_setSystolic = field("setSystolic", tr("s&ystolic"), 299);
    m_setDiastolic = field("setDiastolic", tr("&diastolic"), 299);
    m_setMean = field("setMean", tr("m&ean"), 299);
    m_setPulse = field("setPulse", tr("&pulse"), 299);
    m_setPointNote = fittedText(2);
    m_setPointNote->setObjectName(QStringLiteral("setPointNote"));
    layout->addWidget(m_setPointNote, 1);
}

QWidget *BenchChecksWindow::buildMeasurementBox()
{
    auto *layout = new QVBoxLayout;
    m_measurementBadge = new VerdictBadge;
    m_measurementBadge->setObjectName(QStringLiteral("measurementVerdict"));
    QWidget *box = checkPage(m_measurementBadge, layout);
    buildSetPointRow(*layout);
    m_counts = fittedText(1);
    m_counts->setObjectName(QStringLiteral("measurementCounts"));
    layout->addWidget(m_counts);
    const QStringList rows{tr("Systolic"), tr("Diastolic"), tr("Mean"), tr("Pulse")};
    QString longestRow;
    for (const QString &row : rows)
        longestRow = row.size() > longestRow.size() ? row : longestRow;
    m_statistics = makeTable({QString(), tr("n"), tr("Mean"), tr("SD"), tr("Min"), tr("Max"),
                              tr("Set point"), tr("Mean error"), tr("Verdict")},
                             4,
                             {longestRow, QStringLiteral("999"), QStringLiteral("999.9"),
                              QStringLiteral("99.9"), QStringLiteral("999.9"),
                              QStringLiteral("999.9"), QStringLiteral("999"),
                              QStringLiteral("+99.9"), VerdictBadge::text(Verdict::Incomplete)},
                             {0, 6, 7, 8});
    m_statistics->setObjectName(QStringLiteral("statistics"));
    for (int row = 0; row < rows.size(); ++row)
        setCell(*m_statistics, row, 0, rows.at(row));
    m_statistics->resizeRowsToContents();
    int height =
        m_statistics->horizontalHeader()->sizeHint().height() + 2 * m_statistics->frameWidth();
    for (int row = 0; row < m_statistics->rowCount(); ++row)
        height += m_statistics->rowHeight(row);
    m_statistics->setFixedHeight(height);
    m_statistics->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_statistics);
    return box;
}

// The measurements and the test plan share the space below the checks.
QWidget *BenchChecksWindow::buildTabs(PlanRunner::Saver runSaver)
{
    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("checkTabs"));
    m_tabs->setDocumentMode(true);
    m_tabs->addTab(buildMeasurementBox(), tr("&Measurements"));
    m_planPage = new PlanPage(m_core, std::move(runSaver));
    m_tabs->addTab(m_planPage, tr("Test pl&an"));
    return m_tabs;
}

void BenchChecksWindow::buildButtonRow(QBoxLayout &into)
{
    auto *layout = new QHBoxLayout;
    into.addLayout(layout);
    layout->addWidget(new QLabel(tr("Board verdict:")));
    m_overallBadge = new VerdictBadge;
    m_overallBadge->setObjectName(QStringLiteral("overallVerdict"));
    layout->addWidget(m_overallBadge);
    m_saveNote = fittedText(2);
    m_saveNote->setObjectName(QStringLiteral("saveNote"));
    layout->addWidget(m_saveNote, 1);
    m_clear = new QPushButton(tr("C&lear"));
    m_clear->setObjectName(QStringLiteral("clearChecks"));
    m_clear->setToolTip(tr("A new board: clears the checks (not the results file)"));
    m_save = new QPushButton(tr("&Save report\u2026"));
    m_save->setObjectName(QStringLiteral("saveReport"));
    layout->addWidget(m_clear);
    layout->addWidget(m_save);
    connect(m_clear, &QPushButton::clicked, this, &BenchChecksWindow::clearChecks);
    connect(m_save, &QPushButton::clicked, this, &BenchChecksWindow::saveReportChosen);
}

void BenchChecksWindow::refresh()
{
    m_refresh.stop();
    const CheckReport checks = m_core.checks().report();
    showLeakTest(checks);
    showOverPressure(checks);
    showStaticPoints(checks);
    showMeasurements(checks);
    m_overallBadge->setVerdict(m_core.isPlanRunning() ? Verdict::None
                                                      : m_planVerdict.value_or(checks.verdict));
}

void BenchChecksWindow::showLeakTest(const CheckReport &checks)
{
    const ChecksEngine::LeakState state = m_core.checks().leakState();
    const QString none = QString::fromUtf8(kNoValue);
    std::optional<double> hold = state.holdMmHg;
    std::optional<double> rate = state.rateMmHgPerMin;
    double drop = state.dropMmHg;
    QString phase = phaseText(state.phase);
    QString left = none;
    if (state.phase == ChecksEngine::LeakState::Phase::None && !checks.leakTests.isEmpty()) {
        const CheckReport::LeakTest &last = checks.leakTests.constLast();
        hold = last.holdMmHg;
        rate = last.rateMmHgPerMin;
        drop = last.dropMmHg;
        phase = tr("ended by %1").arg(last.endedBy);
    } else if (state.phase != ChecksEngine::LeakState::Phase::None) {
        left = QString::number(std::ceil(state.secondsLeft), 'f', 0);
    }
    const bool measured = rate.has_value();
    setFitted(m_leakPhase, phase);
    setFitted(m_leakHold, hold ? mmHg(*hold) : none);
    setFitted(m_leakLeft, left);
    setFitted(m_leakDrop, measured ? mmHg(drop) : none);
    setFitted(m_leakRate, measured ? tr("%1 (limit %2)")
                                         .arg(mmHg(*rate, "mmHg/min"))
                                         .arg(mmHg(checks.limits.leakMmHgPerMin, "mmHg/min"))
                                   : none);
    m_leakBadge->setVerdict(checks.leakVerdict);
}

QString BenchChecksWindow::pressureNote(const CheckReport &checks, bool &problem) const
{
    problem = false;
    const CheckReport::Stretch *shown = nullptr;
    int above = 0;
    for (const CheckReport::Stretch &stretch : checks.overPressure) {
        if (stretch.exceededMs) {
            ++above;
            shown = &stretch;
        }
    }
    if (!shown && !checks.overPressure.isEmpty())
        shown = &checks.overPressure.constLast();
    if (!shown)
        return tr("No pressure seen yet.");
    const QString where = tr("%1 mmHg in a %2 (%3, limit %4 mmHg)")
                              .arg(shown->maxMmHg)
                              .arg(stretchKindName(shown->kind), patientModeName(shown->patient))
                              .arg(shown->limitMmHg);
    if (above == 0)
        return tr("Within the limit. Highest of the last stretch: %1.").arg(where);
    const QDateTime started = m_core.started();
    const QString when =
        started.isValid()
            ? started.addMSecs(*shown->exceededMs).toString(QStringLiteral("HH:mm:ss"))
            : tr("%1 s").arg(*shown->exceededMs / 1000.0, 0, 'f', 1);
    problem = true;
    return tr("ABOVE THE LIMIT at %1: %2.%3")
        .arg(when, where, above > 1 ? tr(" %1 stretches went above it.").arg(above) : QString());
}

// The longest time a measurement held the cuff up, or the first that held
// it too long: "Inflation time 181.0 s in an adult measurement, limit 180 s:
// TOO LONG."; empty before the first measurement.
QString BenchChecksWindow::inflationNote(const CheckReport &checks, bool &problem) const
{
    problem = false;
    const CheckReport::Inflation *shown = nullptr;
    for (const CheckReport::Inflation &in : checks.inflation) {
        if (in.verdict == Verdict::Fail) {
            shown = &in;
            problem = true;
            break;
        }
        if (!shown || in.seconds > shown->seconds)
            shown = &in;
    }
    if (!shown)
        return QString();
    const QString what =
        tr("%1 s in a measurement (%2, limit %3 s)")
            .arg(NumberText::judged(shown->seconds, shown->limitS), patientModeName(shown->patient),
                 CheckLimits::text(shown->limitS));
    return problem ? tr("Inflation TOO LONG: %1.").arg(what)
                   : tr("Longest inflation: %1.").arg(what);
}

void BenchChecksWindow::showOverPressure(const CheckReport &checks)
{
    m_pressureBadge->setVerdict(combined({checks.overPressureVerdict, checks.inflationVerdict}));
    bool pressureProblem = false;
    bool inflationProblem = false;
    const QString pressure = pressureNote(checks, pressureProblem);
    const QString inflation = inflationNote(checks, inflationProblem);
    showNote(m_pressureState, inflation.isEmpty() ? pressure : pressure + ' ' + inflation,
             pressureProblem || inflationProblem);
}

void BenchChecksWindow::showStaticPoints(const CheckReport &checks)
{
    m_points->setRowCount(int(checks.staticPoints.size()));
    for (int row = 0; row < checks.staticPoints.size(); ++row) {
        const CheckReport::StaticPoint &point = checks.staticPoints.at(row);
        setCell(*m_points, row, 0, QString::number(point.referenceMmHg, 'f', 1));
        setCell(*m_points, row, 1, QString::number(point.boardMmHg, 'f', 1));
        setCell(*m_points, row, 2, signedNumber(point.errorMmHg));
        setCell(*m_points, row, 3, QString::number(point.spreadMmHg, 'f', 1));
        setVerdictCell(*m_points, row, 4, point.verdict);
    }
    m_staticBadge->setVerdict(checks.staticVerdict);
}

void BenchChecksWindow::showMeasurements(const CheckReport &checks)
{
    const CheckReport::Measurements &m = checks.measurements;
    setFitted(m_counts, tr("%1 result(s), %2 ended with \"999\"").arg(m.count).arg(m.ended999));
    const CheckReport::Statistic *rows[] = {&m.systolic, &m.diastolic, &m.mean, &m.pulse};
    const QString none = QString::fromUtf8(kNoValue);
    for (int row = 0; row < 4; ++row) {
        const CheckReport::Statistic &s = *rows[row];
        const auto number = [&](double value) {
            return s.n > 0 ? QString::number(value, 'f', 1) : none;
        };
        setCell(*m_statistics, row, 1, QString::number(s.n));
        setCell(*m_statistics, row, 2, number(s.mean));
        setCell(*m_statistics, row, 3, s.sd ? QString::number(*s.sd, 'f', 1) : none);
        setCell(*m_statistics, row, 4, number(s.min));
        setCell(*m_statistics, row, 5, number(s.max));
        setCell(*m_statistics, row, 6, s.reference ? QString::number(*s.reference, 'f', 0) : none);
        setCell(*m_statistics, row, 7, s.meanError ? signedNumber(*s.meanError) : none);
        setVerdictCell(*m_statistics, row, 8, s.verdict);
    }
    m_measurementBadge->setVerdict(m.verdict);
}

void BenchChecksWindow::setPointEdited()
{
    m_typingSetPoint = true;
    m_core.setSetPoint(BenchInput::TypedSetPoint{m_setSystolic->text(), m_setDiastolic->text(),
                                                 m_setMean->text(), m_setPulse->text()});
    m_typingSetPoint = false;
}

// The note says how the core took the set point. A set point that did not
// come from these fields (given by whoever else drives the core, or none)
// is shown in them too.
void BenchChecksWindow::showSetPoint(const BenchInput::SetPointCheck &check)
{
    using Outcome = BenchInput::SetPointCheck::Outcome;
    if (check.outcome == Outcome::Given)
        showNote(m_setPointNote, QString(), false);
    else if (check.outcome == Outcome::NotGiven)
        showNote(m_setPointNote, tr("none: statistics only"), false);
    else
        showNote(m_setPointNote, check.refusal.text, true);
    if (!m_typingSetPoint && check.outcome != Outcome::Refused) {
        const std::optional<SetPoint> &given = check.setPoint;
        const auto text = [](const std::optional<double> &value) {
            return value ? QString::number(*value) : QString();
        };
        const QSignalBlocker blockers[] = {QSignalBlocker(m_setSystolic),
                                           QSignalBlocker(m_setDiastolic),
                                           QSignalBlocker(m_setMean), QSignalBlocker(m_setPulse)};
        m_setSystolic->setText(given ? text(given->systolic) : QString());
        m_setDiastolic->setText(given ? text(given->diastolic) : QString());
        m_setMean->setText(given ? text(given->mean) : QString());
        m_setPulse->setText(given ? text(given->pulse) : QString());
    }
    refresh();
}

void BenchChecksWindow::recordPoint()
{
    // The core writes the reading (the run's through the runner); the engine
    // answers with pointRecorded or pointRefused, the core with
    // readingRefused, the runner with readingRefused of its own.
    const std::optional<double> reading = BenchInput::referenceReading(m_reference->text());
    PlanRunner &runner = m_planPage->runner();
    if (!reading)
        readingRefused(0.0, Failure::refused(QStringLiteral("not a reading")));
    else if (!runner.isRunning())
        m_core.recordReading(*reading);
    else if (!runner.pointAsked())
        planReadingRefused(*reading, Failure::refused(tr("the run asks for the reading once the "
                                                         "board holds the point")));
    else
        runner.giveReading(*reading);
}

// The plan page's run meets the board ID and reference fields here.
void BenchChecksWindow::followPlan()
{
    connect(m_board, &QLineEdit::returnPressed, this, &BenchChecksWindow::boardIdEntered);
    connect(m_planPage, &PlanPage::readingAsked, this, &BenchChecksWindow::planReadingAsked);
    connect(&m_planPage->runner(), &PlanRunner::readingRefused, this,
            &BenchChecksWindow::planReadingRefused);
    connect(&m_core, &BenchCore::planRunningChanged, this, &BenchChecksWindow::showPlanRunning);
    connect(m_planPage, &PlanPage::runFinished, this, &BenchChecksWindow::planFinished);
    showPlanRunning(m_core.isPlanRunning());
}

// A board ID typed or scanned: with a plan chosen, its run starts (a plan
// file that was refused says so again).
void BenchChecksWindow::boardIdEntered()
{
    if (m_planPage->isFreeCheck() || m_planPage->runner().isRunning())
        return;
    m_tabs->setCurrentWidget(m_planPage);
    m_planPage->startRun();
}

void BenchChecksWindow::planReadingAsked(double pointMmHg)
{
    showNote(
        m_pointNote,
        tr("Type the gauge's reading at %1 mmHg and press Enter.").arg(QString::number(pointMmHg)),
        false);
    m_reference->setFocus();
    m_reference->selectAll();
}

void BenchChecksWindow::planReadingRefused(double mmHg, const Failure &why)
{
    pointRefused(mmHg, why);
}

void BenchChecksWindow::showPlanRunning(bool running)
{
    m_clear->setEnabled(!running);
    m_board->setReadOnly(running);
    if (running) {
        m_planVerdict.reset();
        m_tabs->setCurrentWidget(m_planPage);
    }
    refresh();
}

void BenchChecksWindow::planFinished(const PlanRunner::Outcome &outcome)
{
    m_planVerdict = outcome.verdict().value_or(Verdict::None);
    refresh();
    showBoardHistory(); // the run just stored is the board's latest
    m_board->setFocus();
}

void BenchChecksWindow::readingRefused(double, const Failure &why)
{
    if (why.kind == Failure::Kind::NotFound) {
        showNote(m_pointNote, tr("No port is open: nothing recorded."), true);
        return;
    }
    showNote(m_pointNote, tr("Type the gauge's reading in mmHg (0 to 999.9)."), true);
    m_reference->setFocus();
}

void BenchChecksWindow::pointRecorded(const CheckReport::StaticPoint &point)
{
    m_reference->clear();
    showNote(m_pointNote,
             tr("Recorded %1: the board read %2, error %3: %4.")
                 .arg(mmHg(point.referenceMmHg), mmHg(point.boardMmHg), signedMmHg(point.errorMmHg),
                      VerdictBadge::text(point.verdict)),
             point.verdict == Verdict::Fail);
    refresh();
}

void BenchChecksWindow::pointRefused(double referenceMmHg, const Failure &why)
{
    showNote(m_pointNote, tr("Not recorded (%1): %2.").arg(mmHg(referenceMmHg), why.text), true);
    m_reference->setFocus();
    m_reference->selectAll();
}

void BenchChecksWindow::overPressureSeen(qint64, const QString &, int, double)
{
    refresh();
}

void BenchChecksWindow::clearChecks()
{
    m_planVerdict.reset();
    m_core.clearChecks();
    m_reference->clear();
    showNote(m_pointNote, QString(), false);
    showNote(m_saveNote, QString(), false);
    refresh();
    m_board->setFocus();
}

bool BenchChecksWindow::saveReport(const QString &pdfPath, Failure *error)
{
    return ReportFiles::save(m_core.report(), pdfPath, ReportFiles::jsonBeside(pdfPath),
                             QDateTime::currentDateTime(), error);
}

void BenchChecksWindow::saveReportChosen()
{
    const QString board = m_core.sessionField(BenchCore::SessionField::Board).trimmed();
    QString name =
        board.isEmpty() ? QStringLiteral("bench-check") : QStringLiteral("board-%1").arg(board);
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    const QDir folder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Save report"), folder.filePath(name + QStringLiteral(".pdf")),
        tr("PDF report (*.pdf)"));
    if (!path.isEmpty())
        saveReportAndSay(path);
}

// With an archive, the report's run is stored before the window says it was
// saved; a run that cannot be stored is said so.
void BenchChecksWindow::saveReportAndSay(QString path)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
        path += QStringLiteral(".pdf");
    const QString json = ReportFiles::jsonBeside(path);
    const CheckReport report = m_core.report();
    Failure error;
    if (!ReportFiles::save(report, path, json, QDateTime::currentDateTime(), &error)) {
        showNote(m_saveNote, tr("The report was not saved: %1").arg(error.text), true);
        return;
    }
    const QString saved =
        tr("Saved %1 and %2").arg(QDir::toNativeSeparators(path), QFileInfo(json).fileName());
    Failure notStored;
    if (m_archive.store && !m_archive.store(report, path, json, &notStored)) {
        showNote(m_saveNote, tr("%1, but the run is %2.").arg(saved, notStored.text), true);
        return;
    }
    showNote(m_saveNote, saved + QLatin1Char('.'), false);
    showBoardHistory();
}

void BenchChecksWindow::setArchive(const Archive &archive)
{
    m_archive = archive;
    showBoardHistory();
}

void BenchChecksWindow::showBoardHistory()
{
    const QString board = m_board->text().trimmed();
    setFitted(m_history,
              board.isEmpty() || !m_archive.history ? QString() : m_archive.history(board));
}

QSize BenchChecksWindow::sizeHint() const
{
    QSize whole = wholeContentSize();
    if (const QScreen *on = screen())
        whole = whole.boundedTo(on->availableGeometry().size().shrunkBy(frameOf(*this)));
    return whole;
}

// With room for a few static points more than the table's least.
QSize BenchChecksWindow::wholeContentSize() const
{
    ensurePolished();
    QSize whole = m_content->sizeHint().expandedTo(m_content->minimumSizeHint());
    whole.rheight() += kMorePointRows * m_points->verticalHeader()->defaultSectionSize();
    return whole;
}

void BenchChecksWindow::placeBeside(const QWidget &main)
{
    // The content's size is only final once the window is about to show.
    m_beside = &main;
    if (isVisible())
        fitBeside();
}

void BenchChecksWindow::showEvent(QShowEvent *event)
{
    if (m_beside)
        fitBeside();
    QWidget::showEvent(event);
}

// Until the window has been on the screen its frame is not known; the main
// window's frame stands for it.
void BenchChecksWindow::fitBeside()
{
    const QWidget &main = *m_beside;
    m_beside = nullptr;
    const QMargins frame = frameOf(*this).isNull() ? frameOf(main) : frameOf(*this);
    QRect outer(main.frameGeometry().topRight() + QPoint(kGap, 0),
                wholeContentSize().grownBy(frame));
    if (const QScreen *screen = main.screen()) {
        const QRect room = screen->availableGeometry();
        outer.setSize(outer.size().boundedTo(room.size()));
        if (outer.right() > room.right())
            outer.moveRight(room.right());
        if (outer.bottom() > room.bottom())
            outer.moveBottom(room.bottom());
        outer.moveTopLeft(
            QPoint(std::max(outer.left(), room.left()), std::max(outer.top(), room.top())));
    }
    resize(outer.size().shrunkBy(frame));
    move(outer.topLeft());
}

void BenchChecksWindow::showNote(QLabel *label, const QString &text, bool problem)
{
    if (auto *fitted = qobject_cast<FittedLabel *>(label))
        fitted->showNote(text, problem);
    else
        label->setText(text);
}

// Shows `text` in a label made by fittedText(), cut to its lines.
void BenchChecksWindow::setFitted(QLabel *label, const QString &text)
{
    if (auto *fitted = qobject_cast<FittedLabel *>(label))
        fitted->setFullText(text);
    else
        label->setText(text);
}
