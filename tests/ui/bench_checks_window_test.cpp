// SPDX-License-Identifier: MIT
// The Bench checks window as a view of a bench core on the in-memory port,
// whose checks are fed by hand as the recorder feeds them from the port:
// recording a manometer point typed in the reference field (Enter or Record),
// the refusals and what stays for a retry, the over-pressure badge turning at
// once, "Clear", the set point's refusals, and the saved report's session
// fields; the saved report stored in the archive before the window says so,
// and the board's earlier runs beside its ID; and how the main window offers
// it in its File menu.
// fields; and how the main window offers it in its File menu. A test plan's
// run from the window, the board's answers given by hand: what starts it,
// Cancel, the main window's buttons held while it runs, and its verdict
// shown only once its files are written.
#include "bench_checks_window.h"
#ifdef TARNVIK_ARCHIVE
#include "archive_store.h"
#include "run_archiver.h"
#endif
#include "bench_core.h"
#include "command_frame.h"
#include "command_set.h"
#include "fitted_label.h"
#include "main_window.h"
#include "memory_serial_port.h"
#include "plan_page.h"
#include "port_map.h"
#include "trace_header.h"
#include "verdict_badge.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

namespace {

constexpr const char *kPort = "COM1";

// A started core on the in-memory port, COM1 open unless `portOpen` is false.
// Its checks are fed as the live session feeds them: a pressure line every
// 250 ms on COM1; the recorder takes its times from the same clock, so the
// events the core writes (kept in `written`) fall in at the time they are
// written.
class Feed
{
public:
    // With `settingsFile`, the core reads its [checks] and [reports] there.
    explicit Feed(bool portOpen = true, const QString &settingsFile = QString())
    {
        auto owned = std::make_unique<MemorySerialPort>();
        if (!portOpen)
            owned->setOnlyOpenable({});
        port = owned.get();
        core.recorder().setClock([this] { return m_ms; });
        QObject::connect(&core.recorder(), &TrafficRecorder::entryRecorded, &core,
                         [this](const TrafficEntry &entry) {
                             if (entry.kind.startsWith(QLatin1String("reference")) ||
                                 entry.kind == QLatin1String(ChecksEngine::kClearedEvent))
                                 written.append(entry.kind);
                         });
        if (settingsFile.isEmpty())
            core.start(std::move(owned), PortMap(), QString());
        else
            core.start(std::move(owned), settingsFile, QString());
    }
    // `count` pressure lines of `mmHg` from the board, 250 ms apart.
    void lines(int mmHg, int count)
    {
        for (int i = 0; i < count; ++i) {
            m_ms += 250;
            port->deliver('\x02' + QByteArray::number(mmHg).rightJustified(3, '0') + '\r');
            QCoreApplication::processEvents();
        }
    }
    // The frames written to the port, as command texts.
    QStringList frames() const
    {
        QStringList texts;
        for (const QByteArray &frame : port->written().split('\x03'))
            if (!frame.isEmpty())
                texts << QString::fromLatin1(CommandFrame::text(frame + '\x03'));
        return texts;
    }
    void sent(const char *frame)
    {
        core.checks().feed(
            {m_ms, kPort, QStringLiteral("sent"), QByteArray("\x02") + frame + '\x03'});
    }
    void pressures(const QList<int> &pattern, int count)
    {
        for (int i = 0; i < count; ++i) {
            m_ms += 250;
            const QByteArray line = QByteArray::number(pattern.at(i % pattern.size()));
            core.checks().feed({m_ms, kPort, QStringLiteral("received"),
                                '\x02' + line.rightJustified(3, '0') + '\r'});
        }
    }
    ChecksEngine &engine() { return core.checks(); }

