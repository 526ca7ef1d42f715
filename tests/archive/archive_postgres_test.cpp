// SPDX-License-Identifier: MIT
// The archive with a real PostgreSQL 15 server (started by
// postgres_server.sh as a CTest fixture, a Unix socket only): the push
// copies every row once however often it runs, two stations push at once,
// the server stopped mid-push and started again, the line's database down at
// start, a server that answers nothing and a statement held past its time
// (no answer, not the database's refusal), rows changed and removed behind
// the program's back found by tarnvik-archive verify, and a bench role that
// may only insert and select.
// Each test has a database of its own.
#include "archive_push.h"
#include "archive_pusher.h"
#include "archive_query.h"
#include "archive_store.h"
#include "archive_test_data.h"
#include "chain_verifier.h"
#include "history_source.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace archive_test;

namespace {

QString stateValue(const QString &key)
{
    QFile state(ARCHIVE_PG_STATE);
    if (!state.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray &line : state.readAll().split('\n')) {
        if (line.startsWith(key.toUtf8() + '='))
            return QString::fromUtf8(line.mid(key.size() + 1));
    }
    return QString();
}

ArchiveLocation lineDatabase(const QString &name, const QString &user = "tarnvik_admin")
{
    Failure why;
    return *ArchiveLocation::parse(
        QStringLiteral("postgresql://%1@/%2?host=%3").arg(user, name, stateValue("folder")), {},
        &why);
}

bool script(const QString &command)
{
    return QProcess::execute("bash", {ARCHIVE_PG_SCRIPT, command, ARCHIVE_PG_STATE}) == 0;
}

// Runs statements as the server's superuser in `database`; false with the failure.
bool admin(const QString &database, const QStringList &statements, Failure *why = nullptr)
{
    ArchiveConnection connection(lineDatabase(database));
    bool ok = connection.open(ArchiveConnection::Create::ExistingOnly, why);
    for (const QString &statement : statements) {
        QSqlQuery query(connection.database());
        if (ok && !query.exec(statement))
            ok = fail(why, connection.failureOf(query.lastError()));
    }
    return ok;
}

// A fresh database with the archive's tables.
bool makeDatabase(const QString &name)
{
    if (!admin("postgres", {"DROP DATABASE IF EXISTS " + name, "CREATE DATABASE " + name}))
        return false;
    ArchiveConnection connection(lineDatabase(name));
    Failure why;
    if (!connection.open(ArchiveConnection::Create::ExistingOnly, &why))
        return false;
    QSqlDatabase db = connection.database();
    return ArchiveSchema::prepare(db, ArchiveSchema::Mode::CreateOrMigrate, &why);
}

int scalar(const ArchiveLocation &location, const QString &sql)
{
    ArchiveConnection connection(location);
    Failure why;
    if (!connection.open(ArchiveConnection::Create::ExistingOnly, &why))
        return -1;
    QSqlQuery query(connection.database());
    return query.exec(sql) && query.next() ? query.value(0).toInt() : -1;
}

// The first break per station that verify finds, or "holds".
QStringList verified(const ArchiveLocation &location)
{
    ArchiveConnection connection(location);
    ChainVerifier verifier(connection);
    Failure why;
    if (!connection.open(ArchiveConnection::Create::ExistingOnly, &why) || !verifier.verify(&why))
        return {"unreadable: " + why.text};
    QStringList found;
    for (const ChainBreak &chainBreak : verifier.breaks())
        found << chainBreak.text();
    return found.isEmpty() ? QStringList{"holds"} : found;
}

} // namespace

class ArchivePostgresTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // A local archive at `station` with `runs` runs (and an approval of the
    // first after `actAfter` runs, when given).
    ArchiveLocation localArchive(const QString &name, const QString &station, int runs,
                                 int actAfter = -1)
    {
        const ArchiveLocation local = ArchiveLocation::sqliteFile(m_dir.filePath(name));
        ArchiveStore store(local, station);
        if (!store.open())
            qFatal("%s", qPrintable(store.failure().text));
        QUuid first;
        for (int i = 0; i < runs; ++i) {
            const RunRecord record = run(QStringLiteral("B-%1").arg(i % 5), i % 4 ? "pass" : "fail",
                                         at(1 + i % 20, 8, i % 60), 2.0);
            first = i == 0 ? record.id : first;
            if (!store.store(record))
                qFatal("%s", qPrintable(store.failure().text));
            if (i + 1 == actAfter && !store.store(approval(first)))
                qFatal("%s", qPrintable(store.failure().text));
        }
        return local;
    }

