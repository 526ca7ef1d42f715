// SPDX-License-Identifier: MIT
// The archive's history on a SQLite archive of five runs: the filters and
// their boundaries, a board's earlier runs in a sentence, yield per day and
// per plan, and the figures over time. The same SQL runs on PostgreSQL
// (archive_postgres_test lists through tarnvik-archive there).
#include "archive_query.h"
#include "archive_store.h"
#include "archive_test_data.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace archive_test;

class ArchiveQueryTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ArchiveConnection> m_connection;
    QStringList m_ids; // the runs below, in this order

    QStringList listed(const RunFilter &filter)
    {
        QList<RunSummary> runs;
        Failure why;
        if (!ArchiveQuery(*m_connection).runs(filter, runs, &why))
            return {why.text};
        QStringList numbers;
        for (const RunSummary &run : runs)
            numbers << QString::number(m_ids.indexOf(run.uuid) + 1);
        return numbers;
    }

private slots:
    void initTestCase();
    void filters_data();
    void filters();
    void boardHistory_data();
    void boardHistory();
    void ordinal_data();
    void ordinal();
    void yieldAndFigures();
};

void ArchiveQueryTest::initTestCase()
{
    const ArchiveLocation location = ArchiveLocation::sqliteFile(m_dir.filePath("q.sqlite"));
    ArchiveStore bench1(location, "bench-1");
    ArchiveStore bench2(location, "bench-2");
    QVERIFY(bench1.open() && bench2.open());
    QList<RunRecord> runs = {run("B-1", "pass", at(1, 8), 2.0, {1.0}),
                             run("B-1", "fail", at(1, 9), 7.25, {-3.1, 2.0}),
                             run("B-2", "pass", at(1, 10)), run("B-1", "incomplete", at(2, 8)),
                             run("B-3", "pass", at(2, 9), 1.0)};
    runs[2].planName.clear(); // a free check
    runs[2].planVersion.clear();
    runs[2].planSha256.clear();
    for (int i = 0; i < runs.size(); ++i) {
        m_ids << runs.at(i).id.toString(QUuid::WithoutBraces);
        ArchiveStore &store = i == 4 ? bench2 : bench1;
        QVERIFY2(store.store(runs.at(i)), qPrintable(store.failure().text));
    }
    m_connection = std::make_unique<ArchiveConnection>(location);
    Failure why;
    QVERIFY(m_connection->open(ArchiveConnection::Create::ExistingOnly, &why));
}

void ArchiveQueryTest::filters_data()
{
    QTest::addColumn<RunFilter>("filter");
    QTest::addColumn<QStringList>("runs");
    const auto filter = [](auto change) {
        RunFilter f;
        change(f);
        return f;
    };
    QTest::newRow("all, oldest first") << RunFilter() << QStringList{"1", "2", "3", "4", "5"};
    QTest::newRow("board") << filter([](RunFilter &f) { f.board = "B-1"; })
                           << QStringList{"1", "2", "4"};
    QTest::newRow("since the start of a run takes it")
        << filter([](RunFilter &f) { f.since = at(1, 9); }) << QStringList{"2", "3", "4", "5"};
    QTest::newRow("since a second after leaves it")
        << filter([](RunFilter &f) { f.since = at(1, 9).addSecs(1); })
        << QStringList{"3", "4", "5"};
    QTest::newRow("since in another zone, the same moment")
        << filter([](RunFilter &f) { f.since = at(1, 9).toUTC(); })
        << QStringList{"2", "3", "4", "5"};
    QTest::newRow("until is before")
        << filter([](RunFilter &f) { f.until = at(1, 9); }) << QStringList{"1"};
    QTest::newRow("verdict") << filter([](RunFilter &f) { f.verdict = "pass"; })
                             << QStringList{"1", "3", "5"};
    QTest::newRow("station") << filter([](RunFilter &f) { f.station = "bench-2"; })
                             << QStringList{"5"};
    QTest::newRow("free checks") << filter([](RunFilter &f) { f.plan = "free check"; })
                                 << QStringList{"3"};
    QTest::newRow("board and verdict") << filter([](RunFilter &f) {
        f.board = "B-1";
        f.verdict = "fail";
    }) << QStringList{"2"};
    QTest::newRow("the newest two, oldest first")
        << filter([](RunFilter &f) { f.limit = 2; }) << QStringList{"4", "5"};
    QTest::newRow("a board with no runs")
        << filter([](RunFilter &f) { f.board = "B-9"; }) << QStringList();
}

