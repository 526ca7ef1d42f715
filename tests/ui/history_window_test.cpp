// SPDX-License-Identifier: MIT
// The History window on a SQLite archive of five runs around two midnights
// (this computer's days): each condition of its fields and the days' bounds,
// the yields per day and per plan, the chart's points and limits, a run's PDF
// written to a private new file whose text reads back (pdftotext), never
// through a link planted at its name; a line database that cannot be reached
// named in the window without a modal dialog; and File › History… in the
// main window.
#include "archive_settings.h"
#include "archive_store.h"
#include "archive_test_data.h"
#include "bench_core.h"
#include "figure_chart.h"
#include "history_source.h"
#include "history_window.h"
#include "main_window.h"
#include "memory_serial_port.h"
#include "port_map.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace archive_test;

namespace {

// A run at this computer's local time on a day of December 2026.
RunRecord localRun(const QString &board, const QString &verdict, int day, QTime time,
                   std::optional<double> leak = std::nullopt, const QList<double> &errors = {})
{
    return run(board, verdict, QDateTime(QDate(2026, 12, day), time), leak, errors);
}

void withLimits(RunRecord &record, double leak, double error)
{
    QJsonObject report = QJsonDocument::fromJson(record.reportJson).object();
    report.insert("limits", QJsonObject{{"leak_mmHg_per_min", leak}, {"static_mmHg", error}});
    record.reportJson = QJsonDocument(report).toJson(QJsonDocument::Compact);
}

QString pdfText(const QString &file)
{
    QProcess pdftotext;
    pdftotext.start("pdftotext", {file, "-"});
    if (!pdftotext.waitForFinished(10000))
        return "pdftotext did not run";
    return QString::fromUtf8(pdftotext.readAllStandardOutput()).simplified();
}

template <typename T> T *child(QWidget &window, const char *name)
{
    T *found = window.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

} // namespace

class HistoryWindowTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_ids; // the runs below, in this order
    QString m_settingsFile;

    ArchiveSettings settingsWith(const QString &name, const QString &database)
    {
        const QString file = m_dir.filePath(name);
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(file));
        out.write("[archive]\ndatabase=" + database.toUtf8() + "\nstation=bench-1\n");
        out.close();
        return ArchiveSettings::load(file);
    }
    // The runs the window lists, by their number above, as listed (newest first).
    QStringList listed(HistoryWindow &window)
    {
        auto *table = child<QTableWidget>(window, "historyRuns");
        QStringList numbers;
        for (int row = 0; row < table->rowCount(); ++row)
            numbers << QString::number(
                m_ids.indexOf(table->item(row, 0)->data(Qt::UserRole).toString()) + 1);
        return numbers;
    }
    static bool searched(HistoryWindow &window)
    {
        QSignalSpy shown(&window, &HistoryWindow::searchShown);
        window.search();
        return !shown.isEmpty() || shown.wait(10000); // a refusal is shown at once
    }
    static QStringList tableText(QTableWidget *table)
    {
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < table->columnCount(); ++column)
                cells << table->item(row, column)->text();
            rows << cells.join(" | ");
        }
        return rows;
    }
    // Opens the PDF of the run listed in `row`; the file handed on, or why not.
    static QString openedPdf(HistoryWindow &window, int row)
    {
        QString opened;
        window.setPdfOpener([&opened](const QString &file) {
            opened = file;
            return true;
        });
        child<QTableWidget>(window, "historyRuns")->selectRow(row);
        QSignalSpy shown(&window, &HistoryWindow::pdfShown);
        window.openSelectedPdf();
        if (!shown.wait(10000))
            return "no answer";
        return opened.isEmpty() ? child<QLabel>(window, "historyPdfNote")->text() : opened;
    }

private slots:
    void initTestCase();
    void conditions_data();
    void conditions();
    void rangeThatEndsBeforeItStartsIsRefused();
    void yieldsAndChart();
    void pdfIsWrittenPrivatelyAndReadsBack();
    void unreachableLineDatabaseIsNamedInTheWindow();
    void fileMenuOpensHistory();
};

void HistoryWindowTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The bench's default archive lives in the data folder: this test's own.
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
    const ArchiveLocation location = ArchiveLocation::sqliteFile(m_dir.filePath("runs.sqlite"));
    ArchiveStore bench1(location, "bench-1");
    ArchiveStore bench2(location, "bench-2");
    QVERIFY(bench1.open() && bench2.open());
    QList<RunRecord> runs = {
        localRun("B-1", "pass", 1, QTime(0, 0, 0), 2.0, {1.0}),
        localRun("B-1", "fail", 1, QTime(23, 59, 59), 7.25, {-3.1, 2.0}),
        localRun("B-2", "pass", 2, QTime(0, 0, 0), 1.5),
        localRun("B-3", "incomplete", 2, QTime(12, 0)),
        run("B-1", "pass", QDateTime(QDate(2026, 11, 30), QTime(23, 59, 59)), 4.0, {0.5})};
    runs[2].planName.clear(); // a free check, at the second bench
    runs[2].planVersion.clear();
    runs[2].planSha256.clear();
    runs[3].pdf.clear();
    withLimits(runs[0], 6.0, 3.0);
    withLimits(runs[1], 6.0, 3.0);
    for (int i = 0; i < runs.size(); ++i) {
        m_ids << runs.at(i).id.toString(QUuid::WithoutBraces);
        ArchiveStore &store = i == 2 ? bench2 : bench1;
        QVERIFY2(store.store(runs.at(i)), qPrintable(store.failure().text));
    }
    settingsWith("bench.conf", "sqlite:" + location.path());
    m_settingsFile = m_dir.filePath("bench.conf");
}

void HistoryWindowTest::conditions_data()
{
    QTest::addColumn<QString>("board");
    QTest::addColumn<QString>("station");
    QTest::addColumn<QString>("plan");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QStringList>("listed"); // newest first

    const QDate none;
    const QDate nov30(2026, 11, 30);
    const QDate dec1(2026, 12, 1);
    QTest::newRow("no condition") << ""
                                  << ""
                                  << ""
                                  << "" << none << none << QStringList{"4", "3", "2", "1", "5"};
    QTest::newRow("board") << "B-1"
                           << ""
                           << ""
                           << "" << none << none << QStringList{"2", "1", "5"};
    QTest::newRow("board, spaces around it dropped") << " B-2 "
                                                     << ""
                                                     << ""
                                                     << "" << none << none << QStringList{"3"};
    QTest::newRow("station") << ""
                             << "bench-2"
                             << ""
                             << "" << none << none << QStringList{"3"};
    QTest::newRow("plan: free checks") << ""
                                       << ""
                                       << "free check"
                                       << "" << none << none << QStringList{"3"};
    QTest::newRow("plan by name") << ""
                                  << ""
                                  << "Standard NIBP bench check"
                                  << "" << none << none << QStringList{"4", "2", "1", "5"};
    QTest::newRow("verdict fail") << ""
                                  << ""
                                  << ""
                                  << "fail" << none << none << QStringList{"2"};
    QTest::newRow("verdict incomplete") << ""
                                        << ""
                                        << ""
                                        << "incomplete" << none << none << QStringList{"4"};
    QTest::newRow("from a day: its 00:00:00 in, the day before's 23:59:59 out")
        << ""
        << ""
        << ""
        << "" << dec1 << none << QStringList{"4", "3", "2", "1"};
    QTest::newRow("to a day: its 23:59:59 in, the next day's 00:00:00 out")
        << ""
        << ""
        << ""
        << "" << none << dec1 << QStringList{"2", "1", "5"};
    QTest::newRow("from and to one day: that whole day only")
        << ""
        << ""
        << ""
        << "" << dec1 << dec1 << QStringList{"2", "1"};
    QTest::newRow("from and to the day before") << ""
                                                << ""
                                                << ""
                                                << "" << nov30 << nov30 << QStringList{"5"};
    QTest::newRow("board and verdict") << "B-1"
                                       << ""
                                       << ""
                                       << "pass" << none << none << QStringList{"1", "5"};
    QTest::newRow("a board with no runs") << "B-9"
                                          << ""
                                          << ""
                                          << "" << none << none << QStringList{};
}

