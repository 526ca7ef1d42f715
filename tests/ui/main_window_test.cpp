// SPDX-License-Identifier: MIT
// The main window against its layout tables and its wiring: every control's
// place, text, font, colours and tooltip; tab order and focus; menus and access
// keys; buttons and menu entries reaching the panel logic and the in-memory
// port; the panel's state reaching the fields, whether the window is built
// before the start-up or after it; the clock; the failure notice; exit.
#include "about_window.h"
#include "clock_text.h"
#include "legibility.h"
#include "main_window.h"
#include "memory_serial_port.h"
#include "port_map.h"
#include <QApplication>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

using Field = BoardState::Field;

namespace {

QByteArray frame(const QByteArray &text)
{
    return '\x02' + text + '\x03';
}

// A window on the panel logic on an in-memory port; ports not listed in
// `openable` fail to open. The start-up runs once the window is built, as in
// the program, or before it when `builtAfterStartUp`.
struct Bench
{
    explicit Bench(const QSet<int> &openable = {1, 2, 3, 4, 5, 6, 7, 8},
                   bool builtAfterStartUp = false)
    {
        port.setOnlyOpenable(openable);
        panel = std::make_unique<BoardPanel>(port);
        if (builtAfterStartUp)
            panel->startUp();
        window = std::make_unique<MainWindow>(*panel);
        if (!builtAfterStartUp)
            panel->startUp();
    }
    BoardState &state() { return panel->state(); }
    // What the field's label shows.
    QString shown(const char *name) const { return child<QLabel>(QLatin1String(name))->text(); }
    template <typename T> T *child(const QString &name) const
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qWarning("no child %s", qPrintable(name));
        return found;
    }
    QPoint clientPos(QWidget *w) const { return w->mapTo(window->centralWidget(), QPoint(0, 0)); }
    void showActive()
    {
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    MemorySerialPort port;
    std::unique_ptr<BoardPanel> panel;
    std::unique_ptr<MainWindow> window;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void startUpRunsBeforeFirstShow_data();
    void startUpRunsBeforeFirstShow();
    void window();
    void displayFields_data();
    void displayFields();
    void fieldTextFits_data();
    void fieldTextFits();
    void captions_data();
    void captions();
    void buttons_data();
    void buttons();
    void decorationAndBar();
    void tabOrderAndFocus();
    void menus();
    void accessKeys_data();
    void accessKeys();
    void buttonClicks_data();
    void buttonClicks();
    void portEntries();
    void replyLinesReachFields();
    void replyLineFieldFollowsBursts();
    void fieldsShowTextAsItStands_data();
    void fieldsShowTextAsItStands();
    void timersAndClock();
    void clockFormat_data();
    void clockFormat();
    void legibleBackground_data();
    void legibleBackground();
    void failureWithoutPort();
    void noticeIsOneLineWithTheListInItsTooltip_data();
    void noticeIsOneLineWithTheListInItsTooltip();
    void repeatedFailureShownOnce();
    void newerFailureReplacesAndPortOpenClears();
    void infoShowsWhereTheFailureWasInTheBarsColours();
    void runsWaitingForTheLine_data();
    void runsWaitingForTheLine();
    void exitEndsProgram_data();
    void exitEndsProgram();
};

void TestMainWindow::startUpRunsBeforeFirstShow_data()
{
    QTest::addColumn<QSet<int>>("openable");
    QTest::addColumn<bool>("builtAfterStartUp");
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<QString>("notice"); // how the notice shown begins; empty: none
    const QSet<int> all{1, 2, 3, 4, 5, 6, 7, 8};
    QTest::newRow("window built, then the start-up")
        << all << false << QStringList{"setCOM1"} << QString();
    QTest::newRow("window built on a panel that has started")
        << QSet<int>{2, 3} << true << QStringList{"setCOM2"} << QString();
    QTest::newRow("window built after a start-up without a port shows its notice")
        << QSet<int>{} << true << QStringList{} << "No serial port could be opened";
}

// The window shows the panel's state as it is when built and follows it from
// then on: either way it looks the same before it is first shown.
void TestMainWindow::startUpRunsBeforeFirstShow()
{
    QFETCH(QSet<int>, openable);
    QFETCH(bool, builtAfterStartUp);
    QFETCH(QStringList, checked);
    QFETCH(QString, notice);
    Bench bench(openable, builtAfterStartUp);
    QVERIFY(!bench.window->isVisible());
    QCOMPARE(bench.port.written().isEmpty(), openable.isEmpty());
    if (!openable.isEmpty())
        QCOMPARE(bench.port.written(),
                 frame("03;;D9") + frame("24;;DC") + frame("22;;DA") + frame("18;;DF"));
    QCOMPARE(bench.shown("Label_Status"), QStringLiteral("IDLE"));
    QCOMPARE(bench.shown("Label_Pumpup"), QStringLiteral("160 mmHg"));
    QCOMPARE(bench.shown("Sys"), QStringLiteral("---"));
    QCOMPARE(bench.child<QPushButton>("StartStop")->text(), QStringLiteral("START"));
    QCOMPARE(bench.child<QProgressBar>("Press_bar")->value(), 0);
    QStringList checkedEntries, enabledEntries;
    for (QAction *entry : bench.child<QMenu>("menPort")->actions()) {
        if (entry->isChecked())
            checkedEntries << entry->objectName();
        if (entry->isEnabled())
            enabledEntries << entry->objectName();
    }
    QCOMPARE(checkedEntries, checked);
    QCOMPARE(enabledEntries.size(), openable.size());
    auto *label = bench.child<QLabel>("failureNotice");
    QCOMPARE(label->isVisibleTo(bench.window.get()), !notice.isEmpty());
    QVERIFY2(label->text().startsWith(notice), qPrintable(label->text()));
}

void TestMainWindow::window()
{
    Bench bench;
    MainWindow &w = *bench.window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), QStringLiteral("Corvana"));
    QCOMPARE(w.centralWidget()->size(), QSize(518, 605));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QCOMPARE(w.height(), w.menuBar()->height() + 605);
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    const QList<QSize> iconSizes = w.windowIcon().availableSizes();
    QVERIFY(iconSizes.contains(QSize(32, 32)) && iconSizes.contains(QSize(16, 16)));
    const QPoint offset = w.frameGeometry().center() - w.screen()->availableGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2, "the window is centred on the screen");
}

