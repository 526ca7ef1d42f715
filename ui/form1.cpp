#include "form1.h"

#include "artwork.h"
#include "clock_text.h"
#include "frm_about.h"
#include "legibility.h"
#include "port_table.h"
#include "ui_fonts.h"

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

using Field = PanelDisplay::Field;

namespace {

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
    const char *initialText;
};

// Bordered display fields on the window-background colour, text centred;
// Label3 (the reply line) is left-aligned in the fixed-pitch font on the
// title-bar-text colour. The value fields show "---" until the first line is
// interpreted; the four fields of the 320 column start empty and start-up
// fills them.
const FieldLayout kFields[] = {
    {Field::Sys, "Sys", {32, 16, 181, 128}, 75, true, Ink::Red, "Systolic Pressure Value", "---"},
    {Field::Dia, "Dia", {32, 176, 181, 127}, 75, true, Ink::Red, "Diastolic Pressure Value", "---"},
    {Field::Map, "Map", {32, 336, 181, 80}, 48, true, Ink::Red, "Mean Pressure Value", "---"},
    {Field::Pulse, "Pulse", {224, 336, 225, 80}, 48, true, Ink::Green, "Pulse Rate", "---"},
    {Field::Label_Status,
     "Label_Status",
     {320, 24, 105, 33},
     14.25,
     false,
     Ink::ActiveTitleBar,
     "Board Status",
     ""},
    {Field::Label_cycle,
     "Label_cycle",
     {320, 72, 105, 33},
     14.25,
     false,
     Ink::ActiveTitleBar,
     "Cycle Time for Automated Measurements",
     ""},
    {Field::Label_Patient,
     "Label_Patient",
     {320, 120, 105, 33},
     14.25,
     false,
     Ink::ActiveTitleBar,
     "Adult or Neonatal Mode",
     ""},
    {Field::Label_Pumpup,
     "Label_Pumpup",
     {320, 168, 105, 33},
     14.25,
     false,
     Ink::ActiveTitleBar,
     "Initial Cuff Pump Up Value",
     ""},
    {Field::Label3, "Label3", {32, 448, 417, 25}, 12, false, Ink::ButtonText, nullptr, ""},
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
     &BoardPanel::StartStop_Click},
    {"SetCycle",
     {232, 72, 81, 33},
     "Set Cycle",
     "Set Cycle Time for Automated Measurements",
     &BoardPanel::SetCycle_Click},
    {"Reset", {232, 24, 81, 33}, "Read Stat", "Reset the Board", &BoardPanel::Reset_Click},
    {"Patientsel",
     {232, 120, 81, 33},
     "Neo/Adult",
     "Set Adult or Neonatal Mode",
     &BoardPanel::Patientsel_Click},
    {"PumpUp",
     {232, 168, 81, 33},
     "Pump To",
     "Set Initial Cuff Pump Up Value",
     &BoardPanel::PumpUp_Click},
    {"ManoMode",
     {320, 216, 81, 33},
     "Manometer",
     "Set the Board to Manometer Mode",
     &BoardPanel::ManoMode_Click},
    {"LeakTest",
     {408, 216, 81, 33},
     "Leaktest",
     "Set the Board to Leakage Test Mode",
     &BoardPanel::LeakTest_Click},
    {"Break",
     {232, 264, 257, 33},
     "Break Operation",
     "Break Current Operation and Goto Idle Mode",
     &BoardPanel::Break_Click},
};

void (BoardPanel::*const kPortHandlers[PortTable::kPortCount])() = {
    &BoardPanel::setCOM1_Click, &BoardPanel::setCOM2_Click, &BoardPanel::setCOM3_Click,
    &BoardPanel::setCOM4_Click, &BoardPanel::setCOM5_Click, &BoardPanel::setCOM6_Click,
    &BoardPanel::setCOM7_Click, &BoardPanel::setCOM8_Click};

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

Form1::Form1(SerialPort &port, QWidget *parent)
    : Form1(port, PortMap(), parent)
{}