void HistoryWindowTest::conditions()
{
    QFETCH(QString, board);
    QFETCH(QString, station);
    QFETCH(QString, plan);
    QFETCH(QString, verdict);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QStringList, listed);

    HistoryWindow window(ArchiveSettings::load(m_settingsFile));
    QCOMPARE(window.archive(), HistoryWindow::Archive::Bench);
    child<QLineEdit>(window, "historyBoard")->setText(board);
    child<QLineEdit>(window, "historyStation")->setText(station);
    child<QLineEdit>(window, "historyPlan")->setText(plan);
    auto *verdicts = child<QComboBox>(window, "historyVerdict");
    verdicts->setCurrentIndex(verdicts->findData(verdict));
    child<QCheckBox>(window, "historyFromGiven")->setChecked(from.isValid());
    child<QCheckBox>(window, "historyToGiven")->setChecked(to.isValid());
    if (from.isValid())
        child<QDateEdit>(window, "historyFrom")->setDate(from);
    if (to.isValid())
        child<QDateEdit>(window, "historyTo")->setDate(to);
    QVERIFY(searched(window));
    QCOMPARE(this->listed(window), listed);
    const QString status = child<QLabel>(window, "historyStatus")->text();
    QCOMPARE(status, listed.isEmpty() ? QString("No run found.")
                                      : QString("%1 run(s) found.").arg(listed.size()));
}

void HistoryWindowTest::rangeThatEndsBeforeItStartsIsRefused()
{
    HistoryWindow window(ArchiveSettings::load(m_settingsFile));
    QVERIFY(searched(window));
    QCOMPARE(listed(window).size(), 5);
    child<QCheckBox>(window, "historyFromGiven")->setChecked(true);
    child<QCheckBox>(window, "historyToGiven")->setChecked(true);
    child<QDateEdit>(window, "historyFrom")->setDate(QDate(2026, 12, 2));
    child<QDateEdit>(window, "historyTo")->setDate(QDate(2026, 12, 1));
    QVERIFY(searched(window));
    QVERIFY(child<QLabel>(window, "historyStatus")->text().startsWith("The range ends before"));
}

void HistoryWindowTest::yieldsAndChart()
{
    HistoryWindow window(ArchiveSettings::load(m_settingsFile));
    QVERIFY(searched(window));
    QCOMPARE(tableText(child<QTableWidget>(window, "historyDays")),
             (QStringList{"2026-11-30 | 1 / 1 | 100.0 %", "2026-12-01 | 1 / 2 | 50.0 %",
                          "2026-12-02 | 1 / 2 | 50.0 %"}));
    QCOMPARE(tableText(child<QTableWidget>(window, "historyPlans")),
             (QStringList{"Standard NIBP bench check 1.0 | 2 / 4 | 50.0 %",
                          "free check | 1 / 1 | 100.0 %"}));
    auto *chart = child<FigureChart>(window, "historyChart");
    QCOMPARE(chart->pointCount(FigureChart::Series::LeakRate), 4);
    QCOMPARE(chart->pointCount(FigureChart::Series::StaticError), 3);
    QCOMPARE(chart->limitCount(FigureChart::Series::LeakRate), 2);
    QCOMPARE(chart->limitCount(FigureChart::Series::StaticError), 2);
    chart->resize(600, 300);
    QVERIFY(!chart->grab().isNull()); // draws with limits, a point beyond them and a sign

    child<QLineEdit>(window, "historyBoard")->setText("B-3");
    QVERIFY(searched(window)); // the incomplete run has no figure
    QCOMPARE(chart->pointCount(FigureChart::Series::LeakRate), 0);
    QCOMPARE(tableText(child<QTableWidget>(window, "historyDays")),
             QStringList{"2026-12-02 | 0 / 1 | 0.0 %"});
}