void TestMainWindow::displayFields_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text"); // after start-up
    QTest::addColumn<QString>("family");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("ink");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QString>("toolTip");

    const QPalette system = QApplication::palette();
    const QColor red(0xC0, 0x00, 0x00), green(0x00, 0xC0, 0x00);
    const QColor title = system.color(QPalette::Highlight), base = system.color(QPalette::Base);
    const struct
    {
        const char *name;
        QRect geometry;
        const char *text;
        qreal points;
        QColor ink;
        const char *toolTip;
    } rows[] = {
        {"Sys", {32, 16, 181, 128}, "---", 75, red, "Systolic Pressure Value"},
        {"Dia", {32, 176, 181, 127}, "---", 75, red, "Diastolic Pressure Value"},
        {"Map", {32, 336, 181, 80}, "---", 48, red, "Mean Pressure Value"},
        {"Pulse", {224, 336, 225, 80}, "---", 48, green, "Pulse Rate"},
        {"Label_Status", {320, 24, 105, 33}, "IDLE", 14.25, title, "Board Status"},
        {"Label_cycle",
         {320, 72, 105, 33},
         "Manual",
         14.25,
         title,
         "Cycle Time for Automated Measurements"},
        {"Label_Patient", {320, 120, 105, 33}, "Adult", 14.25, title, "Adult or Neonatal Mode"},
        {"Label_Pumpup",
         {320, 168, 105, 33},
         "160 mmHg",
         14.25,
         title,
         "Initial Cuff Pump Up Value"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.name << row.geometry << row.text << "Liberation Sans"
                                << row.points << (row.points > 20) << row.ink << base
                                << int(Qt::AlignHCenter) << row.toolTip;
    QTest::newRow("Label3 reply line")
        << "Label3" << QRect(32, 448, 417, 25) << ""
        << "Liberation Mono" << 12.0 << false << system.color(QPalette::ButtonText)
        << system.color(QPalette::HighlightedText) << int(Qt::AlignLeft) << "";
}

void TestMainWindow::displayFields()
{
    QFETCH(QString, name);
    Bench bench;
    QLabel *label = bench.child<QLabel>(name);
    QVERIFY(label);
    QTEST(QRect(bench.clientPos(label), label->size()), "geometry");
    QTEST(label->text(), "text");
    QTEST(label->font().family(), "family");
    QFETCH(qreal, points);
    QCOMPARE(label->font().pixelSize(), qRound(points * 96 / 72));
    QTEST(label->font().bold(), "bold");
    QTEST(label->palette().color(QPalette::WindowText), "ink");
    QTEST(label->palette().color(QPalette::Window), "background");
    QVERIFY(label->autoFillBackground());
    QTEST(int(label->alignment() & Qt::AlignHorizontal_Mask), "alignment");
    QTEST(label->toolTip(), "toolTip");
    QVERIFY(label->frameShape() != QFrame::NoFrame);
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    QCOMPARE(label->textFormat(), Qt::PlainText);
}

void TestMainWindow::fieldTextFits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("Sys dashes") << "Sys"
                                << "---";
    QTest::newRow("Sys three digits") << "Sys"
                                      << "888";
    QTest::newRow("Dia three digits") << "Dia"
                                      << "888";
    QTest::newRow("Map three digits") << "Map"
                                      << "888";
    QTest::newRow("Pulse three digits") << "Pulse"
                                        << "888";
    QTest::newRow("Label_Status Leak Test") << "Label_Status"
                                            << "Leak Test";
    QTest::newRow("Label_Status MEASURE") << "Label_Status"
                                          << "MEASURE";
    QTest::newRow("Label_Pumpup 180 mmHg") << "Label_Pumpup"
                                           << "180 mmHg";
    QTest::newRow("Label_Patient Neonate") << "Label_Patient"
                                           << "Neonate";
    QTest::newRow("Label_cycle 15 min") << "Label_cycle"
                                        << "15 min";
}

