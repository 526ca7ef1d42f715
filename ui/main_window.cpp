// SPDX-License-Identifier: MIT
#include "main_window.h"

#include "about_window.h"
#include "artwork.h"
#include "bench_core.h"
#include "clock_text.h"
#include "legibility.h"
#include "port_table.h"
#include "ui_fonts.h"

#ifdef TARNVIK_ARCHIVE
#include "history_window.h"
#endif

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

using Field = BoardState::Field;

namespace {

// Object names. Every widget, menu, action and timer of the main window and
// of the About window keeps the object name it has always had ("Form1",
// "Label_Status", "Label3", "Sys", "Dia", "Map", "Pulse", "StartStop",
// "Reset", "Press_bar", "StsBar1", "menEnde", "setCOM1".."setCOM8",
// "menAbout", "Val_Update", "RTC_Timer", "frmAbout", "cmdOK", "lblVersion",
// ...): the window tests, the end-to-end and Windows serial-path tests, the
// demo's driver and the screenshot tool find widgets by these names, and so
// can accessibility and UI-automation tools. They are names for finding
// things, not for reading the code; the C++ names say what each thing is.

// Text colour of a display field: a fixed colour or a system colour role.
enum class Ink { Red, Green, ActiveTitleBar, ButtonText };

struct FieldLayout
{
    Field field;
    const char *name;
    QRect geometry;
    qreal points;
    bool bold;
    Ink ink;
    const char *toolTip;
};

// Bordered display fields on the window-background colour, text centred;
// the reply line is left-aligned in the fixed-pitch font on the
// title-bar-text colour. Their texts are the panel's state.
const FieldLayout kFields[] = {
    {Field::Systolic, "Sys", {32, 16, 181, 128}, 75, true, Ink::Red, "Systolic Pressure Value"},
    {Field::Diastolic, "Dia", {32, 176, 181, 127}, 75, true, Ink::Red, "Diastolic Pressure Value"},
    {Field::MeanPressure, "Map", {32, 336, 181, 80}, 48, true, Ink::Red, "Mean Pressure Value"},
    {Field::PulseRate, "Pulse", {224, 336, 225, 80}, 48, true, Ink::Green, "Pulse Rate"},
    {Field::OperatingState,
     "Label_Status",
     {320, 24, 105, 33},
     14.25,
     false,
     Ink::ActiveTitleBar,
     "Board Status"},
    {Field::CycleTime,
     "Label_cycle",
     {320, 72, 105, 33},
     14.25,
     false,
     Ink::ActiveTitleBar,
     "Cycle Time for Automated Measurements"},
    {Field::Patient,
     "Label_Patient",
     {320, 120, 105, 33},
     14.25,
     false,
     Ink::ActiveTitleBar,
     "Adult or Neonatal Mode"},
    {Field::PumpUp,
     "Label_Pumpup",
     {320, 168, 105, 33},
     14.25,
     false,
     Ink::ActiveTitleBar,
     "Initial Cuff Pump Up Value"},
    {Field::ReplyLine, "Label3", {32, 448, 417, 25}, 12, false, Ink::ButtonText, nullptr},
};

struct CaptionLayout
{
    const char *name;
    QRect geometry;
    const char *text;
    Qt::Alignment alignment;
};

// Borderless captions in the bold window font, in the highlight-text colour.
const CaptionLayout kCaptions[] = {
    {"Label6", {32, 144, 97, 17}, "SYS [mmHg]", Qt::AlignLeft},
    {"Label5", {32, 304, 97, 17}, "DIA  [mmHg]", Qt::AlignLeft},
    {"Label13", {32, 416, 97, 17}, "MAP [mmHg]", Qt::AlignLeft},
    {"Label14", {224, 416, 97, 17}, "Pulse [bpm]", Qt::AlignLeft},
    {"Label4", {32, 480, 169, 25}, "Statusstring from Board", Qt::AlignLeft},
    {"Label7", {432, 32, 41, 17}, "Status", Qt::AlignLeft},
    {"Label8", {432, 80, 49, 25}, "Cycle", Qt::AlignLeft},
    {"Label15", {432, 128, 49, 25}, "Patient", Qt::AlignLeft},
    {"Label2", {432, 176, 65, 25}, "Pump To", Qt::AlignLeft},
    {"Label1", {464, 528, 41, 17}, "Cuff", Qt::AlignHCenter},
};

struct ButtonLayout
{
    const char *name;
    QRect geometry;
    const char *caption;
    const char *toolTip;
    void (BoardPanel::*handler)();
};

// In tab order.
const ButtonLayout kButtons[] = {
    {"StartStop",
     {232, 216, 81, 33},
     "START",
     "Start Manual Measurements",
     &BoardPanel::startMeasurement},
    {"SetCycle",
     {232, 72, 81, 33},
     "Set Cycle",
     "Set Cycle Time for Automated Measurements",
     &BoardPanel::stepCycle},
    {"Reset", {232, 24, 81, 33}, "Read Stat", "Reset the Board", &BoardPanel::readStatus},
    {"Patientsel",
     {232, 120, 81, 33},
     "Neo/Adult",
     "Set Adult or Neonatal Mode",
     &BoardPanel::togglePatient},
    {"PumpUp",
     {232, 168, 81, 33},
     "Pump To",
     "Set Initial Cuff Pump Up Value",
     &BoardPanel::stepPumpUp},
    {"ManoMode",
     {320, 216, 81, 33},
     "Manometer",
     "Set the Board to Manometer Mode",
     &BoardPanel::startManometer},
    {"LeakTest",
     {408, 216, 81, 33},
     "Leaktest",
     "Set the Board to Leakage Test Mode",
     &BoardPanel::startLeakTest},
    {"Break",
     {232, 264, 257, 33},
     "Break Operation",
     "Break Current Operation and Goto Idle Mode",
     &BoardPanel::breakOperation},
};

const QColor kFieldRed(0xC0, 0x00, 0x00);
const QColor kFieldGreen(0x00, 0xC0, 0x00);
const QColor kLogoCaption(0x40, 0x40, 0x40);
const QColor kFrameGrey(0x80, 0x80, 0x80);
const QColor kFailureBackground(0xC0, 0x00, 0x00);

void setColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

QLabel *makeLabel(QWidget *parent, const char *name, const QRect &geometry, const QFont &font)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setFont(font);
    // Fields show what they are given as it stands: a reply line that looks
    // like markup is never interpreted, and reading a field back gives the
    // exact text that was set.
    label->setTextFormat(Qt::PlainText);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QFrame *makeOutline(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setGeometry(geometry);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setLineWidth(1);
    setColour(frame, QPalette::WindowText, kFrameGrey);
    frame->setAttribute(Qt::WA_TransparentForMouseEvents);
    return frame;
}

} // namespace