void HistoryWindowTest::pdfIsWrittenPrivatelyAndReadsBack()
{
    HistoryWindow window(ArchiveSettings::load(m_settingsFile));
    QVERIFY(searched(window));
    QCOMPARE(listed(window).at(2), QString("2"));
    const QString first = openedPdf(window, 2);
    QVERIFY2(QFileInfo(first).isFile(), qPrintable(first));
    QCOMPARE(pdfText(first), QString("Board B-1 FAIL"));
    QCOMPARE(QFileInfo(first).permissions() & 0x0077, QFileDevice::Permissions());
    QCOMPARE(QFileInfo(QFileInfo(first).path()).permissions() & 0x0077, QFileDevice::Permissions());

    // A link planted at the next name leads nowhere: the PDF goes to a new name.
    const QString victim = m_dir.filePath("victim");
    QFile planted(victim);
    QVERIFY(planted.open(QIODevice::WriteOnly) && planted.write("keep") == 4);
    planted.close();
    const QString next = first.chopped(4) + "-2.pdf";
    QVERIFY(QFile::link(victim, next));
    const QString second = openedPdf(window, 2);
    QCOMPARE(second, first.chopped(4) + "-3.pdf");
    QCOMPARE(pdfText(second), QString("Board B-1 FAIL"));
    QVERIFY(planted.open(QIODevice::ReadOnly));
    QCOMPARE(planted.readAll(), QByteArray("keep"));
    QVERIFY(QFileInfo(next).isSymLink());

    QCOMPARE(listed(window).at(0), QString("4"));
    QCOMPARE(openedPdf(window, 0), QString("The archive holds no PDF of this run."));
}

void HistoryWindowTest::unreachableLineDatabaseIsNamedInTheWindow()
{
    const QString socketFolder = m_dir.filePath("no-server");
    HistoryWindow window(
        settingsWith("line.conf", "postgresql://bench@/tarnvik?host=" + socketFolder));
    QCOMPARE(window.archive(), HistoryWindow::Archive::Line);
    QSignalSpy shown(&window, &HistoryWindow::searchShown);
    window.show(); // the first showing searches
    QCOMPARE(child<QLabel>(window, "historyStatus")->text(), QString("searching\u2026"));
    QVERIFY(shown.wait(20000));
    const QString status = child<QLabel>(window, "historyStatus")->text();
    QVERIFY2(status.startsWith("Cannot search: postgresql://bench@/tarnvik") &&
                 status.contains("cannot be reached") && status.contains(socketFolder) &&
                 status.contains("No such file or directory"),
             qPrintable(status));
    QVERIFY(!QApplication::activeModalWidget());

    // This bench's own archive can still be searched.
    window.chooseArchive(HistoryWindow::Archive::Bench);
    QVERIFY(searched(window));
    QCOMPARE(child<QLabel>(window, "historyStatus")->text(), QString("No run found."));
}

void HistoryWindowTest::fileMenuOpensHistory()
{
    BenchCore core;
    core.start(std::make_unique<MemorySerialPort>(), PortMap(), QString());
    MainWindow main(core);
    const auto entries = [&main] {
        QStringList texts;
        for (const QAction *action : main.findChild<QMenu *>("menDatei")->actions())
            texts << (action->isSeparator() ? QString("-") : action->text());
        return texts;
    };
    QCOMPARE(entries(), (QStringList{"&Bench checks\u2026", "-", "&Exit"}));
    main.offerHistory(ArchiveSettings::load(m_settingsFile));
    QCOMPARE(entries(), (QStringList{"&Bench checks\u2026", "&History\u2026", "-", "&Exit"}));
    main.findChild<QAction *>("historyAction")->trigger();
    QPointer<QWidget> history = main.historyWindow();
    QVERIFY(history && history->isVisible() && history->isWindow());
    QVERIFY(QTest::qWaitFor(
        [&] { return listed(*qobject_cast<HistoryWindow *>(history.data())).size() == 5; }, 10000));
    main.findChild<QAction *>("historyAction")->trigger();
    QCOMPARE(main.historyWindow(), history.data());
}

QTEST_MAIN(HistoryWindowTest)
#include "history_window_test.moc"