void TestMainWindow::fieldTextFits()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    Bench bench;
    QLabel *label = bench.child<QLabel>(name);
    const QFontMetrics metrics(label->font());
    const QRect room = label->contentsRect();
    QVERIFY2(metrics.horizontalAdvance(text) <= room.width(), "text wider than its field");
    QVERIFY2(metrics.height() <= room.height(), "text taller than its field");
}

void TestMainWindow::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<QColor>("ink");
    QTest::addColumn<int>("alignment");

    const QColor highlightText = QApplication::palette().color(QPalette::HighlightedText);
    const int left = Qt::AlignLeft;
    const struct
    {
        const char *name;
        QRect geometry;
        const char *text;
    } rows[] = {
        {"Label6", {32, 144, 97, 17}, "SYS [mmHg]"},
        {"Label5", {32, 304, 97, 17}, "DIA  [mmHg]"},
        {"Label13", {32, 416, 97, 17}, "MAP [mmHg]"},
        {"Label14", {224, 416, 97, 17}, "Pulse [bpm]"},
        {"Label4", {32, 480, 169, 25}, "Statusstring from Board"},
        {"Label7", {432, 32, 41, 17}, "Status"},
        {"Label8", {432, 80, 49, 25}, "Cycle"},
        {"Label15", {432, 128, 49, 25}, "Patient"},
        {"Label2", {432, 176, 65, 25}, "Pump To"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.name << row.geometry << row.text << 9.75 << highlightText
                                << left;
    QTest::newRow("Label1 centred") << "Label1" << QRect(464, 528, 41, 17) << "Cuff" << 9.75
                                    << highlightText << int(Qt::AlignHCenter);
    QTest::newRow("Label11 logo caption")
        << "Label11" << QRect(248, 536, 177, 25) << "NIBP Test Software" << 12.75
        << QColor(0x40, 0x40, 0x40) << int(Qt::AlignRight);
}

void TestMainWindow::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    Bench bench;
    QLabel *label = bench.child<QLabel>(name);
    QVERIFY(label);
    QTEST(QRect(bench.clientPos(label), label->size()), "geometry");
    QCOMPARE(label->text(), text);
    QCOMPARE(label->font().family(), QStringLiteral("Liberation Sans"));
    QFETCH(qreal, points);
    QCOMPARE(label->font().pixelSize(), qRound(points * 96 / 72));
    QVERIFY(label->font().bold());
    QTEST(label->palette().color(QPalette::WindowText), "ink");
    QTEST(int(label->alignment() & Qt::AlignHorizontal_Mask), "alignment");
    QCOMPARE(label->frameShape(), QFrame::NoFrame);
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(text) <= label->width(),
             "caption wider than its label");
}