MainWindow::MainWindow(BoardPanel &panel, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint)
    , m_panel(panel)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Corvana"));
    setWindowIcon(Artwork::icon());
    setFont(UiFonts::sans(9.75));

    buildClientArea();
    buildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    buildClock();
    followState();

    m_startButton->setFocus();
}

MainWindow::MainWindow(BenchCore &core, QWidget *parent)
    : MainWindow(core.panel(), parent)
{
    m_core = &core;
    offerBenchChecks();
}

// The Bench checks window goes first, while this one can still follow what
// its end changes (a run it drove ends with it).
MainWindow::~MainWindow()
{
    delete m_benchChecks;
}

// The client area, built part by part: the decoration lies below everything
// it frames, so it comes first.
void MainWindow::buildClientArea()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));
    m_client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(m_client);

    // The window's colour is the system highlight colour, adjusted in
    // lightness only as far as the captions and the logo caption need.
    const QPalette system = palette(); // the application's, inherited
    m_client->setAutoFillBackground(true);
    setColour(m_client, QPalette::Window,
              Legibility::background(system.color(QPalette::Highlight),
                                     {system.color(QPalette::HighlightedText), kLogoCaption}));

    buildFramesAndLogo();
    buildFields(system);
    buildCaptions(system);
    buildButtons();
    buildPressureBar();
    buildStatusBar(system);
}

void MainWindow::buildFramesAndLogo()
{
    makeOutline(m_client, "Shape1", QRect(224, 16, 273, 193));
    makeOutline(m_client, "Shape2", QRect(224, 208, 273, 97));
    QLabel *logo = makeLabel(m_client, "Image1",
                             QRect(24, 512, Artwork::kLogoWidth, Artwork::kLogoHeight), font());
    logo->setPixmap(Artwork::logo());
}