    BenchCore core;
    MemorySerialPort *port = nullptr;
    QStringList written;

private:
    qint64 m_ms = 1000;
};

// Shows what makes the window's texts long: a leak test that lost a lot, two
// stretches above the limit, a refused reading, a set point refused and a
// report that could not be saved to a long path.
void showLongTexts(BenchChecksWindow &window, Feed &feed)
{
    feed.sent(CommandSet::kLeakTest);
    QList<int> falling;
    for (int i = 0; i < 300; ++i)
        falling << 250 - i / 2;
    feed.pressures(falling, falling.size());
    feed.sent(CommandSet::kBreak);
    for (int mmHg : {310, 320}) {
        feed.sent(CommandSet::kStart);
        feed.pressures({mmHg}, 2);
        feed.sent(CommandSet::kBreak);
    }
    window.findChild<QLineEdit *>("referenceReading")->setText("120");
    window.recordPoint();
    window.findChild<QLineEdit *>("setSystolic")->setText("80");
    window.findChild<QLineEdit *>("setDiastolic")->setText("120");
    window.setArchive({{}, [](const QString &board) {
                           return QStringLiteral("12th run of this board; last: FAIL on "
                                                 "2026-12-01, leak 7.2 mmHg/min, static error "
                                                 "-3.4 mmHg; board ") +
                                  board;
                       }});
    window.findChild<QLineEdit *>("boardId")->setText(QString(200, QLatin1Char('4')));
    QTemporaryDir dir;
    window.saveReportAndSay(
        dir.filePath("a-folder-that-is-not-there-and-whose-name-goes-on-and-on/board report"));
    window.refresh();
    QCoreApplication::processEvents();
}

// What a fitted label says in full: its tooltip when it is cut.
QString whole(const QLabel *label)
{
    return label->toolTip().isEmpty() ? label->text() : label->toolTip();
}

template <typename T> T *child(QWidget &window, const char *name)
{
    T *found = window.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

} // namespace

class TestBenchChecksWindow : public QObject
{
    Q_OBJECT

private slots:
    void recordPoint_data();
    void recordPoint();
    void setPointNeedsSystolicAboveDiastolic_data();
    void setPointNeedsSystolicAboveDiastolic();
    void overPressureShowsAtOnce_data();
    void overPressureShowsAtOnce();
    void clearStartsNewBoard();
    void fieldsFollowTheCore();
    void savedReportCarriesSession();
#ifdef TARNVIK_ARCHIVE
    void savedReportIsStored_data();
    void savedReportIsStored();
#endif
    void fileMenuOpensOneWindowBesideMain();
    void staysInsideTheScreen_data();
    void staysInsideTheScreen();
    void planRun_data();
    void planRun();
    void planFromFileTakesReadings();

public:
    // A screen smaller than a 1024x600 netbook leaves a window below its
    // panel and title bar, for the offscreen platform the tests run on.
    static void initMain();
};

void TestBenchChecksWindow::recordPoint_data()
{
    QTest::addColumn<bool>("manometer");
    QTest::addColumn<QList<int>>("board"); // pressure lines repeated over 3 s
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byButton");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QString>("event"); // written to the trace; "" none
    QTest::addColumn<int>("points");
    QTest::addColumn<QString>("note");       // part of the note shown
    QTest::addColumn<QString>("fieldAfter"); // the reference field afterwards
    QTest::addColumn<Verdict>("verdict");    // the static-pressure badge

    const QList<int> at120{120};
    QTest::newRow("steady board equal to the gauge, Enter records a pass")
        << true << at120 << "120" << false << true << "reference 120" << 1 << "PASS"
        << "" << Verdict::Pass;
    QTest::newRow("board 4 mmHg above the gauge, Record records a fail")
        << true << QList<int>{124} << "120" << true << true << "reference 120" << 1 << "FAIL"
        << "" << Verdict::Fail;
    QTest::newRow("board 3 mmHg off is on the limit and passes")
        << true << QList<int>{123} << "120" << false << true << "reference 120" << 1 << "+3.0"
        << "" << Verdict::Pass;
    QTest::newRow("decimal comma is the gauge's decimal point")
        << true << at120 << "119,5" << false << true << "reference 119.5" << 1 << "+0.5"
        << "" << Verdict::Pass;
    QTest::newRow("unsteady pressure is refused, the reading stays for a retry")
        << true << QList<int>{118, 122} << "120" << false << true << "reference 120" << 0
        << "hold the pressure steady"
        << "120" << Verdict::None;
    QTest::newRow("board not in Manometer mode is refused")
        << false << at120 << "120" << true << true << "reference 120" << 0
        << "not in Manometer mode"
        << "120" << Verdict::None;
    QTest::newRow("no open port records nothing")
        << true << at120 << "120" << false << false << "" << 0 << "No port is open"
        << "120" << Verdict::None;
    QTest::newRow("text that is no reading never reaches the trace")
        << true << at120 << "12o" << false << true << "" << 0 << "Type the gauge's reading"
        << "12o" << Verdict::None;
    QTest::newRow("reading of four digits never reaches the trace")
        << true << at120 << "1000" << false << true << "" << 0 << "Type the gauge's reading"
        << "1000" << Verdict::None;
    QTest::newRow("999.95 would be traced as 1000: refused")
        << true << at120 << "999.95" << false << true << "" << 0 << "Type the gauge's reading"
        << "999.95" << Verdict::None;
    QTest::newRow("999.94 is traced as 999.9")
        << true << at120 << "999.94" << false << true << "reference 999.9" << 1 << "FAIL"
        << "" << Verdict::Fail;
}

void TestBenchChecksWindow::recordPoint()
{
    QFETCH(bool, manometer);
    QFETCH(QList<int>, board);
    QFETCH(QString, typed);
    QFETCH(bool, byButton);
    QFETCH(bool, portOpen);

    Feed feed(portOpen);
    BenchChecksWindow window(feed.core);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (manometer)
        feed.sent(CommandSet::kManometer);
    feed.pressures(board, 12);

    auto *reference = child<QLineEdit>(window, "referenceReading");
    reference->setFocus();
    QTest::keyClicks(reference, typed);
    if (byButton)
        QTest::mouseClick(child<QPushButton>(window, "recordPoint"), Qt::LeftButton);
    else
        QTest::keyClick(reference, Qt::Key_Return);

    QFETCH(QString, event);
    QCOMPARE(feed.written, event.isEmpty() ? QStringList() : QStringList{event});
    QFETCH(int, points);
    QCOMPARE(child<QTableWidget>(window, "staticPoints")->rowCount(), points);
    QCOMPARE(feed.engine().report().staticPoints.size(), points);
    QFETCH(QString, note);
    QVERIFY2(child<QLabel>(window, "pointNote")->text().contains(note),
             qPrintable(child<QLabel>(window, "pointNote")->text()));
    QFETCH(QString, fieldAfter);
    QCOMPARE(reference->text(), fieldAfter);
    QFETCH(Verdict, verdict);
    QCOMPARE(child<VerdictBadge>(window, "staticVerdict")->verdict(), verdict);
}

void TestBenchChecksWindow::setPointNeedsSystolicAboveDiastolic_data()
{
    QTest::addColumn<QString>("systolic");
    QTest::addColumn<QString>("diastolic");
    QTest::addColumn<QString>("note");
    QTest::addColumn<int>("reference"); // the systolic set point the checks judge by; 0 none
    QTest::newRow("one above diastolic is a set point") << "81"
                                                        << "80"
                                                        << "" << 81;
    QTest::newRow("systolic equal to diastolic is refused")
        << "80"
        << "80"
        << "needs systolic above diastolic" << 0;
    QTest::newRow("systolic below diastolic is refused") << "80"
                                                         << "120"
                                                         << "needs systolic above diastolic" << 0;
    QTest::newRow("diastolic alone is refused") << ""
                                                << "80"
                                                << "needs systolic above diastolic" << 0;
    QTest::newRow("none: statistics only") << ""
                                           << ""
                                           << "none: statistics only" << 0;
    QTest::newRow("diastolic 0 is refused as tarnvik-report refuses it (was taken)")
        << "120"
        << "0"
        << "needs values above 0 of up to three digits" << 0;
}

void TestBenchChecksWindow::setPointNeedsSystolicAboveDiastolic()
{
    QFETCH(QString, systolic);
    QFETCH(QString, diastolic);
    Feed feed;
    BenchChecksWindow window(feed.core);
    child<QLineEdit>(window, "setSystolic")->setText("120");
    child<QLineEdit>(window, "setDiastolic")->setText("80");
    child<QLineEdit>(window, "setSystolic")->setText(systolic);
    child<QLineEdit>(window, "setDiastolic")->setText(diastolic);

    QFETCH(QString, note);
    // What the note says; how much of it shows depends on the width it is given.
    QCOMPARE(child<FittedLabel>(window, "setPointNote")->fullText(), note);
    QFETCH(int, reference);
    const std::optional<double> judgedBy = feed.engine().report().measurements.systolic.reference;
    QCOMPARE(judgedBy.value_or(0), double(reference));
}

void TestBenchChecksWindow::overPressureShowsAtOnce_data()
{
    QTest::addColumn<QList<int>>("pattern");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("said");

    QTest::newRow("301 mmHg in a measurement") << QList<int>{290, 301} << 2 << "301 mmHg";
    QTest::newRow("16 mmHg for 182 s in an adult measurement: inflation too long")
        << QList<int>{16} << 729
        << "Inflation TOO LONG: 180.3 s in a measurement (adult, limit 180 s)";
}

void TestBenchChecksWindow::overPressureShowsAtOnce()
{
    QFETCH(QList<int>, pattern);
    QFETCH(int, count);
    Feed feed;
    BenchChecksWindow window(feed.core);
    feed.sent(CommandSet::kStart);
    feed.pressures(pattern, count);
    // No waiting for the window's periodic refresh.
    QCOMPARE(child<VerdictBadge>(window, "overPressureVerdict")->verdict(), Verdict::Fail);
    QCOMPARE(child<VerdictBadge>(window, "overallVerdict")->verdict(), Verdict::Fail);
    QFETCH(QString, said);
    const QString text = child<QLabel>(window, "overPressureState")->toolTip() +
                         child<QLabel>(window, "overPressureState")->text();
    QVERIFY2(text.contains(said), qPrintable(text));
}

void TestBenchChecksWindow::clearStartsNewBoard()
{
    Feed feed;
    BenchChecksWindow window(feed.core);
    feed.sent(CommandSet::kManometer);
    feed.pressures({124}, 12);
    child<QLineEdit>(window, "boardId")->setText("4711");
    child<QLineEdit>(window, "operatorName")->setText("A. Berg");
    child<QLineEdit>(window, "referenceReading")->setText("120");
    window.recordPoint();
    QCOMPARE(child<VerdictBadge>(window, "overallVerdict")->verdict(), Verdict::Fail);

    QTest::mouseClick(child<QPushButton>(window, "clearChecks"), Qt::LeftButton);
    QCOMPARE(feed.written.constLast(), QString::fromLatin1(ChecksEngine::kClearedEvent));
    QCOMPARE(child<QTableWidget>(window, "staticPoints")->rowCount(), 0);
    QCOMPARE(child<VerdictBadge>(window, "overallVerdict")->verdict(), Verdict::None);
    QCOMPARE(child<QLineEdit>(window, "boardId")->text(), QString());
    QCOMPARE(child<QLineEdit>(window, "operatorName")->text(), QString("A. Berg"));
}

// What another driver of the core gives it shows in the window, and what is
// typed in the window reaches the core.
void TestBenchChecksWindow::fieldsFollowTheCore()
{
    Feed feed;
    BenchChecksWindow window(feed.core);
    feed.core.setSessionField(BenchCore::SessionField::Board, "4711");
    feed.core.setSetPoint(SetPoint{120, 80, std::nullopt, 72});
    QCOMPARE(child<QLineEdit>(window, "boardId")->text(), QString("4711"));
    QCOMPARE(child<QLineEdit>(window, "setSystolic")->text(), QString("120"));
    QCOMPARE(child<QLineEdit>(window, "setDiastolic")->text(), QString("80"));
    QCOMPARE(child<QLineEdit>(window, "setMean")->text(), QString());
    QCOMPARE(child<QLineEdit>(window, "setPulse")->text(), QString("72"));
    QCOMPARE(child<QLabel>(window, "setPointNote")->text(), QString());

    child<QLineEdit>(window, "setDiastolic")->setText("120");
    QCOMPARE(feed.core.setPoint().outcome, BenchInput::SetPointCheck::Outcome::Refused);
    QCOMPARE(child<QLineEdit>(window, "setDiastolic")->text(), QString("120"));
    child<QLineEdit>(window, "operatorName")->setText("A. Berg");
    QCOMPARE(feed.core.sessionField(BenchCore::SessionField::Operator), QString("A. Berg"));
    feed.core.clearChecks();
    QCOMPARE(child<QLineEdit>(window, "boardId")->text(), QString());
}

void TestBenchChecksWindow::savedReportCarriesSession()
{
    Feed feed;
    BenchChecksWindow window(feed.core);
    feed.sent(CommandSet::kStart);
    feed.pressures({150, 100}, 4);
    child<QLineEdit>(window, "boardId")->setText(" 4711 ");
    child<QLineEdit>(window, "operatorName")->setText("A. Berg");
    child<QLineEdit>(window, "referenceInstrument")->setText("DG-2 #118");
    child<QLineEdit>(window, "setSystolic")->setText("120");
    child<QLineEdit>(window, "setDiastolic")->setText("80");

    QTemporaryDir dir;
    Failure error;
    QVERIFY2(window.saveReport(dir.filePath("board.pdf"), &error), qPrintable(error.text));
    QVERIFY(QFile::exists(dir.filePath("board.pdf")));
    QFile json(dir.filePath("board.json"));
    QVERIFY(json.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(json.readAll()).object();
    QCOMPARE(report.value("board").toString(), QString("4711"));
    QCOMPARE(report.value("operator").toString(), QString("A. Berg"));
    QCOMPARE(report.value("reference_instrument").toString(), QString("DG-2 #118"));
    QCOMPARE(report.value("device").toString(), QString("memory port 1"));
    QCOMPARE(report.value("started").toString(), TraceHeader::isoWithOffset(feed.core.started()));
    QCOMPARE(
        report.value("measurements").toObject().value("systolic").toObject().value("reference"),
        QJsonValue(120));
}

#ifdef TARNVIK_ARCHIVE
void TestBenchChecksWindow::savedReportIsStored_data()
{
    QTest::addColumn<QString>("board");
    QTest::addColumn<bool>("archiveIsFolder"); // a folder where the archive's file should be
    QTest::addColumn<QString>("note");         // what the save note says
    QTest::addColumn<QString>("history");      // the board's line after the save
    QTest::newRow("stored: saved said, the run counted at once")
        << "4711" << false << "Saved "
        << "2nd run of this board; last: INCOMPLETE on ";
    QTest::newRow("archive a folder: written, said not stored")
        << "4711" << true << "but the run is not stored in the archive: cannot open the archive"
        << "";
    QTest::newRow("no board ID: written, said not stored") << "" << false << "it names no board"
                                                           << "";
}

// A free check's saved report goes into the archive before the window says
// it was saved; the board ID typed shows the board's runs from the archive.
void TestBenchChecksWindow::savedReportIsStored()
{
    QFETCH(QString, board);
    QFETCH(bool, archiveIsFolder);
    QFETCH(QString, note);
    QFETCH(QString, history);
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.sqlite");
    QVERIFY(!archiveIsFolder || QDir().mkdir(path));
    ArchiveStore store(ArchiveLocation::sqliteFile(path), "bench-t");
    QCOMPARE(store.open(), !archiveIsFolder);
    RunArchiver archiver(store);
    QSignalSpy stored(&archiver, &RunArchiver::stored);
    Feed feed;
    BenchChecksWindow window(feed.core);
    window.setArchive(
        {[&](const CheckReport &report, const QString &pdf, const QString &json, Failure *why) {
             return archiver.storeFreeCheck(report, pdf, json, why);
         },
         [&](const QString &id) {
             return archiver.boardHistory(id);
         }});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    child<QLineEdit>(window, "boardId")->setText(board);
    const QLabel *line = child<QLabel>(window, "boardHistory");
    QCOMPARE(whole(line), board.isEmpty() || archiveIsFolder ? "" : "1st run of this board");

    window.saveReportAndSay(dir.filePath("board.pdf"));
    QVERIFY(QFile::exists(dir.filePath("board.pdf")) && QFile::exists(dir.filePath("board.json")));
    const QString said = whole(child<QLabel>(window, "saveNote"));
    QVERIFY2(said.contains(note), qPrintable(said));
    QCOMPARE(stored.count(), history.isEmpty() ? 0 : 1);
    QVERIFY2(history.isEmpty() ? whole(line).isEmpty() : whole(line).startsWith(history),
             qPrintable(whole(line)));
}
#endif

void TestBenchChecksWindow::fileMenuOpensOneWindowBesideMain()
{
    Feed feed;
    MainWindow main(feed.core);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    const QList<QAction *> file = main.findChild<QMenu *>("menDatei")->actions();
    QCOMPARE(file.size(), 3);
    QCOMPARE(file.at(0)->text(), QString("&Bench checks\u2026"));
    QCOMPARE(file.at(0)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
    QVERIFY(file.at(1)->isSeparator());
    QCOMPARE(file.at(2)->objectName(), QString("menEnde"));

    QVERIFY(!main.benchChecksWindow());
    file.at(0)->trigger();
    QPointer<BenchChecksWindow> checks = main.benchChecksWindow();
    QVERIFY(checks);
    QVERIFY(checks->isVisible());
    QCOMPARE(checks->windowTitle(), QString("Bench checks"));
    QVERIFY(!checks->isModal());
    QVERIFY(checks->isWindow());
    QVERIFY(checks->x() >= main.frameGeometry().right() ||
            checks->frameGeometry().right() >= main.screen()->availableGeometry().right() - 1);

    checks->close();
    file.at(0)->trigger(); // a second choice brings back the same window
    QCOMPARE(main.benchChecksWindow(), checks.data());
    QVERIFY(checks->isVisible());

    main.close();
    QVERIFY(checks.isNull() || !checks->isVisible());
}

void TestBenchChecksWindow::initMain()
{
    if (qgetenv("QT_QPA_PLATFORM") != "offscreen")
        return;
    static QTemporaryFile config;
    if (!config.open())
        return;
    config.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 800,
                                  "height": 540, "logicalDpi": 96}]})");
    config.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
}