void TestMainWindow::buttons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");
    const struct
    {
        const char *name;
        QRect geometry;
        const char *caption;
        const char *toolTip;
    } rows[] = {
        {"Reset", {232, 24, 81, 33}, "Read Stat", "Reset the Board"},
        {"SetCycle", {232, 72, 81, 33}, "Set Cycle", "Set Cycle Time for Automated Measurements"},
        {"Patientsel", {232, 120, 81, 33}, "Neo/Adult", "Set Adult or Neonatal Mode"},
        {"PumpUp", {232, 168, 81, 33}, "Pump To", "Set Initial Cuff Pump Up Value"},
        {"StartStop", {232, 216, 81, 33}, "START", "Start Manual Measurements"},
        {"ManoMode", {320, 216, 81, 33}, "Manometer", "Set the Board to Manometer Mode"},
        {"LeakTest", {408, 216, 81, 33}, "Leaktest", "Set the Board to Leakage Test Mode"},
        {"Break",
         {232, 264, 257, 33},
         "Break Operation",
         "Break Current Operation and Goto Idle Mode"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.name << row.geometry << row.caption << row.toolTip;
}

void TestMainWindow::buttons()
{
    QFETCH(QString, name);
    Bench bench;
    auto *button = bench.child<QPushButton>(name);
    QVERIFY(button);
    QTEST(QRect(bench.clientPos(button), button->size()), "geometry");
    QTEST(button->text(), "caption");
    QTEST(button->toolTip(), "toolTip");
    QCOMPARE(button->font().family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(button->font().pixelSize(), 13); // 9.75 pt
    QCOMPARE(button->font().bold(), name == "StartStop");
    QVERIFY(!button->isDefault());
    QVERIFY(!button->autoDefault());
}

void TestMainWindow::decorationAndBar()
{
    Bench bench;
    auto *bar = bench.child<QProgressBar>("Press_bar");
    QCOMPARE(QRect(bench.clientPos(bar), bar->size()), QRect(480, 336, 17, 185));
    QCOMPARE(bar->orientation(), Qt::Vertical);
    QVERIFY(!bar->invertedAppearance()); // a vertical bar fills from the bottom
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 300);
    QCOMPARE(bar->toolTip(), QStringLiteral("Current Cuff Pressure"));

    auto *status = bench.child<QStatusBar>("StsBar1");
    QCOMPARE(QRect(bench.clientPos(status), status->size()), QRect(0, 580, 518, 25));

    for (const auto &[name, rect] : {std::pair{"Shape1", QRect(224, 16, 273, 193)},
                                     std::pair{"Shape2", QRect(224, 208, 273, 97)}}) {
        auto *shape = bench.child<QFrame>(QString::fromLatin1(name));
        QCOMPARE(QRect(bench.clientPos(shape), shape->size()), rect);
        QCOMPARE(shape->frameShape(), QFrame::Box);
        QCOMPARE(shape->lineWidth(), 1);
        QCOMPARE(shape->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0x80));
        QVERIFY(!shape->autoFillBackground());
    }

    auto *logo = bench.child<QLabel>("Image1");
    QCOMPARE(QRect(bench.clientPos(logo), logo->size()), QRect(24, 512, 220, 50));
    const QImage picture = logo->pixmap().toImage();
    QCOMPARE(picture.size(), QSize(220, 50));
    QVERIFY(picture.hasAlphaChannel());
    QCOMPARE(qAlpha(picture.pixel(0, 0)), 0);
    QVERIFY(!logo->autoFillBackground());
}

void TestMainWindow::tabOrderAndFocus()
{
    Bench bench;
    bench.showActive();
    QCOMPARE(QApplication::focusWidget(), bench.child<QWidget>("StartStop"));
    QStringList visited;
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, QStringList({"SetCycle", "Reset", "Patientsel", "PumpUp", "ManoMode",
                                   "LeakTest", "Break", "StartStop"}));
}

void TestMainWindow::menus()
{
    Bench bench;
    QStringList top;
    for (QAction *action : bench.window->menuBar()->actions())
        top << action->text();
    QCOMPARE(top, QStringList({"&File", "&Port", "&About"}));

    auto *menDatei = bench.child<QMenu>("menDatei");
    QCOMPARE(menDatei->actions().size(), 1);
    QCOMPARE(menDatei->actions().first(), bench.child<QAction>("menEnde"));
    QCOMPARE(bench.child<QAction>("menEnde")->text(), QStringLiteral("&Exit"));

    auto *menPort = bench.child<QMenu>("menPort");
    QCOMPARE(menPort->actions().size(), 8);
    for (int port = 1; port <= 8; ++port) {
        QAction *entry = menPort->actions().at(port - 1);
        QCOMPARE(entry->objectName(), QStringLiteral("setCOM%1").arg(port));
        QCOMPARE(entry->text(), QStringLiteral("COM%1").arg(port));
        QVERIFY(entry->isCheckable());
        QVERIFY(entry->isEnabled());
        QCOMPARE(entry->isChecked(), port == 1);
    }
    QVERIFY(!bench.child<QAction>("menAbout")->menu()); // acts from the menu bar itself
}

void TestMainWindow::accessKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("popup"); // the list it opens; empty: acts at once
    QTest::newRow("Alt+F opens File") << int(Qt::Key_F) << "menDatei";
    QTest::newRow("Alt+P opens Port") << int(Qt::Key_P) << "menPort";
    QTest::newRow("Alt+A opens About") << int(Qt::Key_A) << "";
}

void TestMainWindow::accessKeys()
{
    QFETCH(int, key);
    QFETCH(QString, popup);
    Bench bench;
    bench.showActive();
    QTest::keyClick(bench.window.get(), Qt::Key(key), Qt::AltModifier);
    if (popup.isEmpty()) {
        QTRY_VERIFY(bench.window->aboutWindow());
        QVERIFY(bench.window->aboutWindow()->isVisible());
    } else {
        QTRY_VERIFY(QApplication::activePopupWidget());
        QCOMPARE(QApplication::activePopupWidget()->objectName(), popup);
        QApplication::activePopupWidget()->close();
    }
}