private slots:
    void initTestCase();
    void pushCopiesEveryRowOnce();
    void twoStationsPushAtOnce();
    void serverStoppedMidPush();
    void lineDatabaseDownAtStart();
    void verifyNamesTampering();
    void benchRoleInsertsAndSelectsOnly();
    void historySearchesTheLine();
};

void ArchivePostgresTest::initTestCase()
{
    QVERIFY2(!stateValue("folder").isEmpty(),
             "no PostgreSQL server: the fixture archive_postgres_start did not run");
    QVERIFY(m_dir.isValid());
}

// Pushed twice over, as after a crash that lost the local notes: the line's
// database holds each row once, the chain intact.
void ArchivePostgresTest::pushCopiesEveryRowOnce()
{
    QVERIFY(makeDatabase("once"));
    const ArchiveLocation line = lineDatabase("once");
    const ArchiveLocation local = localArchive("once.sqlite", "bench-1", 3, 1);
    ArchiveConnection from(local);
    ArchiveConnection to(line);
    Failure why;
    QVERIFY(from.open(ArchiveConnection::Create::ExistingOnly, &why));
    QVERIFY2(to.open(ArchiveConnection::Create::ExistingOnly, &why), qPrintable(why.text));
    ArchivePush push(from, to);
    int copied = 0;
    QVERIFY2(push.pushAll(copied, &why), qPrintable(why.text));
    QCOMPARE(copied, 4);
    QSqlQuery forget(from.database());
    QVERIFY(forget.exec("DELETE FROM pushed"));
    QVERIFY2(push.pushAll(copied, &why), qPrintable(why.text));
    QCOMPARE(copied, 4); // sent again, taken as nothing
    int runs = -1;
    int acts = -1;
    QVERIFY(push.pending(runs, acts, &why));
    QCOMPARE(runs + acts, 0);
    QCOMPARE(scalar(line, "SELECT count(*) FROM runs"), 3);
    QCOMPARE(scalar(line, "SELECT count(*) FROM acts"), 1);
    QCOMPARE(verified(line), QStringList{"holds"});
    // The rows are the same bytes on both sides: the PDF and the figures too.
    QCOMPARE(scalar(line, "SELECT count(*) FROM runs WHERE leak_mmhg_per_min = 2 AND "
                          "length(pdf) > 500"),
             3);
}

void ArchivePostgresTest::twoStationsPushAtOnce()
{
    QVERIFY(makeDatabase("two"));
    const ArchiveLocation line = lineDatabase("two");
    ArchivePusher first(localArchive("two-1.sqlite", "bench-1", 150, 70), line, nullptr, 200);
    ArchivePusher second(localArchive("two-2.sqlite", "bench-2", 150, 10), line, nullptr, 200);
    QSignalSpy firstFailed(&first, &ArchivePusher::failed);
    QSignalSpy secondFailed(&second, &ArchivePusher::failed);
    QSignalSpy firstCounted(&first, &ArchivePusher::pendingChanged);
    QSignalSpy secondCounted(&second, &ArchivePusher::pendingChanged);
    first.start();
    second.start();
    QTRY_VERIFY_WITH_TIMEOUT(!firstCounted.isEmpty() && !secondCounted.isEmpty() &&
                                 first.pendingRuns() + first.pendingActs() == 0 &&
                                 second.pendingRuns() + second.pendingActs() == 0,
                             60000);
    QCOMPARE(firstFailed.count() + secondFailed.count(), 0);
    QCOMPARE(scalar(line, "SELECT count(*) FROM runs"), 300);
    QCOMPARE(scalar(line, "SELECT count(DISTINCT uuid) FROM runs"), 300);
    QCOMPARE(scalar(line, "SELECT count(*) FROM acts"), 2);
    QCOMPARE(verified(line), QStringList{"holds"});
}