void ArchiveQueryTest::filters()
{
    QFETCH(RunFilter, filter);
    QFETCH(QStringList, runs);
    QCOMPARE(listed(filter), runs);
}

void ArchiveQueryTest::boardHistory_data()
{
    QTest::addColumn<QString>("board");
    QTest::addColumn<int>("current"); // the run just stored, 0 for none
    QTest::addColumn<QString>("sentence");
    QTest::newRow("no earlier run") << "B-9" << 0 << "1st run of this board";
    QTest::newRow("the run just stored is not an earlier one")
        << "B-2" << 3 << "1st run of this board";
    QTest::newRow("third run; last failed with a leak and a static error")
        << "B-1" << 4
        << "3rd run of this board; last: FAIL on 2026-12-01, leak 7.3 mmHg/min, "
           "static error -3.1 mmHg";
    QTest::newRow("fourth run: the incomplete one last, without figures")
        << "B-1" << 0 << "4th run of this board; last: INCOMPLETE on 2026-12-02";
}

void ArchiveQueryTest::boardHistory()
{
    QFETCH(QString, board);
    QFETCH(int, current);
    QFETCH(QString, sentence);
    BoardHistory history;
    Failure why;
    QVERIFY2(ArchiveQuery(*m_connection)
                 .boardHistory(board, current ? m_ids.at(current - 1) : QString(), history, &why),
             qPrintable(why.text));
    QCOMPARE(history.sentence(), sentence);
}

void ArchiveQueryTest::ordinal_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("text");
    for (const auto &[n, text] :
         std::initializer_list<std::pair<int, const char *>>{{1, "1st"},
                                                             {2, "2nd"},
                                                             {3, "3rd"},
                                                             {4, "4th"},
                                                             {11, "11th"},
                                                             {12, "12th"},
                                                             {13, "13th"},
                                                             {21, "21st"},
                                                             {22, "22nd"},
                                                             {111, "111th"},
                                                             {112, "112th"},
                                                             {123, "123rd"}})
        QTest::newRow(text) << n << QString::fromLatin1(text);
}

void ArchiveQueryTest::ordinal()
{
    QFETCH(int, n);
    QFETCH(QString, text);
    QCOMPARE(BoardHistory::ordinal(n), text);
}

void ArchiveQueryTest::yieldAndFigures()
{
    ArchiveQuery query(*m_connection);
    Failure why;
    QList<YieldCount> days;
    QVERIFY2(query.yieldPerDay(RunFilter(), days, &why), qPrintable(why.text));
    QCOMPARE(days.size(), 2);
    QCOMPARE(days.at(0).key, QStringLiteral("2026-12-01"));
    QCOMPARE(
        (QList<int>{days.at(0).runs, days.at(0).passed, days.at(0).failed, days.at(0).incomplete}),
        (QList<int>{3, 2, 1, 0}));
    QCOMPARE(days.at(1).incomplete, 1);
    QCOMPARE(days.at(1).yield(), 0.5);
    QList<YieldCount> plans;
    QVERIFY(query.yieldPerPlan(RunFilter(), plans, &why));
    QCOMPARE(plans.size(), 2);
    QCOMPARE(plans.at(0).key, QStringLiteral("Standard NIBP bench check 1.0"));
    QCOMPARE(plans.at(0).runs, 4);
    QCOMPARE(plans.at(1).key, QStringLiteral("free check"));
    // The History window's one pass gives the same counts.
    const auto text = [](const QList<YieldCount> &counts) {
        QStringList lines;
        for (const YieldCount &c : counts)
            lines << QStringLiteral("%1 %2 %3 %4 %5")
                         .arg(c.key)
                         .arg(c.runs)
                         .arg(c.passed)
                         .arg(c.failed)
                         .arg(c.incomplete);
        return lines;
    };
    QList<YieldCount> onePassDays;
    QList<YieldCount> onePassPlans;
    QVERIFY2(query.yields(RunFilter(), onePassDays, onePassPlans, &why), qPrintable(why.text));
    QCOMPARE(text(onePassDays), text(days));
    QCOMPARE(text(onePassPlans), text(plans));

    QList<RunSummary> figures;
    RunFilter b1;
    b1.board = "B-1";
    QVERIFY(query.figures(b1, figures, &why));
    QCOMPARE(figures.size(), 2); // the incomplete run has no figure
    QCOMPARE(figures.at(1).leakMmHgPerMin.value_or(0), 7.25);
    QCOMPARE(figures.at(1).staticErrorMmHg.value_or(0), -3.1);
}

QTEST_GUILESS_MAIN(ArchiveQueryTest)
#include "archive_query_test.moc"