void TestMainWindow::buttonClicks_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("START measures")
        << QStringList() << "StartStop" << frame("01;;D7") << "Label_Status"
        << "MEASURE";
    QTest::newRow("Set Cycle steps to 1 min")
        << QStringList() << "SetCycle" << frame("04;;DA") << "Label_cycle"
        << "1 min";
    QTest::newRow("Read Stat asks for status")
        << QStringList() << "Reset" << frame("18;;DF") << "Label_Status"
        << "IDLE";
    QTest::newRow("Neo/Adult selects Neonate")
        << QStringList() << "Patientsel" << frame("25;;DD") << "Label_Patient"
        << "Neonate";
    QTest::newRow("Pump To steps to 180 mmHg")
        << QStringList() << "PumpUp" << frame("23;;DB") << "Label_Pumpup"
        << "180 mmHg";
    QTest::newRow("Manometer") << QStringList() << "ManoMode" << frame("14;;DB") << "Label_Status"
                               << "Manometer";
    QTest::newRow("Leaktest") << QStringList() << "LeakTest" << frame("17;;DE") << "Label_Status"
                              << "Leak Test";
    QTest::newRow("Break ends a measurement")
        << QStringList{"StartStop"} << "Break" << frame("X") << "Label_Status"
        << "IDLE";
    QTest::newRow("Break in IDLE still reaches the board")
        << QStringList() << "Break" << frame("X") << "Label_Status"
        << "IDLE";
    QTest::newRow("START during a measurement is refused")
        << QStringList{"StartStop"} << "StartStop" << QByteArray() << "Label_Status"
        << "MEASURE";
}

void TestMainWindow::buttonClicks()
{
    QFETCH(QStringList, before);
    QFETCH(QString, button);
    QFETCH(QString, field);
    Bench bench;
    bench.window->show();
    for (const QString &name : before)
        QTest::mouseClick(bench.child<QPushButton>(name), Qt::LeftButton);
    bench.port.clearWritten();
    QTest::mouseClick(bench.child<QPushButton>(button), Qt::LeftButton);
    QTEST(bench.port.written(), "sent");
    QTEST(bench.child<QLabel>(field)->text(), "text");
}

void TestMainWindow::portEntries()
{
    Bench bench({1, 2, 5});
    QList<bool> enabled;
    for (int port = 1; port <= 8; ++port)
        enabled << bench.child<QAction>(QStringLiteral("setCOM%1").arg(port))->isEnabled();
    QCOMPARE(enabled, QList<bool>({true, true, false, false, true, false, false, false}));

    const auto checkedEntries = [&bench] {
        QStringList names;
        for (QAction *entry : bench.child<QMenu>("menPort")->actions())
            if (entry->isChecked())
                names << entry->objectName();
        return names;
    };
    bench.port.clearOperations();
    bench.child<QAction>("setCOM2")->trigger();
    QVERIFY(bench.port.operations().contains("close 1"));
    QVERIFY(bench.port.operations().contains("open 2"));
    QCOMPARE(checkedEntries(), QStringList{"setCOM2"});

    // Choosing the open port again reopens it and keeps its mark.
    bench.child<QAction>("setCOM2")->trigger();
    QVERIFY(bench.port.isOpen());
    QCOMPARE(checkedEntries(), QStringList{"setCOM2"});
}

void TestMainWindow::replyLinesReachFields()
{
    Bench bench;
    bench.port.deliver(QByteArrayLiteral("\x02"
                                         "160\r"));
    QCOMPARE(bench.state().text(Field::ReplyLine), QStringLiteral("\x02"
                                                                  "160"));
    QTRY_COMPARE(bench.shown("Map"), QStringLiteral("160"));
    QCOMPARE(bench.child<QProgressBar>("Press_bar")->value(), 160);

    bench.port.deliver(QByteArrayLiteral("\x02S00000000000000"
                                         "120"
                                         "080"
                                         "093"
                                         "00"
                                         "072\r"));
    QTRY_COMPARE(bench.shown("Sys"), QStringLiteral("120"));
    QCOMPARE(bench.shown("Dia"), QStringLiteral("080"));
    QCOMPARE(bench.shown("Map"), QStringLiteral("093"));
    QCOMPARE(bench.shown("Pulse"), QStringLiteral("072"));
    QCOMPARE(bench.child<QProgressBar>("Press_bar")->value(), 160);
}