// The server goes down while a batch waits in it (held by a lock on the
// acts): the push fails with the cause; once the server is back, the queue
// drains with nothing lost or doubled.
void ArchivePostgresTest::serverStoppedMidPush()
{
    QVERIFY(makeDatabase("stopped"));
    const ArchiveLocation line = lineDatabase("stopped");
    // Runs #1..#64 go in the first batch; the act #65 starts the second.
    const ArchiveLocation local = localArchive("stopped.sqlite", "bench-1", 165, 64);
    ArchiveConnection locker(line);
    Failure why;
    QVERIFY(locker.open(ArchiveConnection::Create::ExistingOnly, &why));
    QSqlQuery lock(locker.database());
    QVERIFY(lock.exec("BEGIN") && lock.exec("LOCK TABLE acts IN ACCESS EXCLUSIVE MODE"));
    {
        // A read the lock holds up past the statement's time is a server that did not answer.
        ArchiveConnection reader(line);
        QVERIFY(reader.open(ArchiveConnection::Create::ExistingOnly, &why));
        QVERIFY(QSqlQuery(reader.database()).exec("SET statement_timeout = 200"));
        QList<QVariantMap> acts;
        QVERIFY(!ArchiveQuery(reader).actsOn(QUuid::createUuid().toString(QUuid::WithoutBraces),
                                             acts, &why));
        QCOMPARE(why.kind, Failure::Kind::NoAnswer);
    }

    ArchivePusher pusher(local, line, nullptr, 300);
    QSignalSpy pushed(&pusher, &ArchivePusher::pushed);
    QSignalSpy failed(&pusher, &ArchivePusher::failed);
    pusher.start();
    QTRY_VERIFY_WITH_TIMEOUT(!pushed.isEmpty(), 30000);
    QCOMPARE(pushed.constFirst().constFirst().toInt(), ArchivePush::kBatch);
    QTest::qWait(300);
    QVERIFY(script("pause"));
    locker.close();
    QTRY_VERIFY_WITH_TIMEOUT(!failed.isEmpty(), 30000);
    QVERIFY2(failed.constFirst().constFirst().toString().contains(line.text()),
             qPrintable(failed.constFirst().constFirst().toString()));
    QTRY_COMPARE_WITH_TIMEOUT(pusher.pendingRuns() + pusher.pendingActs(), 102, 10000);

    QVERIFY(script("resume"));
    QTRY_COMPARE_WITH_TIMEOUT(pusher.pendingRuns() + pusher.pendingActs(), 0, 30000);
    QCOMPARE(scalar(line, "SELECT count(*) FROM runs"), 165);
    QCOMPARE(scalar(line, "SELECT count(*) FROM acts"), 1);
    QCOMPARE(verified(line), QStringList{"holds"});
}

// No server behind the line's address: runs are stored locally, the push
// says why it cannot reach the line's database and what waits.
void ArchivePostgresTest::lineDatabaseDownAtStart()
{
    Failure why;
    const ArchiveLocation nowhere = *ArchiveLocation::parse(
        "postgresql://tarnvik_admin@/down?host=" + m_dir.filePath("no-server"), {}, &why);
    const ArchiveLocation local = localArchive("down.sqlite", "bench-1", 2);
    ArchivePusher pusher(local, nowhere, nullptr, 200);
    QSignalSpy failed(&pusher, &ArchivePusher::failed);
    pusher.start();
    QTRY_VERIFY_WITH_TIMEOUT(!failed.isEmpty(), 20000);
    const QString cause = failed.constFirst().constFirst().toString();
    QVERIFY2(cause.contains("cannot be reached") && cause.contains("No such file or directory"),
             qPrintable(cause));
    QTRY_COMPARE_WITH_TIMEOUT(pusher.pendingRuns(), 2, 5000);
    QCOMPARE(pusher.lastFailure().kind, Failure::Kind::Database);

    // A socket that takes the connection and says nothing: given up after
    // connect_timeout as no answer.
    const QString silent = m_dir.filePath("silent");
    QVERIFY(QDir().mkpath(silent));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const auto closeListener = qScopeGuard([listener] { ::close(listener); });
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(silent + "/.s.PGSQL.5432");
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    QVERIFY(::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
            ::listen(listener, 4) == 0);
    ArchiveConnection quiet(*ArchiveLocation::parse(
        "postgresql://tarnvik_admin@/down?connect_timeout=2&host=" + silent, {}, &why));
    QVERIFY(!quiet.open(ArchiveConnection::Create::ExistingOnly, &why));
    QVERIFY2(why.text.contains("cannot be reached"), qPrintable(why.text));
    QCOMPARE(why.kind, Failure::Kind::NoAnswer);

    ArchiveStore store(local, "bench-1");
    QVERIFY(store.open());
    QVERIFY2(store.store(run("B-9", "pass", at(3, 8))), qPrintable(store.failure().text));
    pusher.pushNow();
    QTRY_COMPARE_WITH_TIMEOUT(pusher.pendingRuns(), 3, 10000);
}