void TestBenchChecksWindow::staysInsideTheScreen_data()
{
    QTest::addColumn<bool>("mainAtRight"); // the main window at the screen's right edge, else left
    QTest::addColumn<bool>("longTexts");   // a leak test, over-pressure and long notes shown
    QTest::newRow("beside a main window at the left") << false << false;
    QTest::newRow("beside a main window at the right edge") << true << false;
    QTest::newRow("long leak test, over-pressure and notes, wider no more") << false << true;
}

void TestBenchChecksWindow::staysInsideTheScreen()
{
    QFETCH(bool, mainAtRight);
    QFETCH(bool, longTexts);
    QWidget main;
    main.resize(300, 400);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    const QRect room = main.screen()->availableGeometry();
    main.move(mainAtRight ? room.right() - main.frameGeometry().width() + 1 : room.left(),
              room.top());

    Feed feed;
    BenchChecksWindow window(feed.core);
    window.placeBeside(main);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize placed = window.size();
    if (longTexts)
        showLongTexts(window, feed);

    QVERIFY2(room.contains(window.frameGeometry()),
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(window.frameGeometry().x())
                            .arg(window.frameGeometry().y())
                            .arg(window.frameGeometry().width())
                            .arg(window.frameGeometry().height())));
    QCOMPARE(window.size(), placed);
    // All of it in view, nothing scrolled away, on a screen this size.
    for (const char *name :
         {"saveReport", "clearChecks", "leakVerdict", "staticVerdict", "overPressureVerdict",
          "measurementVerdict", "overallVerdict", "statistics", "staticPoints", "pointNote",
          "saveNote", "boardHistory"}) {
        const QWidget *part = child<QWidget>(window, name);
        QCOMPARE(part->visibleRegion().boundingRect(), part->rect());
    }
    // And the test plan page's, in the place of the measurements.
    auto *page = child<PlanPage>(window, "planPage");
    page->chooseStandardPlan();
    child<QTabWidget>(window, "checkTabs")->setCurrentWidget(page);
    QCoreApplication::processEvents();
    for (const char *name : {"planChoice", "startPlan", "cancelPlan", "runVerdict", "planSteps",
                             "planPrompt", "planProgress", "planSecondsLeft", "planNote"}) {
        const QWidget *part = child<QWidget>(window, name);
        QVERIFY2(part->visibleRegion().boundingRect() == part->rect(), name);
    }
    QCOMPARE(window.size(), placed);
    if (longTexts) { // a note cut to its lines is whole in its tooltip
        const QLabel *note = child<QLabel>(window, "saveNote");
        QVERIFY2(note->text().endsWith(QChar(0x2026)), qPrintable(note->text()));
        QVERIFY2(note->toolTip().startsWith("The report was not saved: ") &&
                     note->toolTip().contains("/board report.pdf"),
                 qPrintable(note->toolTip()));
    }
}