// Lines that come faster than the tick are kept at once as the state's reply
// line, which the panel reads back, while the field on screen catches up at
// the panel's next tick:
// the newest line always ends up shown, none is lost or shown out of order,
// and after a quiet tick period a line shows at once again.
void TestMainWindow::replyLineFieldFollowsBursts()
{
    Bench bench;
    auto *field = bench.child<QLabel>("Label3");
    const QString stx(QChar(2));
    bench.port.deliver(QByteArrayLiteral("\x02"
                                         "100\r"));
    QCOMPARE(field->text(), stx + "100");

    bench.port.deliver(QByteArrayLiteral("\x02"
                                         "105\r\x02"
                                         "110\r"));
    QCOMPARE(bench.state().text(Field::ReplyLine), stx + "110");
    QTRY_COMPARE(field->text(), stx + "110");
    QTRY_COMPARE(bench.shown("Map"), QStringLiteral("110"));

    QTest::qWait(BoardPanel::kInterpretIntervalMs + 20);
    bench.port.deliver(QByteArrayLiteral("\x02"
                                         "120\r"));
    QCOMPARE(field->text(), stx + "120");
}

void TestMainWindow::fieldsShowTextAsItStands_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("bold tag") << QByteArray("<b>12</b>");
    QTest::newRow("entity") << QByteArray("&amp;");
    QTest::newRow("ampersand") << QByteArray("a&b");
    QTest::newRow("leading blank") << QByteArray(" 85");
    QTest::newRow("result line with markup") << QByteArray("S<i>x</i>");
}

// The reply line goes to Label3 exactly as received, and every field shows
// the state's text as it stands; markup in it is never rendered as markup.
void TestMainWindow::fieldsShowTextAsItStands()
{
    QFETCH(QByteArray, payload);
    Bench bench;
    bench.port.deliver('\x02' + payload + '\r');
    const QString line = QLatin1Char('\x02') + QString::fromLatin1(payload);
    QCOMPARE(bench.state().text(Field::ReplyLine), line);
    QCOMPARE(bench.child<QLabel>("Label3")->text(), line);

    bench.state().setText(Field::Systolic, QString::fromLatin1(payload));
    QCOMPARE(bench.shown("Sys"), QString::fromLatin1(payload));
    for (QLabel *label : bench.window->findChildren<QLabel *>())
        QVERIFY2(label->textFormat() == Qt::PlainText || label->objectName() == "Image1",
                 qPrintable(label->objectName()));
}