// Behind the program's back on the line's database: a run changed at one
// station, a run removed at another; verify names each, exit 1.
void ArchivePostgresTest::verifyNamesTampering()
{
    QVERIFY(makeDatabase("tampered"));
    const ArchiveLocation line = lineDatabase("tampered");
    for (const QString station : {"bench-1", "bench-2"}) {
        ArchiveConnection from(localArchive(station + ".sqlite", station, 4));
        ArchiveConnection to(line);
        Failure why;
        int copied = 0;
        QVERIFY(from.open(ArchiveConnection::Create::ExistingOnly, &why) &&
                to.open(ArchiveConnection::Create::ExistingOnly, &why));
        QVERIFY2(ArchivePush(from, to).pushAll(copied, &why), qPrintable(why.text));
    }
    QVERIFY(admin("tampered", {"UPDATE runs SET verdict = 'fail' WHERE station = 'bench-1' AND "
                               "seq = 3",
                               "DELETE FROM runs WHERE station = 'bench-2' AND seq = 2"}));
    QProcess tool;
    tool.start(ARCHIVE_TOOL, {"--database", line.text(), "verify"});
    QVERIFY(tool.waitForFinished(30000));
    const QString out = QString::fromUtf8(tool.readAllStandardOutput());
    QCOMPARE(tool.exitCode(), 1);
    QVERIFY2(QRegularExpression("station bench-1, run [0-9a-f-]{36} \\(#3\\) was changed")
                 .match(out)
                 .hasMatch(),
             qPrintable(out));
    QVERIFY2(QRegularExpression("station bench-2, run [0-9a-f-]{36} \\(#3\\) row #2 before it is "
                                "missing")
                 .match(out)
                 .hasMatch(),
             qPrintable(out));
}