void TestBenchChecksWindow::planRun_data()
{
    QTest::addColumn<bool>("planChosen"); // the standard plan, else a free check
    QTest::addColumn<bool>("byEnter");    // Enter in the board ID, else Start
    QTest::addColumn<QString>("failure"); // why the saver cannot write; empty: it writes
    QTest::addColumn<Verdict>("verdict"); // shown at the end
    QTest::addColumn<int>("deleted");     // in the run: 1 the window, 2 the main window; 0 Cancel

    QTest::newRow("Enter in the board ID starts the chosen plan; Cancel: INCOMPLETE, saved")
        << true << true << "" << Verdict::Incomplete << 0;
    QTest::newRow("Start starts it; files not written: no verdict")
        << true << false << "the disk is full" << Verdict::None << 0;
    QTest::newRow("window deleted in a run: the main window's buttons back (crashed)")
        << true << true << "" << Verdict::None << 1;
    QTest::newRow("main window deleted in a run, its Bench checks window with it (crashed)")
        << true << true << "" << Verdict::None << 2;
    QTest::newRow("Enter without a plan chosen starts nothing")
        << false << true << "" << Verdict::None << 0;
}

// The main window's buttons that would disturb a run, all but Break.
static QStringList enabledButtons(QWidget &main)
{
    QStringList names;
    for (const char *name : {"StartStop", "SetCycle", "Reset", "Patientsel", "PumpUp", "ManoMode",
                             "LeakTest", "Break"})
        if (child<QPushButton>(main, name)->isEnabled())
            names << QLatin1String(name);
    return names;
}