void TestMainWindow::timersAndClock()
{
    Bench bench;
    // The interpretation timer is the panel's; the clock is the window's.
    const auto *valUpdate = bench.panel->findChild<QTimer *>(QStringLiteral("Val_Update"));
    QVERIFY(valUpdate);
    QVERIFY(!bench.window->findChild<QTimer *>(QStringLiteral("Val_Update")));
    const auto *rtcTimer = bench.child<QTimer>("RTC_Timer");
    QCOMPARE(valUpdate->interval(), 150);
    QCOMPARE(rtcTimer->interval(), 350);
    QVERIFY(valUpdate->isActive() && !valUpdate->isSingleShot());
    QVERIFY(rtcTimer->isActive() && !rtcTimer->isSingleShot());

    auto *status = bench.child<QStatusBar>("StsBar1");
    QCOMPARE(status->currentMessage(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(!status->currentMessage().isEmpty(), 1000);
    const QString format = ClockText::format(QLocale::system());
    const QTime shown = QLocale::system().toTime(status->currentMessage(), format);
    QVERIFY2(shown.isValid(), qPrintable(status->currentMessage()));
    QVERIFY(qAbs(shown.secsTo(QTime::currentTime())) <= 2);
}

void TestMainWindow::clockFormat_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::newRow("C, 24-hour") << "C"
                                << "14:05:09";
    QTest::newRow("en_US, 12-hour") << "en_US"
                                    << "2:05:09 PM";
    QTest::newRow("de_DE") << "de_DE"
                           << "14:05:09";
    QTest::newRow("fr_CA, quoted words") << "fr_CA"
                                         << "14 h 05 min 09 s";
    QTest::newRow("zh_CN, zone first") << "zh_CN"
                                       << "14:05:09";
    QTest::newRow("ko_KR, marker first") << "ko_KR" << QString::fromUtf8("오후 2시 5분 9초");
}

void TestMainWindow::clockFormat()
{
    QFETCH(QString, locale);
    QTEST(ClockText::text(QTime(14, 5, 9), QLocale(locale)), "text");
    QCOMPARE(ClockText::withoutTimeZone(QStringLiteral("'at' HH:mm t 'x't")),
             QStringLiteral("'at' HH:mm 'x'"));
}

void TestMainWindow::legibleBackground_data()
{
    QTest::addColumn<QColor>("wanted");
    QTest::addColumn<bool>("kept");
    QTest::newRow("mid blue, already legible") << QColor(0x4A, 0x90, 0xC8) << true;
    QTest::newRow("light blue") << QColor(0x30, 0x8C, 0xC6) << false;
    QTest::newRow("navy") << QColor(0x00, 0x00, 0x80) << false;
    QTest::newRow("pale yellow") << QColor(0xFF, 0xFF, 0xE0) << false;
}

// White captions and the dark grey logo caption must both stay readable.
void TestMainWindow::legibleBackground()
{
    QFETCH(QColor, wanted);
    const QList<QColor> texts{Qt::white, QColor(0x40, 0x40, 0x40)};
    const QColor chosen = Legibility::background(wanted, texts);
    for (const QColor &text : texts)
        QVERIFY(Legibility::contrastRatio(chosen, text) >= Legibility::kMinimumContrast);
    QTEST(chosen == wanted, "kept");

    Bench bench;
    const QColor window = bench.window->centralWidget()->palette().color(QPalette::Window);
    for (const char *name : {"Label6", "Label1", "Label11"}) {
        const QColor ink = bench.child<QLabel>(name)->palette().color(QPalette::WindowText);
        QVERIFY2(Legibility::contrastRatio(window, ink) >= 3.0, name);
    }
}

void TestMainWindow::failureWithoutPort()
{
    Bench bench(QSet<int>{});
    QVERIFY(bench.state().failureNotice().contains("No serial port"));
    QCOMPARE(bench.port.outputCalls(), 0);
    QCOMPARE(bench.shown("Label_Status"), QStringLiteral("IDLE"));
    bench.window->show();
    auto *status = bench.child<QStatusBar>("StsBar1");
    QTRY_VERIFY_WITH_TIMEOUT(!status->currentMessage().isEmpty(), 1000); // the clock stays
    auto *notice = bench.child<QLabel>("failureNotice");
    QVERIFY(notice->isVisible());
    QVERIFY(notice->text().startsWith("No serial port")); // not elided away before the first show
}

void TestMainWindow::noticeIsOneLineWithTheListInItsTooltip_data()
{
    QTest::addColumn<QSet<int>>("openable");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("tooltip");
    QTest::newRow("port opens: the settings' problems")
        << QSet<int>{1} << "Port settings: COM3=ttyS2 is not a device name; COM3 stays unbound"
        << QStringList{"tarnvik.conf:", "(and 1 more)", "unknown entry \"COM9\""};
    QTest::newRow("no port: every entry, then the settings' problems")
        << QSet<int>{} << "No serial port could be opened: COM1 to COM8 are all unavailable"
        << QStringList{"(8 not present); 2 problem(s) in the port settings",
                       "COM8 could not be opened: not present", "unknown entry \"COM9\""};
}

// The bar shows the first line (elided at most); the tooltip shows all.
void TestMainWindow::noticeIsOneLineWithTheListInItsTooltip()
{
    QFETCH(QSet<int>, openable);
    QFETCH(QString, line);
    QFETCH(QStringList, tooltip);
    QTemporaryDir dir;
    QFile settings(dir.filePath(QStringLiteral("tarnvik.conf")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[ports]\nCOM9=/dev/ttyUSB4\nCOM3=ttyS2\n");
    settings.close();
    MemorySerialPort port;
    port.setOnlyOpenable(openable);
    BoardPanel panel(port);
    const PortMap map = PortMap::load(settings.fileName(), PortTable({}), PortMap::Syntax::Posix);
    panel.setPortSettingsProblems(map.file(), map.problems());
    MainWindow window(panel);
    panel.startUp();

    const QString shown = panel.state().failureNotice();
    QVERIFY2(shown.startsWith(line), qPrintable(shown));
    auto *notice = window.findChild<QLabel *>(QStringLiteral("failureNotice"));
    QVERIFY(!notice->text().isEmpty() && !notice->text().contains(QLatin1Char('\n')));
    for (const QString &piece : tooltip)
        QVERIFY2(notice->toolTip().contains(piece.toHtmlEscaped()), qPrintable(notice->toolTip()));
    QCOMPARE(window.findChild<QAction *>(QStringLiteral("setCOM5"))->toolTip(),
             QStringLiteral("memory port 5")); // each entry names its device
}

void TestMainWindow::repeatedFailureShownOnce()
{
    Bench bench;
    QSignalSpy shown(&bench.state(), &BoardState::failureChanged);
    bench.port.failWritesAfter(0);
    const int callsBefore = bench.port.outputCalls();
    bench.port.deliver(QByteArrayLiteral("\x02"
                                         "999\r"));
    QTRY_VERIFY_WITH_TIMEOUT(bench.port.outputCalls() >= callsBefore + 4, 2000);
    QCOMPARE(shown.count(), 1);
    QVERIFY(bench.state().failureNotice().contains("18;;DF"));
    QVERIFY(bench.child<QLabel>("failureNotice")->toolTip().contains("18;;DF"));
}

void TestMainWindow::newerFailureReplacesAndPortOpenClears()
{
    Bench bench;
    bench.window->show();
    QSignalSpy shown(&bench.state(), &BoardState::failureChanged);
    auto *notice = bench.child<QLabel>("failureNotice");
    bench.port.failWritesAfter(0);
    QTest::mouseClick(bench.child<QPushButton>("Reset"), Qt::LeftButton);
    QVERIFY(notice->toolTip().contains("18;;DF"));
    QTest::mouseClick(bench.child<QPushButton>("PumpUp"), Qt::LeftButton);
    QVERIFY(notice->toolTip().contains("23;;DB"));
    QVERIFY(!notice->toolTip().contains("18;;DF"));
    QCOMPARE(shown.count(), 2);
    QCOMPARE(bench.shown("Label_Pumpup"), QStringLiteral("160 mmHg"));

    bench.port.failWritesAfter(-1);
    bench.child<QAction>("setCOM3")->trigger();
    QCOMPARE(bench.state().failureNotice(), QString());
    QVERIFY(!notice->isVisible());
}

// "COM1 is back" after a loss: in the failure's place, in the status bar's
// own colours, until the next notice; a window built on it shows it too.
void TestMainWindow::infoShowsWhereTheFailureWasInTheBarsColours()
{
    Bench bench;
    bench.window->show();
    auto *failure = bench.child<QLabel>("failureNotice");
    auto *info = bench.child<QLabel>("infoNotice");
    auto *status = bench.child<QStatusBar>("StsBar1");
    bench.state().reportFailure(QStringLiteral("Lost the device on COM1"));
    bench.state().reportInfo(QStringLiteral("COM1 is back"));
    QVERIFY(info->isVisible());
    QVERIFY(!failure->isVisible());
    QCOMPARE(info->text(), QStringLiteral("COM1 is back"));
    QVERIFY(info->toolTip().contains(QStringLiteral("COM1 is back\n(since ")));
    QCOMPARE(info->width(), failure->width());
    QVERIFY(!info->autoFillBackground());
    QVERIFY(!info->font().bold());
    QCOMPARE(info->palette().color(QPalette::WindowText),
             status->palette().color(QPalette::WindowText));
    MainWindow late(*bench.panel);
    QVERIFY(late.findChild<QLabel *>(QStringLiteral("infoNotice"))->isVisibleTo(&late));

    bench.state().reportFailure(QStringLiteral("Command 18;;DF not sent"));
    QVERIFY(!info->isVisible());
    QVERIFY(failure->isVisible());
}

void TestMainWindow::runsWaitingForTheLine_data()
{
    QTest::addColumn<int>("runs");
    QTest::addColumn<QString>("notice"); // "failure", "info" or none, shown after the count
    QTest::addColumn<QString>("shown");  // the status bar's words; empty: hidden
    QTest::newRow("3 runs waiting are counted") << 3 << ""
                                                << "3 runs not yet in the line's database";
    QTest::newRow("1 run waiting") << 1 << ""
                                   << "1 run not yet in the line's database";
    QTest::newRow("0 runs waiting: hidden") << 0 << ""
                                            << "";
    QTest::newRow("a failure notice takes its place") << 3 << "failure"
                                                      << "";
    QTest::newRow("an information takes its place") << 2 << "info"
                                                    << "";
}

void TestMainWindow::runsWaitingForTheLine()
{
    QFETCH(int, runs);
    QFETCH(QString, notice);
    QFETCH(QString, shown);
    Bench bench;
    bench.window->show();
    auto *waiting = bench.child<QLabel>("runsWaiting");
    bench.window->showRunsWaiting(5);
    bench.window->showRunsWaiting(runs);
    if (notice == "failure")
        bench.state().reportFailure(QStringLiteral("Lost the device on COM1"));
    if (notice == "info")
        bench.state().reportInfo(QStringLiteral("COM1 is back"));
    QCOMPARE(waiting->isVisible(), !shown.isEmpty());
    if (!shown.isEmpty())
        QCOMPARE(waiting->text(), shown);
}

void TestMainWindow::exitEndsProgram_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<bool>("portOpen");
    QTest::newRow("Exit, port open") << true << true;
    QTest::newRow("Exit, port closed") << true << false;
    QTest::newRow("window closed, port open") << false << true;
    QTest::newRow("window closed, port closed") << false << false;
}

void TestMainWindow::exitEndsProgram()
{
    QFETCH(bool, fromMenu);
    QFETCH(bool, portOpen);
    Bench bench(portOpen ? QSet<int>{1} : QSet<int>{});
    bench.window->show();
    QSignalSpy ended(bench.window.get(), &MainWindow::programEnded);
    bench.port.clearOperations();
    if (fromMenu)
        bench.child<QAction>("menEnde")->trigger();
    QVERIFY(bench.window->close()); // never refused; after Exit it runs nothing more
    QCOMPARE(ended.count(), 1);
    QVERIFY(!bench.port.isOpen());
    QCOMPARE(bench.port.operations(), portOpen ? QStringList{"close 1"} : QStringList());
}

QTEST_MAIN(TestMainWindow)
#include "main_window_test.moc"