void MainWindow::buildFields(const QPalette &system)
{
    for (const FieldLayout &field : kFields) {
        const bool replyLine = field.field == Field::ReplyLine;
        QLabel *label = makeLabel(m_client, field.name, field.geometry,
                                  replyLine ? UiFonts::mono(field.points)
                                            : UiFonts::sans(field.points, field.bold));
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        label->setAlignment(replyLine ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
        QColor ink;
        switch (field.ink) {
        case Ink::Red:
            ink = kFieldRed;
            break;
        case Ink::Green:
            ink = kFieldGreen;
            break;
        case Ink::ActiveTitleBar:
            ink = system.color(QPalette::Highlight);
            break;
        case Ink::ButtonText:
            ink = system.color(QPalette::ButtonText);
            break;
        }
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, ink);
        palette.setColor(QPalette::Window, replyLine ? system.color(QPalette::HighlightedText)
                                                     : system.color(QPalette::Base));
        label->setPalette(palette);
        label->setAutoFillBackground(true);
        if (field.toolTip)
            label->setToolTip(QString::fromLatin1(field.toolTip));
        label->setText(m_panel.state().text(field.field));
        m_fields[static_cast<std::size_t>(field.field)] = label;
    }
}

void MainWindow::buildCaptions(const QPalette &system)
{
    const QColor captionInk = system.color(QPalette::HighlightedText);
    for (const CaptionLayout &caption : kCaptions) {
        QLabel *label =
            makeLabel(m_client, caption.name, caption.geometry, UiFonts::sans(9.75, true));
        label->setText(QString::fromLatin1(caption.text));
        label->setAlignment(caption.alignment | Qt::AlignTop);
        setColour(label, QPalette::WindowText, captionInk);
    }
    QLabel *productCaption =
        makeLabel(m_client, "Label11", QRect(248, 536, 177, 25), UiFonts::sans(12.75, true));
    productCaption->setText(QStringLiteral("NIBP Test Software"));
    productCaption->setAlignment(Qt::AlignRight | Qt::AlignTop);
    setColour(productCaption, QPalette::WindowText, kLogoCaption);
}

void MainWindow::buildButtons()
{
    QWidget *previous = nullptr;
    for (const ButtonLayout &entry : kButtons) {
        auto *button = new QPushButton(QString::fromLatin1(entry.caption), m_client);
        button->setObjectName(QString::fromLatin1(entry.name));
        button->setGeometry(entry.geometry);
        button->setToolTip(QString::fromLatin1(entry.toolTip));
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
        connect(button, &QPushButton::clicked, &m_panel, entry.handler);
        if (previous)
            setTabOrder(previous, button);
        previous = button;
    }
    m_startButton = m_client->findChild<QPushButton *>(QStringLiteral("StartStop"));
    m_startButton->setFont(UiFonts::sans(9.75, true));
    m_startButton->setText(m_panel.state().startCaption());
}

void MainWindow::buildPressureBar()
{
    m_pressureBar = new QProgressBar(m_client);
    m_pressureBar->setObjectName(QStringLiteral("Press_bar"));
    m_pressureBar->setGeometry(480, 336, 17, 185);
    m_pressureBar->setOrientation(Qt::Vertical);
    m_pressureBar->setInvertedAppearance(false); // fills from the bottom
    m_pressureBar->setRange(0, BoardPanel::kBarLimit);
    showBar(m_panel.state().barValue());
    m_pressureBar->setTextVisible(false);
    m_pressureBar->setToolTip(QStringLiteral("Current Cuff Pressure"));
    m_pressureBar->setFocusPolicy(Qt::NoFocus);
}