Form1::Form1(SerialPort &port, const PortMap &portMap, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint)
    , m_panel(port, *this)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Corvana"));
    setWindowIcon(Artwork::icon());
    setFont(UiFonts::sans(9.75));

    buildClientArea();
    buildMenus(port);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    buildTimers();

    m_startStop->setFocus();
    m_panel.setPortSettingsProblems(portMap.file(), portMap.problems());
    m_panel.Form_Load();
}

Form1::~Form1() = default;

// The client area, built part by part: the decoration lies below everything
// it frames, so it comes first.
void Form1::buildClientArea()
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

void Form1::buildFramesAndLogo()
{
    makeOutline(m_client, "Shape1", QRect(224, 16, 273, 193));
    makeOutline(m_client, "Shape2", QRect(224, 208, 273, 97));
    QLabel *logo = makeLabel(m_client, "Image1",
                             QRect(24, 512, Artwork::kLogoWidth, Artwork::kLogoHeight), font());
    logo->setPixmap(Artwork::logo());
}

void Form1::buildFields(const QPalette &system)
{
    for (const FieldLayout &field : kFields) {
        const bool replyLine = field.field == Field::Label3;
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
        label->setText(QString::fromLatin1(field.initialText));
        m_fields[static_cast<std::size_t>(field.field)] = label;
    }
}

void Form1::buildCaptions(const QPalette &system)
{
    const QColor captionInk = system.color(QPalette::HighlightedText);
    for (const CaptionLayout &caption : kCaptions) {
        QLabel *label =
            makeLabel(m_client, caption.name, caption.geometry, UiFonts::sans(9.75, true));
        label->setText(QString::fromLatin1(caption.text));
        label->setAlignment(caption.alignment | Qt::AlignTop);
        setColour(label, QPalette::WindowText, captionInk);
    }
    QLabel *label11 =
        makeLabel(m_client, "Label11", QRect(248, 536, 177, 25), UiFonts::sans(12.75, true));
    label11->setText(QStringLiteral("NIBP Test Software"));
    label11->setAlignment(Qt::AlignRight | Qt::AlignTop);
    setColour(label11, QPalette::WindowText, kLogoCaption);
}

void Form1::buildButtons()
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
    m_startStop = m_client->findChild<QPushButton *>(QStringLiteral("StartStop"));
    m_startStop->setFont(UiFonts::sans(9.75, true));
}

void Form1::buildPressureBar()
{
    m_pressBar = new QProgressBar(m_client);
    m_pressBar->setObjectName(QStringLiteral("Press_bar"));
    m_pressBar->setGeometry(480, 336, 17, 185);
    m_pressBar->setOrientation(Qt::Vertical);
    m_pressBar->setInvertedAppearance(false); // fills from the bottom
    m_pressBar->setRange(0, BoardPanel::kBarLimit);
    m_pressBar->setValue(0);
    m_pressBar->setTextVisible(false);
    m_pressBar->setToolTip(QStringLiteral("Current Cuff Pressure"));
    m_pressBar->setFocusPolicy(Qt::NoFocus);
}

void Form1::buildStatusBar(const QPalette &system)
{
    m_stsBar1 = new QStatusBar(m_client);
    m_stsBar1->setObjectName(QStringLiteral("StsBar1"));
    m_stsBar1->setGeometry(0, 580, kClientWidth, 25);
    m_stsBar1->setSizeGripEnabled(false);
    m_stsBar1->setAutoFillBackground(true);
    setColour(m_stsBar1, QPalette::Window, system.color(QPalette::Window));
    setColour(m_stsBar1, QPalette::WindowText, system.color(QPalette::WindowText));

    // The failure notice takes the status bar's width beyond what the clock
    // needs at its widest; it is hidden while there is nothing to report.
    m_failureLabel = new QLabel(m_stsBar1);
    m_failureLabel->setObjectName(QStringLiteral("failureNotice"));
    m_failureLabel->setTextFormat(Qt::PlainText);
    m_failureLabel->setFont(UiFonts::sans(9.75, true));
    m_failureLabel->setAutoFillBackground(true);
    setColour(m_failureLabel, QPalette::Window, kFailureBackground);
    setColour(m_failureLabel, QPalette::WindowText, Qt::white);
    m_failureLabel->setContentsMargins(6, 0, 6, 0);
    const QFontMetrics metrics(m_stsBar1->font());
    const int clockWidth =
        std::max(metrics.horizontalAdvance(ClockText::text(QTime(23, 58, 58), QLocale::system())),
                 metrics.horizontalAdvance(ClockText::text(QTime(12, 58, 58), QLocale::system())));
    m_failureLabel->setFixedWidth(kClientWidth - clockWidth - 32);
    m_stsBar1->addPermanentWidget(m_failureLabel);
    m_failureLabel->hide();
}

