// SPDX-License-Identifier: MIT
// Figures of the archive, printed, never judged (scripts/bench-archive runs it):
//   store     storing a run in the local SQLite archive (one transaction,
//             synchronous=FULL, a 150 KB PDF): per store, over N stores
//   search    the history's queries over a SQLite archive of N runs, one
//             by one and as the History window asks for them (HistoryWorker:
//             the newest 1000 runs, the yields and the figures with limits)
//   line      list --board over a PostgreSQL archive of N runs (made in the
//             server with generate_series; their chains are not valid),
//             in the process and as tarnvik-archive
//
//   tarnvik_archive_bench store FOLDER COUNT
//   tarnvik_archive_bench search FOLDER COUNT PDF_BYTES
//   tarnvik_archive_bench line URI COUNT TOOL
#include "archive_query.h"
#include "archive_store.h"
#include "history_worker.h"
#include "row_content.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QTimeZone>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kBoards = 50000;

RunRecord benchRun(int n, qsizetype pdfBytes)
{
    RunRecord record;
    record.id = QUuid::createUuid();
    record.board = QStringLiteral("B-%1").arg(n % kBoards);
    record.operatorName = QStringLiteral("A. Engineer");
    record.planName = QStringLiteral("Standard NIBP bench check");
    record.planVersion = QStringLiteral("1.0");
    record.started =
        QDateTime(QDate(2026, 1, 1), QTime(8, 0), QTimeZone(3600)).addSecs(qint64(n) * 120);
    record.ended = record.started.addSecs(100);
    record.programVersion = QStringLiteral("tarnvik 1.0.1");
    record.verdict = n % 10 == 0 ? QStringLiteral("fail") : QStringLiteral("pass");
    QJsonArray leaks{QJsonObject{{"rate_mmHg_per_min", 1.0 + n % 70 / 10.0}}};
    QJsonArray points;
    for (int p = 0; p < 6; ++p)
        points.append(
            QJsonObject{{"reference_mmHg", 250 - 50 * p}, {"error_mmHg", (n + p) % 7 / 2.0 - 1.5}});
    record.reportJson =
        QJsonDocument(
            QJsonObject{{"leak_tests", leaks},
                        {"static_points", points},
                        {"board", record.board},
                        {"limits", QJsonObject{{"leak_mmHg_per_min", 6}, {"static_mmHg", 3}}}})
            .toJson(QJsonDocument::Indented);
    record.stepsJson = R"([{"step":"leak","verdict":"pass"},{"step":"static","verdict":"pass"}])";
    record.pdf = QByteArray(pdfBytes, char('%'));
    return record;
}

struct Figures
{
    double median = 0;
    double p95 = 0;
    double max = 0;
};

Figures figuresOf(QList<double> ms)
{
    std::sort(ms.begin(), ms.end());
    if (ms.isEmpty())
        return {};
    return {ms.at(ms.size() / 2), ms.at(qsizetype(ms.size() * 0.95)), ms.constLast()};
}

void printRow(const char *what, const Figures &f, const char *target)
{
    std::printf("%-44s %9.2f %9.2f %9.2f   %s\n", what, f.median, f.p95, f.max, target);
}

Figures timed(int times, const std::function<void()> &work)
{
    QList<double> ms;
    for (int i = 0; i < times; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms << timer.nsecsElapsed() / 1e6;
    }
    return figuresOf(ms);
}

int storeBench(const QString &folder, int count)
{
    ArchiveStore store(ArchiveLocation::sqliteFile(folder + "/store.sqlite"), "bench-1");
    if (!store.open())
        return std::fprintf(stderr, "%s\n", qPrintable(store.failure().text)), 1;
    QList<RunRecord> runs;
    for (int n = 0; n < count; ++n)
        runs << benchRun(n, 150 * 1024);
    int n = 0;
    bool ok = true;
    const Figures f = timed(count, [&] { ok = store.store(runs.at(n++)) && ok; });
    if (!ok)
        return std::fprintf(stderr, "%s\n", qPrintable(store.failure().text)), 1;
    std::printf("%-44s %9s %9s %9s   %s\n", "ms", "median", "p95", "max", "target");
    printRow(qPrintable(QStringLiteral("store a run (150 KB PDF), %1 stores").arg(count)), f,
             "<= 50 ms");
    return 0;
}

// `count` runs chained at one station in one transaction, with PDFs of `pdfBytes`.
bool fill(ArchiveConnection &connection, int count, qsizetype pdfBytes, Failure *why)
{
    if (!connection.begin(why))
        return false;
    QSqlQuery insert(connection.database());
    const qsizetype columns = ArchiveSchema::columns(ArchiveSchema::Table::Runs).size();
    insert.prepare(QStringLiteral("INSERT INTO runs (%1, content_sha256) VALUES (?%2)")
                       .arg(ArchiveSchema::columnList(ArchiveSchema::Table::Runs),
                            QStringLiteral(", ?").repeated(columns)));
    QString previous = RowContent::chainStart();
    for (int n = 0; n < count; ++n) {
        RunRecord record = benchRun(n, pdfBytes);
        record.station = QStringLiteral("bench-1");
        const QVariantList values = ArchiveStore::runValues(record, n + 1, previous);
        previous = RowContent::sha256(ArchiveSchema::Table::Runs, values);
        for (const QVariant &value : values)
            insert.addBindValue(value);
        insert.addBindValue(previous);
        if (!insert.exec())
            return fail(why, connection.failureOf(insert.lastError()));
    }
    insert.finish();
    return connection.commit(why);
}