// A settings file in `dir` that names the reports folder "runs" beside it.
static QString reportsSettings(const QTemporaryDir &dir)
{
    QFile settings(dir.filePath("tarnvik.ini"));
    if (settings.open(QIODevice::WriteOnly))
        settings.write("[reports]\nfolder=runs\n");
    return settings.fileName();
}

// A core on reportsSettings(), a main window and its Bench checks window,
// whose plan runs the saver here writes (with a failure, does not), noting
// the run's verdict shown while it saves.
struct PlanBench
{
    explicit PlanBench(const QString &failure)
        : feed(true, reportsSettings(dir))
        , main(std::make_unique<MainWindow>(feed.core))
    {
        main->setRunSaver([this, failure](const QString &folder, const CheckReport &report,
                                          const QByteArray &trace, const QDateTime &started) {
            whileSaving = child<VerdictBadge>(*window, "runVerdict")->verdict();
            if (!failure.isEmpty())
                return PlanRunner::Files{{}, {}, {}, {Failure::Kind::Io, failure}};
            ++saved;
            return PlanPage::plainSaver()(folder, report, trace, started);
        });
        // The board's history as an archive would tell it: the runs saved so far.
        main->setArchive({{}, [this](const QString &) {
                              return QStringLiteral("%1 run(s) saved").arg(saved);
                          }});
        main->showBenchChecksWindow();
        window = main->benchChecksWindow();
        page = child<PlanPage>(*window, "planPage");
    }