void Form1::buildMenus(const SerialPort &serial)
{
    QMenu *menDatei = menuBar()->addMenu(QStringLiteral("&File"));
    menDatei->setObjectName(QStringLiteral("menDatei"));
    QAction *menEnde = menDatei->addAction(QStringLiteral("&Exit"));
    menEnde->setObjectName(QStringLiteral("menEnde"));
    connect(menEnde, &QAction::triggered, &m_panel, &BoardPanel::menEnde_Click);

    QMenu *menPort = menuBar()->addMenu(QStringLiteral("&Port"));
    menPort->setObjectName(QStringLiteral("menPort"));
    menPort->setToolTipsVisible(true);
    connect(menPort, &QMenu::aboutToShow, &m_panel, &BoardPanel::menPort_AboutToShow);
    for (int port = 1; port <= PortTable::kPortCount; ++port) {
        QAction *entry = menPort->addAction(PortTable::caption(port));
        entry->setObjectName(QStringLiteral("setCOM%1").arg(port));
        const QString device = serial.deviceName(port);
        entry->setToolTip(device.isEmpty() ? QStringLiteral("Not bound to a device") : device);
        entry->setCheckable(true);
        entry->setChecked(port == 1);
        const auto handler = kPortHandlers[port - 1];
        // Qt flips a checkable entry's mark when it is chosen; the marks are
        // the port logic's to set, so the flip is undone before its handler runs.
        connect(entry, &QAction::triggered, &m_panel, [this, entry, handler](bool checked) {
            entry->setChecked(!checked);
            (m_panel.*handler)();
        });
        m_portEntries[static_cast<std::size_t>(port - 1)] = entry;
    }

    // A menu-bar item without a list: choosing it acts at once.
    QAction *menAbout = menuBar()->addAction(QStringLiteral("&About"));
    menAbout->setObjectName(QStringLiteral("menAbout"));
    connect(menAbout, &QAction::triggered, this, &Form1::menAbout_Click);
}

void Form1::buildTimers()
{
    m_valUpdate = new QTimer(this);
    m_valUpdate->setObjectName(QStringLiteral("Val_Update"));
    m_valUpdate->setInterval(kValUpdateMs);
    // Before the panel's handler, so that the reply line and the fields the
    // tick sets from it are repainted together.
    connect(m_valUpdate, &QTimer::timeout, this, &Form1::showPendingReplyLine);
    connect(m_valUpdate, &QTimer::timeout, &m_panel, &BoardPanel::Val_Update_Timer);
    m_valUpdate->start();

    m_rtcTimer = new QTimer(this);
    m_rtcTimer->setObjectName(QStringLiteral("RTC_Timer"));
    m_rtcTimer->setInterval(kRtcTimerMs);
    connect(m_rtcTimer, &QTimer::timeout, this, &Form1::RTC_Timer_Timer);
    m_rtcTimer->start();
}