// The role docs/archive.md gives a bench: tarnvik-archive pushes and lists
// with it, and it can neither change a row nor make tables.
void ArchivePostgresTest::benchRoleInsertsAndSelectsOnly()
{
    QVERIFY(makeDatabase("roles"));
    QVERIFY(
        admin("postgres", {"DROP DATABASE IF EXISTS roles_empty", "CREATE DATABASE roles_empty"}));
    Failure why;
    QVERIFY2(admin("postgres", {"DROP ROLE IF EXISTS tarnvik_bench"}, &why), qPrintable(why.text));
    QVERIFY2(
        admin("roles",
              {"CREATE ROLE tarnvik_bench LOGIN", "GRANT SELECT ON archive_schema TO tarnvik_bench",
               "GRANT SELECT, INSERT ON runs, acts TO tarnvik_bench"},
              &why),
        qPrintable(why.text));
    const ArchiveLocation line = lineDatabase("roles", "tarnvik_bench");
    const ArchiveLocation local = localArchive("roles.sqlite", "bench-1", 3);
    QFile settings(m_dir.filePath("roles.conf"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[archive]\ndatabase=" + line.text().toUtf8() + "\n");
    settings.close();

    const auto tool = [&](const QStringList &arguments, QString &out) {
        QProcess process;
        process.start(ARCHIVE_TOOL, QStringList{"--settings", settings.fileName()} + arguments);
        process.waitForFinished(30000);
        out = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
        return process.exitCode();
    };
    QString out;
    QCOMPARE(tool({"--database", local.text(), "push"}, out), 0);
    QVERIFY2(out.contains("pushed 3 row(s)"), qPrintable(out));
    QCOMPARE(tool({"list", "--board", "B-1", "--json"}, out), 0);
    const QJsonArray runs = QJsonDocument::fromJson(out.toUtf8()).array();
    QCOMPARE(runs.size(), 1);
    for (const char *key : {"id", "board", "station", "plan", "started", "verdict"})
        QVERIFY2(runs.at(0).toObject().contains(key), key);
    QCOMPARE(runs.at(0).toObject().value("station").toString(), QStringLiteral("bench-1"));

    ArchiveConnection bench(line);
    QVERIFY(bench.open(ArchiveConnection::Create::ExistingOnly, &why));
    QSqlQuery change(bench.database());
    QVERIFY(!change.exec("UPDATE runs SET board = 'B-9'"));
    QVERIFY2(change.lastError().text().contains("permission denied"),
             qPrintable(change.lastError().text()));
    QVERIFY(!change.exec("DELETE FROM runs"));
    QCOMPARE(tool({"--database", lineDatabase("roles_empty", "tarnvik_bench").text(), "init"}, out),
             2);
    QVERIFY2(out.contains("permission denied"), qPrintable(out));
}

// The History window's source on the line's database: the answer comes by
// signal after the call returns; the limits are read from the reports with
// PostgreSQL's pattern (a report without them gives none); a PDF comes back
// whole.
void ArchivePostgresTest::historySearchesTheLine()
{
    QVERIFY(makeDatabase("history"));
    const ArchiveLocation line = lineDatabase("history");
    const ArchiveLocation local = ArchiveLocation::sqliteFile(m_dir.filePath("history.sqlite"));
    ArchiveStore store(local, "bench-1");
    QVERIFY(store.open());
    QList<RunRecord> runs = {run("B-1", "pass", at(1, 8), 2.5, {-1.25}),
                             run("B-1", "fail", at(1, 9), 7.0), run("B-2", "pass", at(2, 8), 1.0)};
    QJsonObject report = QJsonDocument::fromJson(runs[0].reportJson).object();
    report.insert("limits", QJsonObject{{"leak_mmHg_per_min", 6.5}, {"static_mmHg", 3}});
    runs[0].reportJson = QJsonDocument(report).toJson(QJsonDocument::Indented);
    for (const RunRecord &record : std::as_const(runs))
        QVERIFY2(store.store(record), qPrintable(store.failure().text));
    ArchiveConnection from(local);
    ArchiveConnection to(line);
    Failure why;
    QVERIFY(from.open(ArchiveConnection::Create::ExistingOnly, &why));
    QVERIFY2(to.open(ArchiveConnection::Create::ExistingOnly, &why), qPrintable(why.text));
    int copied = 0;
    QVERIFY2(ArchivePush(from, to).pushAll(copied, &why), qPrintable(why.text));

    HistorySource source(line, "bench-1");
    HistoryAnswer answer;
    int answered = 0;
    connect(&source, &HistorySource::searched, this, [&](int request, const HistoryAnswer &found) {
        answered = request;
        answer = found;
    });
    QString failure;
    connect(&source, &HistorySource::failed, this,
            [&](int, const QString &cause) { failure = cause; });
    RunFilter board;
    board.board = "B-1";
    const int request = source.search(board);
    QCOMPARE(answered, 0);
    QVERIFY2(QTest::qWaitFor([&] { return answered != 0 || !failure.isEmpty(); }, 20000),
             "no answer");
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(answered, request);
    QCOMPARE(answer.found, 2);
    QCOMPARE(answer.runs.size(), 2);
    QCOMPARE(answer.days.size(), 1);
    QCOMPARE(answer.days.at(0).passed, 1);
    QCOMPARE(answer.figures.size(), 2);
    QCOMPARE(answer.figures.at(0).leakLimitMmHgPerMin, std::optional<double>(6.5));
    QCOMPARE(answer.figures.at(0).staticLimitMmHg, std::optional<double>(3.0));
    QCOMPARE(answer.figures.at(0).staticErrorMmHg, std::optional<double>(-1.25));
    QVERIFY(!answer.figures.at(1).leakLimitMmHgPerMin);

    RunPdf pdf;
    connect(&source, &HistorySource::pdfFetched, this,
            [&](int, const RunPdf &fetched) { pdf = fetched; });
    source.fetchPdf(runs.at(1).id.toString(QUuid::WithoutBraces));
    QVERIFY(QTest::qWaitFor([&] { return !pdf.bytes.isEmpty() || !failure.isEmpty(); }, 20000));
    QCOMPARE(pdf.bytes, runs.at(1).pdf);
    QCOMPARE(pdf.board, QString("B-1"));
}

QTEST_GUILESS_MAIN(ArchivePostgresTest)
#include "archive_postgres_test.moc"