    QTemporaryDir dir;
    Feed feed;
    std::unique_ptr<MainWindow> main;
    BenchChecksWindow *window = nullptr;
    PlanPage *page = nullptr;
    std::optional<Verdict> whileSaving;
    int saved = 0;
};

// The files of a run cancelled on board "SN 0412", read back.
static void checkSavedRun(const PlanRunner::Outcome &outcome, const QString &folder)
{
    QCOMPARE(QFileInfo(outcome.files.json).absolutePath(), folder);
    QFile json(outcome.files.json);
    QVERIFY(json.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(json.readAll()).object();
    QCOMPARE(report.value("board").toString(), QString("SN 0412"));
    QCOMPARE(report.value("verdict").toString(), QString("incomplete"));
    QVERIFY(QFileInfo(outcome.files.trace).size() > 0);
    QVERIFY(QFileInfo(outcome.files.pdf).size() > 0);
}

void TestBenchChecksWindow::planRun()
{
    QFETCH(bool, planChosen);
    QFETCH(bool, byEnter);
    QFETCH(QString, failure);
    PlanBench bench(failure);
    BenchChecksWindow &window = *bench.window;
    Feed &feed = bench.feed;
    const QStringList all = enabledButtons(*bench.main);
    QCOMPARE(all.size(), 8);
    if (planChosen)
        bench.page->chooseStandardPlan();
    QSignalSpy finished(bench.page, &PlanPage::runFinished);
    feed.port->clearWritten();
    auto *board = child<QLineEdit>(window, "boardId");
    QTest::keyClicks(board, "SN 0412");
    if (byEnter)
        QTest::keyClick(board, Qt::Key_Return);
    else
        QTest::mouseClick(child<QPushButton>(window, "startPlan"), Qt::LeftButton);
    if (!planChosen) {
        QCOMPARE(feed.frames(), QStringList());
        QVERIFY(!bench.page->runner().isRunning());
        return;
    }

    QCOMPARE(feed.frames(), QStringList{CommandSet::kReadStatus});
    feed.port->deliver("\x02"
                       "000 I A 160 00\r");
    QTRY_COMPARE(feed.frames(),
                 (QStringList{CommandSet::kReadStatus, CommandSet::kAdult, CommandSet::kLeakTest}));
    QCOMPARE(enabledButtons(*bench.main), QStringList{"Break"});
    QVERIFY(!child<QPushButton>(window, "clearChecks")->isEnabled());
    QCOMPARE(child<VerdictBadge>(window, "runVerdict")->verdict(), Verdict::None);
    QFETCH(int, deleted);
    if (deleted == 1) {
        delete &window;
        QCOMPARE(enabledButtons(*bench.main), all);
    } else if (deleted == 2) {
        bench.main.reset();
    }
    if (deleted) {
        QVERIFY(!feed.core.isPlanRunning());
        QVERIFY(!feed.core.panel().state().isRunDriven());
        return;
    }

    QTest::mouseClick(child<QPushButton>(window, "cancelPlan"), Qt::LeftButton);
    QCOMPARE(feed.frames().constLast(), QString(CommandSet::kBreak)); // at once
    QCOMPARE(finished.count(), 1);
    QCOMPARE(bench.whileSaving, Verdict::None);
    QCOMPARE(enabledButtons(*bench.main), all);
    QVERIFY(child<QPushButton>(window, "clearChecks")->isEnabled());
    QFETCH(Verdict, verdict);
    QCOMPARE(child<VerdictBadge>(window, "runVerdict")->verdict(), verdict);
    QCOMPARE(child<VerdictBadge>(window, "overallVerdict")->verdict(), verdict);
    const auto outcome = finished.at(0).at(0).value<PlanRunner::Outcome>();
    QCOMPARE(outcome.end, PlanRunner::End::Cancelled);
    const QString note = child<FittedLabel>(window, "planNote")->fullText();
    if (!failure.isEmpty()) {
        QVERIFY2(note.contains("not saved: " + failure), qPrintable(note));
        return;
    }
    QVERIFY2(note.contains(QFileInfo(outcome.files.pdf).fileName()), qPrintable(note));
    checkSavedRun(outcome, bench.dir.filePath("runs"));
    // The board's earlier runs are asked again once the run is stored.
    QCOMPARE(whole(child<QLabel>(window, "boardHistory")), QString("1 run(s) saved"));
}

// A plan file refused names its key and cannot start; a good one runs, and
// the gauge's reading goes to the run through the reference field only once
// the run asks for it.
void TestBenchChecksWindow::planFromFileTakesReadings()
{
    QTemporaryDir dir;
    const auto file = [&dir](const char *name, const QByteArray &text) {
        QFile plan(dir.filePath(name));
        plan.open(QIODevice::WriteOnly);
        plan.write(text);
        return plan.fileName();
    };
    const QByteArray head = R"({"plan": "P", "version": "1", "patient": "adult", "limits": {},)";
    const QString refused =
        file("refused.json", head + R"("steps": [{"static": {"points": [150]}}]})");
    const QString good =
        file("good.json", head + R"("steps": [{"static": {"points_mmHg": [150]}}]})");
    Feed feed(true, reportsSettings(dir));
    BenchChecksWindow window(feed.core);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *page = child<PlanPage>(window, "planPage");
    auto *start = child<QPushButton>(window, "startPlan");
    const auto note = [&] {
        return child<FittedLabel>(window, "planNote")->fullText();
    };

    QVERIFY(!page->choosePlanFile(refused));
    QVERIFY2(note().contains("steps[0].static.points: unknown key"), qPrintable(note()));
    QVERIFY(!start->isEnabled());
    feed.port->clearWritten();
    QTest::keyClick(child<QLineEdit>(window, "boardId"), Qt::Key_Return); // says so again
    QCOMPARE(feed.frames(), QStringList());
    QVERIFY2(note().startsWith("This plan cannot be run: "), qPrintable(note()));
    QVERIFY(page->choosePlanFile(good));
    QVERIFY(start->isEnabled());

    QSignalSpy finished(page, &PlanPage::runFinished);
    feed.port->clearWritten();
    child<QLineEdit>(window, "boardId")->setText("SN-7");
    QTest::mouseClick(start, Qt::LeftButton);
    feed.port->deliver("\x02"
                       "000 I A 160 00\r");
    QTRY_COMPARE(feed.frames(), (QStringList{CommandSet::kReadStatus, CommandSet::kAdult,
                                             CommandSet::kManometer}));
    auto *reference = child<QLineEdit>(window, "referenceReading");
    QTest::keyClicks(reference, "150");
    QTest::keyClick(reference, Qt::Key_Return);                       // no reading asked for yet
    QCOMPARE(feed.written, QStringList{ChecksEngine::kClearedEvent}); // by the run's start
    const QString refusal = child<FittedLabel>(window, "pointNote")->fullText();
    QVERIFY2(refusal.contains("once the board holds the point"), qPrintable(refusal));

    feed.lines(150, 12);
    QTRY_VERIFY(page->runner().pointAsked().has_value());
    QCOMPARE(child<FittedLabel>(window, "pointNote")->fullText(),
             QString("Type the gauge's reading at 150 mmHg and press Enter."));
    reference->setText("151");
    QTest::keyClick(reference, Qt::Key_Return);
    QCOMPARE(feed.written.size(), 2);
    QTRY_COMPARE(feed.frames().constLast(), QString(CommandSet::kBreak));
    feed.lines(0, 1);
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(child<VerdictBadge>(window, "runVerdict")->verdict(), Verdict::Pass);
    QCOMPARE(feed.engine().report().staticPoints.at(0).referenceMmHg, 151.0);
}

QTEST_MAIN(TestBenchChecksWindow)
#include "bench_checks_window_test.moc"