void Form1::setText(Field field, const QString &text)
{
    if (field != Field::Label3) {
        m_fields[static_cast<std::size_t>(field)]->setText(text);
        return;
    }
    // The reply line is the panel's state and takes each new text at once.
    // The field on screen follows at most once a Val_Update period: a board
    // streaming at the full line rate would otherwise have it repainted for
    // every line, a hundred times a second, which nobody can read and which
    // would cost most of the CPU time at that rate. A line that comes a period or
    // more after the last one shown appears at once; one that comes sooner
    // appears at the next tick, together with the values it gives.
    m_replyLine = text;
    if (!m_replyLinePending &&
        (!m_replyLineShown.isValid() || m_replyLineShown.elapsed() >= kValUpdateMs))
        showReplyLine();
    else
        m_replyLinePending = true;
}

QString Form1::text(Field field) const
{
    if (field == Field::Label3)
        return m_replyLine;
    return m_fields[static_cast<std::size_t>(field)]->text();
}

void Form1::showReplyLine()
{
    m_fields[static_cast<std::size_t>(Field::Label3)]->setText(m_replyLine);
    m_replyLinePending = false;
    m_replyLineShown.start();
}

void Form1::showPendingReplyLine()
{
    if (m_replyLinePending)
        showReplyLine();
}

void Form1::setCaption(Button button, const QString &caption)
{
    switch (button) {
    case Button::StartStop:
        m_startStop->setText(caption);
        break;
    }
}

void Form1::setBarValue(int value)
{
    // QProgressBar ignores a value outside its range; show the nearest end.
    m_pressBar->setValue(qBound(m_pressBar->minimum(), value, m_pressBar->maximum()));
}

void Form1::setPortEntryEnabled(int port, bool enabled)
{
    if (port >= 1 && port <= PortTable::kPortCount)
        m_portEntries[static_cast<std::size_t>(port - 1)]->setEnabled(enabled);
}

void Form1::setPortEntryChecked(int port, bool checked)
{
    if (port < 1 || port > PortTable::kPortCount)
        return;
    m_portEntries[static_cast<std::size_t>(port - 1)]->setChecked(checked);
    // The port logic checks an entry only once its port is open: the link
    // works again, so an earlier failure no longer stands.
    if (checked)
        clearFailure();
}

// A failure stays in the status bar, beside the clock, until a newer one
// replaces it or a port opens. Reports identical to the one shown (the "999"
// status request repeats every tick) leave it as it is. The bar shows the
// report's first line; the tooltip all of it.
void Form1::reportFailure(const QString &what)
{
    if (m_failureLabel->isVisibleTo(m_stsBar1) && what == m_lastFailure)
        return;
    m_lastFailure = what;
    const QString since = QTime::currentTime().toString(ClockText::format(QLocale::system()));
    m_failureLabel->setToolTip(QStringLiteral("<p style='white-space:pre'>%1\n(since %2)</p>")
                                   .arg(what.toHtmlEscaped(), since.toHtmlEscaped()));
    m_failureLabel->setText(m_failureLabel->fontMetrics().elidedText(
        what.section(QLatin1Char('\n'), 0, 0), Qt::ElideMiddle,
        m_failureLabel->contentsRect().width()));
    m_failureLabel->show();
    emit failureShown(what);
}

QString Form1::failureNotice() const
{
    return m_failureLabel->isVisibleTo(m_stsBar1) ? m_lastFailure : QString();
}

void Form1::clearFailure()
{
    m_failureLabel->hide();
    m_failureLabel->clear();
    m_lastFailure.clear();
}

void Form1::endProgram()
{
    m_ended = true;
    emit programEnded();
}

void Form1::RTC_Timer_Timer()
{
    m_clockReading = QTime::currentTime();
    m_stsBar1->showMessage(ClockText::text(m_clockReading, QLocale::system()));
}

FrmAbout *Form1::aboutWindow() const
{
    return m_about;
}

void Form1::menAbout_Click()
{
    if (!m_about)
        m_about = new FrmAbout(this);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

// Centred on its screen when first shown.
void Form1::showEvent(QShowEvent *event)
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
void Form1::closeEvent(QCloseEvent *event)
{
    if (!m_ended) {
        qint16 cancel = 0;
        m_panel.Form_Unload(cancel);
    }
    event->accept();
}