void MainWindow::buildStatusBar(const QPalette &system)
{
    m_statusBar = new QStatusBar(m_client);
    m_statusBar->setObjectName(QStringLiteral("StsBar1"));
    m_statusBar->setGeometry(0, 580, kClientWidth, 25);
    m_statusBar->setSizeGripEnabled(false);
    m_statusBar->setAutoFillBackground(true);
    setColour(m_statusBar, QPalette::Window, system.color(QPalette::Window));
    setColour(m_statusBar, QPalette::WindowText, system.color(QPalette::WindowText));

    // The failure notice takes the status bar's width beyond what the clock
    // needs at its widest; it is hidden while there is nothing to report.
    m_failureLabel = new QLabel(m_statusBar);
    m_failureLabel->setObjectName(QStringLiteral("failureNotice"));
    m_failureLabel->setTextFormat(Qt::PlainText);
    m_failureLabel->setFont(UiFonts::sans(9.75, true));
    m_failureLabel->setAutoFillBackground(true);
    setColour(m_failureLabel, QPalette::Window, kFailureBackground);
    setColour(m_failureLabel, QPalette::WindowText, Qt::white);
    m_failureLabel->setContentsMargins(6, 0, 6, 0);
    const QFontMetrics metrics(m_statusBar->font());
    const int clockWidth =
        std::max(metrics.horizontalAdvance(ClockText::text(QTime(23, 58, 58), QLocale::system())),
                 metrics.horizontalAdvance(ClockText::text(QTime(12, 58, 58), QLocale::system())));
    m_failureLabel->setFixedWidth(kClientWidth - clockWidth - 32);
    m_statusBar->addPermanentWidget(m_failureLabel);
    m_failureLabel->hide();

    // An information sits where a failure would, in the status bar's own
    // colours; the state shows one notice at a time.
    m_infoLabel = new QLabel(m_statusBar);
    m_infoLabel->setObjectName(QStringLiteral("infoNotice"));
    m_infoLabel->setTextFormat(Qt::PlainText);
    m_infoLabel->setFont(UiFonts::sans(9.75, false));
    m_infoLabel->setContentsMargins(6, 0, 6, 0);
    m_infoLabel->setFixedWidth(m_failureLabel->width());
    m_statusBar->addPermanentWidget(m_infoLabel);
    m_infoLabel->hide();

    // Runs waiting for the line's database, in the same place when neither
    // notice shows.
    m_waitingLabel = new QLabel(m_statusBar);
    m_waitingLabel->setObjectName(QStringLiteral("runsWaiting"));
    m_waitingLabel->setTextFormat(Qt::PlainText);
    m_waitingLabel->setFont(UiFonts::sans(9.75, false));
    m_waitingLabel->setContentsMargins(6, 0, 6, 0);
    m_waitingLabel->setFixedWidth(m_failureLabel->width());
    m_statusBar->addPermanentWidget(m_waitingLabel);
    m_waitingLabel->hide();
}

void MainWindow::buildMenus()
{
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("menDatei"));
    m_exitAction = m_fileMenu->addAction(QStringLiteral("&Exit"));
    m_exitAction->setObjectName(QStringLiteral("menEnde"));
    connect(m_exitAction, &QAction::triggered, &m_panel, &BoardPanel::exitProgram);

    QMenu *portMenu = menuBar()->addMenu(QStringLiteral("&Port"));
    portMenu->setObjectName(QStringLiteral("menPort"));
    portMenu->setToolTipsVisible(true);
    connect(portMenu, &QMenu::aboutToShow, &m_panel, &BoardPanel::recheckMissingPorts);
    for (int port = 1; port <= PortTable::kPortCount; ++port) {
        QAction *entry = portMenu->addAction(PortTable::caption(port));
        entry->setObjectName(QStringLiteral("setCOM%1").arg(port));
        const QString device = m_panel.port().deviceName(port);
        entry->setToolTip(device.isEmpty() ? QStringLiteral("Not bound to a device") : device);
        entry->setCheckable(true);
        entry->setChecked(m_panel.state().portEntryChecked(port));
        entry->setEnabled(m_panel.state().portEntryEnabled(port));
        // Qt flips a checkable entry's mark when it is chosen; the marks are
        // the panel's state, so the flip is undone before its handler runs.
        connect(entry, &QAction::triggered, &m_panel, [this, entry, port](bool checked) {
            entry->setChecked(!checked);
            m_panel.choosePort(port);
        });
        m_portEntries[static_cast<std::size_t>(port - 1)] = entry;
    }

    // A menu-bar item without a list: choosing it acts at once.
    QAction *aboutAction = menuBar()->addAction(QStringLiteral("&About"));
    aboutAction->setObjectName(QStringLiteral("menAbout"));
    connect(aboutAction, &QAction::triggered, this, &MainWindow::showAboutWindow);
}

void MainWindow::buildClock()
{
    m_clockTimer = new QTimer(this);
    m_clockTimer->setObjectName(QStringLiteral("RTC_Timer"));
    m_clockTimer->setInterval(kClockIntervalMs);
    connect(m_clockTimer, &QTimer::timeout, this, &MainWindow::showClock);
    m_clockTimer->start();
}