// The History window's search, all its queries on the worker's read-only
// connection (opened by a first search, not timed).
void windowBench(const ArchiveLocation &location, int count)
{
    HistoryWorker worker(location, QStringLiteral("bench-1"));
    HistoryAnswer answer;
    Failure why;
    int board = 0;
    const auto search = [&](const std::function<void(RunFilter &)> &set) {
        return [&, set] {
            RunFilter filter;
            filter.limit = 1000; // HistorySource::kListedRuns
            set(filter);
            worker.search(filter, answer, &why);
        };
    };
    search([](RunFilter &) {})();
    const QDateTime last =
        QDateTime(QDate(2026, 1, 1), QTime(8, 0), QTimeZone(3600)).addSecs(qint64(count) * 120);
    std::printf("%-44s %9s %9s %9s   %s\n", "History window search, ms", "median", "p95", "max",
                "target");
    printRow("a board", timed(50, search([&](RunFilter &f) {
                                  f.board = QStringLiteral("B-%1").arg(board++ * 7919 % kBoards);
                              })),
             "<= 200 ms");
    printRow("the last 7 days",
             timed(10, search([&](RunFilter &f) { f.since = last.addDays(-7); })), "<= 200 ms");
    printRow("the last 30 days",
             timed(10, search([&](RunFilter &f) { f.since = last.addDays(-30); })), "<= 200 ms");
    printRow("verdict fail, whole archive",
             timed(5, search([](RunFilter &f) { f.verdict = QStringLiteral("fail"); })),
             "<= 200 ms");
    printRow("no condition, whole archive", timed(5, search([](RunFilter &) {})), "<= 200 ms");
    std::printf("last answer: %d runs found, %lld listed, %lld figures%s\n", answer.found,
                static_cast<long long>(answer.runs.size()),
                static_cast<long long>(answer.figures.size()),
                qPrintable(why.text.isEmpty() ? "" : "; " + why.text));
}

int searchBench(const QString &folder, int count, qsizetype pdfBytes)
{
    const ArchiveLocation location = ArchiveLocation::sqliteFile(folder + "/search.sqlite");
    Failure why;
    {
        ArchiveStore store(location, "bench-1");
        ArchiveConnection connection(location);
        QElapsedTimer filling;
        filling.start();
        if (!store.open() || !connection.open(ArchiveConnection::Create::ExistingOnly, &why) ||
            !fill(connection, count, pdfBytes, &why))
            return std::fprintf(stderr, "%s%s\n", qPrintable(store.failure().text),
                                qPrintable(why.text)),
                   1;
        std::printf("filled %d runs (PDFs of %lld bytes) in %.1f s\n\n", count,
                    static_cast<long long>(pdfBytes), filling.elapsed() / 1000.0);
    }
    ArchiveConnection connection(location);
    if (!connection.open(ArchiveConnection::Create::ExistingOnly, &why))
        return std::fprintf(stderr, "%s\n", qPrintable(why.text)), 1;
    ArchiveQuery query(connection);
    int board = 0;
    QList<RunSummary> runs;
    QList<YieldCount> counts;
    BoardHistory history;
    const auto filtered = [&](const std::function<void(RunFilter &)> &set) {
        return [&, set] {
            RunFilter filter;
            set(filter);
            query.runs(filter, runs, &why);
        };
    };
    // The day in the middle of the runs (one every 120 s from 2026-01-01).
    const QDateTime day(QDate(2026, 1, 1).addDays(count / 2 / 720), QTime(0, 0), QTimeZone(3600));
    std::printf("%-44s %9s %9s %9s   %s\n", "ms", "median", "p95", "max", "target");
    printRow("list --board (index)",
             timed(50, filtered([&](RunFilter &f) {
                       f.board = QStringLiteral("B-%1").arg(board++ * 7919 % kBoards);
                   })),
             "<= 200 ms");
    printRow("list one day (since, until)", timed(20, filtered([&](RunFilter &f) {
                                                      f.since = day;
                                                      f.until = day.addDays(1);
                                                  })),
             "<= 200 ms");
    printRow("list --verdict fail (index)",
             timed(10, filtered([](RunFilter &f) { f.verdict = QStringLiteral("fail"); })),
             "<= 200 ms");
    printRow("a board's earlier runs",
             timed(50,
                   [&] {
                       query.boardHistory(QStringLiteral("B-%1").arg(board++ % kBoards), QString(),
                                          history, &why);
                   }),
             "");
    printRow("yield per day (whole archive)",
             timed(10, [&] { query.yieldPerDay(RunFilter(), counts, &why); }), "");
    printRow("yield per plan (whole archive)",
             timed(10, [&] { query.yieldPerPlan(RunFilter(), counts, &why); }), "");
    std::printf("last result: %lld runs, %lld counts%s\n", static_cast<long long>(runs.size()),
                static_cast<long long>(counts.size()),
                qPrintable(why.text.isEmpty() ? "" : "; " + why.text));
    std::printf("\n");
    windowBench(location, count);
    return 0;
}