// The notice standing when the window is built is shown as it stands; from
// then on the window follows the state. The panel's tick comes before it
// interprets, so that the reply line and the fields the tick sets from it are
// repainted together.
void MainWindow::followState()
{
    const BoardState &state = m_panel.state();
    showFailure(state.failureNotice());
    showInfo(state.infoNotice());
    connect(&state, &BoardState::textChanged, this, &MainWindow::showText);
    connect(&state, &BoardState::barChanged, this, &MainWindow::showBar);
    connect(&state, &BoardState::captionChanged, m_startButton, &QPushButton::setText);
    connect(&state, &BoardState::portEntryEnabledChanged, this, &MainWindow::showPortEntryEnabled);
    connect(&state, &BoardState::portEntryCheckedChanged, this, &MainWindow::showPortEntryChecked);
    connect(&state, &BoardState::failureChanged, this, &MainWindow::showFailure);
    connect(&state, &BoardState::infoChanged, this, &MainWindow::showInfo);
    connect(&state, &BoardState::runDrivenChanged, this, &MainWindow::showRunDriven);
    if (state.isRunDriven())
        showRunDriven(true);
    connect(&m_panel, &BoardPanel::tickStarted, this, &MainWindow::showPendingReplyLine);
    connect(&m_panel, &BoardPanel::programEnded, this, &MainWindow::noteProgramEnded);
}

void MainWindow::showText(Field field, const QString &text)
{
    if (field != Field::ReplyLine) {
        m_fields[static_cast<std::size_t>(field)]->setText(text);
        return;
    }
    // The field on screen follows the state's reply line at most once an
    // interpretation period: a board streaming at the full line rate would
    // otherwise have it repainted for every line, a hundred times a second,
    // which nobody can read and which would cost most of the CPU time at that
    // rate. A line that comes a period or more after the last one shown
    // appears at once; one that comes sooner appears at the next tick,
    // together with the values it gives.
    if (!m_replyLinePending && (!m_replyLineShown.isValid() ||
                                m_replyLineShown.elapsed() >= BoardPanel::kInterpretIntervalMs))
        showReplyLine();
    else
        m_replyLinePending = true;
}

void MainWindow::showReplyLine()
{
    m_fields[static_cast<std::size_t>(Field::ReplyLine)]->setText(
        m_panel.state().text(Field::ReplyLine));
    m_replyLinePending = false;
    m_replyLineShown.start();
}

void MainWindow::showPendingReplyLine()
{
    if (m_replyLinePending)
        showReplyLine();
}

void MainWindow::showBar(int value)
{
    // QProgressBar ignores a value outside its range; show the nearest end.
    m_pressureBar->setValue(qBound(m_pressureBar->minimum(), value, m_pressureBar->maximum()));
}

void MainWindow::showPortEntryEnabled(int port, bool enabled)
{
    if (port >= 1 && port <= PortTable::kPortCount)
        m_portEntries[static_cast<std::size_t>(port - 1)]->setEnabled(
            enabled && !m_panel.state().isRunDriven());
}

// While a test plan's run drives the board, only Break stays at hand.
void MainWindow::showRunDriven(bool driven)
{
    for (QPushButton *button : m_client->findChildren<QPushButton *>()) {
        if (button->objectName() != QLatin1String("Break"))
            button->setEnabled(!driven);
    }
    for (int port = 1; port <= PortTable::kPortCount; ++port)
        showPortEntryEnabled(port, m_panel.state().portEntryEnabled(port));
}

void MainWindow::showPortEntryChecked(int port, bool checked)
{
    if (port >= 1 && port <= PortTable::kPortCount)
        m_portEntries[static_cast<std::size_t>(port - 1)]->setChecked(checked);
}

void MainWindow::showFailure(const QString &notice)
{
    showNotice(m_failureLabel, notice);
    placeRunsWaiting();
}

void MainWindow::showInfo(const QString &notice)
{
    showNotice(m_infoLabel, notice);
    placeRunsWaiting();
}

void MainWindow::showRunsWaiting(int runs)
{
    m_runsWaiting = runs;
    m_waitingLabel->setText(runs == 1 ? tr("1 run not yet in the line's database")
                                      : tr("%1 runs not yet in the line's database").arg(runs));
    placeRunsWaiting();
}

void MainWindow::placeRunsWaiting()
{
    m_waitingLabel->setVisible(m_runsWaiting > 0 && m_failureLabel->isHidden() &&
                               m_infoLabel->isHidden());
}

void MainWindow::setArchive(const BenchChecksWindow::Archive &archive)
{
    m_archive = archive;
    if (m_benchChecks)
        m_benchChecks->setArchive(m_archive);
}

// A notice sits in the status bar, beside the clock: the report's first
// line in the bar, all of it in the tooltip with the time it was first shown.
// An empty notice hides it.
void MainWindow::showNotice(QLabel *label, const QString &notice)
{
    if (notice.isEmpty()) {
        label->hide();
        label->clear();
        return;
    }
    const QString since = QTime::currentTime().toString(ClockText::format(QLocale::system()));
    label->setToolTip(QStringLiteral("<p style='white-space:pre'>%1\n(since %2)</p>")
                          .arg(notice.toHtmlEscaped(), since.toHtmlEscaped()));
    label->setText(label->fontMetrics().elidedText(notice.section(QLatin1Char('\n'), 0, 0),
                                                   Qt::ElideMiddle, label->contentsRect().width()));
    label->show();
}

void MainWindow::noteProgramEnded()
{
    m_ended = true;
    emit programEnded();
}

void MainWindow::showClock()
{
    m_clockReading = QTime::currentTime();
    m_statusBar->showMessage(ClockText::text(m_clockReading, QLocale::system()));
}

AboutWindow *MainWindow::aboutWindow() const
{
    return m_about;
}

void MainWindow::showAboutWindow()
{
    if (!m_about)
        m_about = new AboutWindow(this);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void MainWindow::offerBenchChecks()
{
    m_benchChecksAction = new QAction(QStringLiteral("&Bench checks\u2026"), m_fileMenu);
    m_benchChecksAction->setObjectName(QStringLiteral("benchChecksAction"));
    m_benchChecksAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    m_fileMenu->insertAction(m_exitAction, m_benchChecksAction);
    m_fileMenu->insertSeparator(m_exitAction);
    connect(m_benchChecksAction, &QAction::triggered, this, &MainWindow::showBenchChecksWindow);
}

// "History…" below "Bench checks…", above the separator before "Exit".
void MainWindow::offerHistory(const ArchiveSettings &settings)
{
#ifdef TARNVIK_ARCHIVE
    if (m_historyAction)
        return;
    m_makeHistory = [this, settings] {
        return new HistoryWindow(settings, this);
    };
    m_historyAction = new QAction(QStringLiteral("&History\u2026"), m_fileMenu);
    m_historyAction->setObjectName(QStringLiteral("historyAction"));
    m_historyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    const QList<QAction *> entries = m_fileMenu->actions();
    const int benchChecks = int(entries.indexOf(m_benchChecksAction));
    QAction *before = benchChecks >= 0 ? entries.value(benchChecks + 1, nullptr) : m_exitAction;
    m_fileMenu->insertAction(before ? before : m_exitAction, m_historyAction);
    connect(m_historyAction, &QAction::triggered, this, &MainWindow::showHistoryWindow);
#else
    Q_UNUSED(settings)
#endif
}

// One window, on the archive offerHistory() was given.
void MainWindow::showHistoryWindow()
{
#ifdef TARNVIK_ARCHIVE
    if (!m_makeHistory)
        return;
    if (!m_history)
        m_history = m_makeHistory();
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
#endif
}

BenchChecksWindow *MainWindow::benchChecksWindow() const
{
    return m_benchChecks;
}

// One window, beside this one when first opened; a second choice brings it up.
void MainWindow::showBenchChecksWindow()
{
    if (!m_core)
        return;
    if (!m_benchChecks) {
        m_benchChecks = new BenchChecksWindow(*m_core, this, m_runSaver);
        m_benchChecks->setArchive(m_archive);
        m_benchChecks->placeBeside(*this);
    }
    m_benchChecks->show();
    m_benchChecks->raise();
    m_benchChecks->activateWindow();
}

// Centred on its screen when first shown.
void MainWindow::showEvent(QShowEvent *event)
{
    if (!m_centred) {
        m_centred = true;
        if (const QScreen *target = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(target->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QMainWindow::showEvent(event);
}

// Closing the window runs the exit sequence and is never refused.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_ended)
        m_panel.shutDown();
    if (m_benchChecks)
        m_benchChecks->close();
    if (m_history)
        m_history->close();
    event->accept();
}