bool exec(ArchiveConnection &connection, const QString &sql, Failure *why)
{
    QSqlQuery query(connection.database());
    if (query.exec(sql))
        return true;
    return fail(why, connection.failureOf(query.lastError()));
}

// Runs #from..#to made in the server: ten stations, 50,000 boards, one run
// every 12 s, figures; small PDFs and chains that are not valid.
bool fillLine(ArchiveConnection &connection, int from, int to, Failure *why)
{
    return exec(
        connection,
        QStringLiteral(
            "INSERT INTO runs (%1, content_sha256) SELECT md5('run' || i)::uuid::text, "
            "'bench-' || (i % 10), i / 10 + 1, 'B-' || (i % %2), 'A. Engineer', '', '', "
            "'Standard NIBP bench check', '1.0', '', "
            "to_char(timestamp '2026-01-01 08:00' + i * interval '12 seconds', "
            "'YYYY-MM-DD\"T\"HH24:MI:SS') || '+01:00', '', 1767250800000 + i * 12000::bigint, "
            "'tarnvik 1.0.1', CASE WHEN i % 10 = 0 THEN 'fail' ELSE 'pass' END, '', "
            "1 + (i % 70) / 10.0, (i % 7) / 2.0 - 1.5, repeat('0', 64), '[]', '{}', "
            "'\\x25'::bytea, repeat('0', 64) FROM generate_series(%3, %4) AS i")
            .arg(ArchiveSchema::columnList(ArchiveSchema::Table::Runs))
            .arg(kBoards)
            .arg(from)
            .arg(to),
        why);
}

bool prepareLine(ArchiveConnection &connection, int count, Failure *why)
{
    QSqlDatabase db = connection.database();
    if (!ArchiveSchema::prepare(db, ArchiveSchema::Mode::CreateOrMigrate, why))
        return false;
    QSqlQuery query(db);
    query.exec(QStringLiteral("SELECT count(*) FROM runs"));
    int have = query.next() ? query.value(0).toInt() : 0;
    QElapsedTimer filling;
    filling.start();
    for (; have < count; have += 200000) {
        if (!fillLine(connection, have, std::min(count, have + 200000) - 1, why))
            return false;
        std::printf("... %d runs in the line's database\n", std::min(count, have + 200000));
        std::fflush(stdout);
    }
    std::printf("filled in %.1f s\n", filling.elapsed() / 1000.0);
    return exec(connection, QStringLiteral("ANALYZE runs"), why);
}

int lineBench(const QString &uri, int count, const QString &tool)
{
    Failure why;
    const std::optional<ArchiveLocation> location = ArchiveLocation::parse(uri, {}, &why);
    if (!location)
        return std::fprintf(stderr, "%s\n", qPrintable(why.text)), 1;
    ArchiveConnection connection(*location);
    if (!connection.open(ArchiveConnection::Create::ExistingOnly, &why) ||
        !prepareLine(connection, count, &why))
        return std::fprintf(stderr, "%s\n", qPrintable(why.text)), 1;
    QSqlQuery plan(connection.database());
    plan.exec(QStringLiteral("EXPLAIN SELECT * FROM runs WHERE board = 'B-17' ORDER BY "
                             "started_ms, station, seq"));
    while (plan.next())
        std::printf("plan: %s\n", qPrintable(plan.value(0).toString()));
    ArchiveQuery query(connection);
    QList<RunSummary> runs;
    int board = 0;
    std::printf("\n%-44s %9s %9s %9s   %s\n", "ms", "median", "p95", "max", "target");
    printRow("list --board, in the process",
             timed(50,
                   [&] {
                       RunFilter filter;
                       filter.board = QStringLiteral("B-%1").arg(board++ * 7919 % kBoards);
                       query.runs(filter, runs, &why);
                   }),
             "<= 100 ms");
    printRow("tarnvik-archive list --board (whole process)",
             timed(10,
                   [&] {
                       QProcess process;
                       process.start(tool, {"--database", uri, "list", "--board",
                                            QStringLiteral("B-%1").arg(board++ * 7919 % kBoards)});
                       process.waitForFinished(60000);
                   }),
             "");
    std::printf("runs per board: %lld\n", static_cast<long long>(runs.size()));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("store") && args.size() == 4)
        return storeBench(args.at(2), args.at(3).toInt());
    if (mode == QLatin1String("search") && args.size() == 5)
        return searchBench(args.at(2), args.at(3).toInt(), args.at(4).toLongLong());
    if (mode == QLatin1String("line") && args.size() == 5)
        return lineBench(args.at(2), args.at(3).toInt(), args.at(4));
    std::fprintf(stderr, "usage: tarnvik_archive_bench store FOLDER COUNT | search FOLDER COUNT "
                         "PDF_BYTES | line URI COUNT TOOL\n");
    return 2;
}
