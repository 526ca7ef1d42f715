// SPDX-License-Identifier: MIT
// The local SQLite archive: a stored run reads back as it was given, each
// row is chained in its station's order, a record that is not whole is
// refused with nothing written, verify names the first row changed,
// removed or inserted behind the program's back, and the faults of a bench:
// the file locked by another program, a full disk (a file size limit and,
// as root, a small file system) and kill -9 while runs are committed.
#include "archive_query.h"
#include "archive_store.h"
#include "archive_test_data.h"
#include "chain_verifier.h"
#include "row_content.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <unistd.h>

using namespace archive_test;

namespace {

int count(ArchiveConnection &connection, const QString &table)
{
    QSqlQuery query(connection.database());
    query.exec(QStringLiteral("SELECT count(*) FROM %1").arg(table));
    return query.next() ? query.value(0).toInt() : -1;
}

// What verify finds: the first break's "#seq what", or "" when every chain holds.
QString verified(const QString &file)
{
    ArchiveConnection connection(ArchiveLocation::sqliteFile(file));
    ChainVerifier verifier(connection);
    Failure why;
    if (!connection.open(ArchiveConnection::Create::ExistingOnly, &why) || !verifier.verify(&why))
        return QStringLiteral("unreadable: ") + why.text;
    if (verifier.breaks().isEmpty())
        return QString();
    const ChainBreak &first = verifier.breaks().constFirst();
    return QStringLiteral("#%1 %2 %3").arg(first.seq).arg(first.kind, first.what);
}

} // namespace

class ArchiveStoreTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString file(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void storedRunReadsBack();
    void olderSchemaIsMigrated();
    void figuresAtInsert_data();
    void figuresAtInsert();
    void chainsPerStation();
    void canonicalFormIsFixed();
    void refusals_data();
    void refusals();
    void verifyFindsTampering_data();
    void verifyFindsTampering();
    void lockedByAnotherProgram();
    void fullDisk_data();
    void fullDisk();
    void killedWhileCommitting();
};

void ArchiveStoreTest::storedRunReadsBack()
{
    ArchiveStore store(ArchiveLocation::sqliteFile(file("read.sqlite")), QStringLiteral("bench-1"));
    QVERIFY2(store.open(), qPrintable(store.failure().text));
    RunRecord record = run(QStringLiteral("B-4711"), QStringLiteral("fail"), at(1, 8, 5), 7.2);
    record.planName.clear(); // a free check
    record.pdf += QByteArray("\0\xff\x01", 3);
    QVERIFY2(store.store(record), qPrintable(store.failure().text));

    Failure why;
    QVariantMap row;
    QVERIFY2(
        ArchiveQuery(store.connection()).run(record.id.toString(QUuid::WithoutBraces), row, &why),
        qPrintable(why.text));
    QCOMPARE(row.value("station").toString(), QStringLiteral("bench-1"));
    QCOMPARE(row.value("seq").toLongLong(), 1);
    QCOMPARE(row.value("board").toString(), QStringLiteral("B-4711"));
    QCOMPARE(row.value("calibration_due").toString(), QStringLiteral("2027-06-30"));
    QCOMPARE(row.value("plan_name").toString(), QStringLiteral("free check"));
    QCOMPARE(row.value("started").toString(), QStringLiteral("2026-12-01T08:05:00+01:00"));
    QCOMPARE(row.value("started_ms").toLongLong(), record.started.toMSecsSinceEpoch());
    QCOMPARE(row.value("verdict").toString(), QStringLiteral("fail"));
    QCOMPARE(row.value("report_json").toString().toUtf8(), record.reportJson);
    QCOMPARE(row.value("pdf").toByteArray(), record.pdf);
    QCOMPARE(row.value("prev_sha256").toString(), RowContent::chainStart());
}

// An archive of version 1 (no yield index) opens as version 2 with its runs
// and chain as they were.
void ArchiveStoreTest::olderSchemaIsMigrated()
{
    const QString path = file("older.sqlite");
    const RunRecord record = run(QStringLiteral("B-1"), QStringLiteral("pass"), at(1, 8, 5), 2.0);
    {
        ArchiveStore store(ArchiveLocation::sqliteFile(path), QStringLiteral("bench-1"));
        QVERIFY2(store.open() && store.store(record), qPrintable(store.failure().text));
        QSqlQuery query(store.connection().database());
        QVERIFY(query.exec("DROP INDEX runs_yield"));
        QVERIFY(query.exec("UPDATE archive_schema SET version = 1"));
    }
    ArchiveStore store(ArchiveLocation::sqliteFile(path), QStringLiteral("bench-1"));
    QVERIFY2(store.open(), qPrintable(store.failure().text));
    QSqlQuery query(store.connection().database());
    QVERIFY(query.exec("SELECT version FROM archive_schema") && query.next());
    QCOMPARE(query.value(0).toInt(), 2);
    QVERIFY(query.exec("SELECT count(*) FROM sqlite_master WHERE name = 'runs_yield'") &&
            query.next());
    QCOMPARE(query.value(0).toInt(), 1);
    QVERIFY(query.exec("SELECT count(*) FROM runs") && query.next());
    QCOMPARE(query.value(0).toInt(), 1);
    query.finish();
    QCOMPARE(verified(path), QString());
}

void ArchiveStoreTest::figuresAtInsert_data()
{
    QTest::addColumn<std::optional<double>>("givenLeak");
    QTest::addColumn<std::optional<double>>("givenError");
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QVariant>("leak");
    QTest::addColumn<QVariant>("error");
    const QVariant none;
    QTest::newRow("highest of two leak tests, largest static error keeps its sign")
        << std::optional<double>() << std::optional<double>()
        << QByteArray(R"({"leak_tests":[{"rate_mmHg_per_min":3.1},{"rate_mmHg_per_min":7.2}],
                          "static_points":[{"error_mmHg":2.0},{"error_mmHg":-2.5},{"error_mmHg":1}]})")
        << QVariant(7.2) << QVariant(-2.5);
    QTest::newRow("a leak test without a rate and no static points: none")
        << std::optional<double>() << std::optional<double>()
        << QByteArray(R"({"leak_tests":[{"rate_mmHg_per_min":null}],"static_points":[]})") << none
        << none;
    QTest::newRow("the record's own figures over the report's")
        << std::optional<double>(1.5) << std::optional<double>(0.0)
        << QByteArray(
               R"({"leak_tests":[{"rate_mmHg_per_min":9}],"static_points":[{"error_mmHg":4}]})")
        << QVariant(1.5) << QVariant(0.0);
}

void ArchiveStoreTest::figuresAtInsert()
{
    QFETCH(std::optional<double>, givenLeak);
    QFETCH(std::optional<double>, givenError);
    QFETCH(QByteArray, report);
    RunRecord record = run(QStringLiteral("B-1"), QStringLiteral("pass"), at(2, 9));
    record.leakMmHgPerMin = givenLeak;
    record.staticErrorMmHg = givenError;
    record.reportJson = report;
    const QVariantList values = ArchiveStore::runValues(record, 1, RowContent::chainStart());
    QFETCH(QVariant, leak);
    QFETCH(QVariant, error);
    const QVariant storedLeak =
        values.at(ArchiveSchema::columnIndex(ArchiveSchema::Table::Runs, "leak_mmhg_per_min"));
    const QVariant storedError =
        values.at(ArchiveSchema::columnIndex(ArchiveSchema::Table::Runs, "static_error_mmhg"));
    QCOMPARE(storedLeak.isNull(), leak.isNull());
    QCOMPARE(storedError.isNull(), error.isNull());
    if (!leak.isNull())
        QCOMPARE(storedLeak.toDouble(), leak.toDouble());
    if (!error.isNull())
        QCOMPARE(storedError.toDouble(), error.toDouble());
}

// Runs and acts share their station's numbers; another station has its own chain.
void ArchiveStoreTest::chainsPerStation()
{
    const QString path = file("chain.sqlite");
    ArchiveStore bench1(ArchiveLocation::sqliteFile(path), QStringLiteral("bench-1"));
    ArchiveStore bench2(ArchiveLocation::sqliteFile(path), QStringLiteral("bench-2"));
    QVERIFY(bench1.open() && bench2.open());
    const RunRecord first = run(QStringLiteral("B-1"), QStringLiteral("pass"), at(1, 8));
    QVERIFY2(bench1.store(first), qPrintable(bench1.failure().text));
    QVERIFY2(bench2.store(run(QStringLiteral("B-2"), QStringLiteral("pass"), at(1, 8))),
             qPrintable(bench2.failure().text));
    QVERIFY2(bench1.store(approval(first.id)), qPrintable(bench1.failure().text));
    QVERIFY(bench1.store(run(QStringLiteral("B-1"), QStringLiteral("fail"), at(1, 9))));

    ArchiveConnection connection(ArchiveLocation::sqliteFile(path));
    Failure why;
    QVERIFY(connection.open(ArchiveConnection::Create::ExistingOnly, &why));
    QSqlQuery query(connection.database());
    QVERIFY(query.exec("SELECT station, seq, prev_sha256, content_sha256 FROM runs UNION ALL "
                       "SELECT station, seq, prev_sha256, content_sha256 FROM acts "
                       "ORDER BY 1, 2"));
    QStringList order;
    QMap<QString, QString> last;
    while (query.next()) {
        const QString station = query.value(0).toString();
        order << QStringLiteral("%1#%2").arg(station, query.value(1).toString());
        QCOMPARE(query.value(2).toString(), last.value(station, RowContent::chainStart()));
        last[station] = query.value(3).toString();
    }
    QCOMPARE(order, QStringList({"bench-1#1", "bench-1#2", "bench-1#3", "bench-2#1"}));
    QCOMPARE(verified(path), QString());
}

// The serialisation the chains of every archive are made of: a change here
// would break the chains already stored.
void ArchiveStoreTest::canonicalFormIsFixed()
{
    const QVariantList values = {"u",
                                 "bench-1",
                                 qint64(7),
                                 "r",
                                 "approval",
                                 "Q. Lead",
                                 QString::fromUtf8("gepr\xc3\xbc"
                                                   "ft"),
                                 "",
                                 "2026-12-08T09:00:00+01:00",
                                 RowContent::chainStart()};
    const QByteArray expected = "tarnvik-archive row 1\ntable acts\nuuid 1:u\nstation 7:bench-1\n"
                                "seq 1:7\nrun_uuid 1:r\nkind 8:approval\nauthor 7:Q. Lead\n"
                                "meaning 8:gepr\xc3\xbc"
                                "ft\nnote 0:\n"
                                "acted_at 25:2026-12-08T09:00:00+01:00\nprev_sha256 64:" +
                                RowContent::chainStart().toLatin1() + "\n";
    QCOMPARE(RowContent::serialise(ArchiveSchema::Table::Acts, values), expected);
    QCOMPARE(RowContent::valueBytes(ArchiveSchema::ColumnType::Real, 7.2), QByteArray("7.2"));
    QCOMPARE(RowContent::valueBytes(ArchiveSchema::ColumnType::Real, -0.1), QByteArray("-0.1"));
    QCOMPARE(RowContent::valueBytes(ArchiveSchema::ColumnType::Real, 1e21), QByteArray("1e+21"));
    QVERIFY(
        RowContent::serialise(ArchiveSchema::Table::Runs, {}).contains("leak_mmhg_per_min -\n"));
}

using Change = std::function<void(RunRecord &, ActRecord &)>;
Q_DECLARE_METATYPE(Change)

void ArchiveStoreTest::refusals_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<bool>("act");
    QTest::addColumn<QString>("says");
    const auto row = [](const char *name, Change change, bool act, const char *says) {
        QTest::newRow(name) << change << act << QString::fromUtf8(says);
    };
    row(
        "run without a UUID", [](RunRecord &r, ActRecord &) { r.id = QUuid(); }, false,
        "it has no UUID");
    row(
        "run without a board", [](RunRecord &r, ActRecord &) { r.board = " "; }, false,
        "it names no board");
    row(
        "run without a start", [](RunRecord &r, ActRecord &) { r.started = {}; }, false,
        "no start time");
    row(
        "verdict in capitals", [](RunRecord &r, ActRecord &) { r.verdict = "PASS"; }, false,
        "\"PASS\" is not pass, fail or incomplete");
    row(
        "plan SHA-256 one digit short",
        [](RunRecord &r, ActRecord &) { r.planSha256 = QString(63, QLatin1Char('a')); }, false,
        "64 lowercase hex digits");
    row(
        "steps that are no JSON", [](RunRecord &r, ActRecord &) { r.stepsJson = "[1,"; }, false,
        "its steps is not JSON");
    row(
        "report that is no UTF-8",
        [](RunRecord &r, ActRecord &) { r.reportJson = "{\"a\":\"\xff\"}"; }, false,
        "its JSON report is not JSON text in UTF-8");
    row(
        "NUL in the operator's name (the line's database takes none)",
        [](RunRecord &r, ActRecord &) { r.operatorName = QString(QChar(0)); }, false, "NUL");
    row(
        "a run stored twice", [](RunRecord &, ActRecord &) {}, false, "holds it already");
    row(
        "act on a run the archive does not hold",
        [](RunRecord &, ActRecord &a) { a.run = QUuid::createUuid(); }, true, "no such run");
    row(
        "approval without its meaning", [](RunRecord &, ActRecord &a) { a.meaning = ""; }, true,
        "must say what it means");
    row(
        "empty note", [](RunRecord &, ActRecord &a) { a.kind = ActRecord::Kind::Note; }, true,
        "the note is empty");
}

// A refused record leaves the archive as it was: one run, stored before.
void ArchiveStoreTest::refusals()
{
    QFETCH(Change, change);
    QFETCH(bool, act);
    QFETCH(QString, says);
    const QString path = file(QStringLiteral("refusal-%1.sqlite")
                                  .arg(QTest::currentDataTag())
                                  .replace(QRegularExpression("\\W"), "_"));
    ArchiveStore store(ArchiveLocation::sqliteFile(path), QStringLiteral("bench-1"));
    QVERIFY(store.open());
    RunRecord record = run(QStringLiteral("B-1"), QStringLiteral("pass"), at(1, 8));
    QVERIFY(store.store(record));
    ActRecord acted = approval(record.id);
    change(record, acted);
    QVERIFY(act ? !store.store(acted) : !store.store(record));
    QVERIFY2(store.failure().text.contains(says), qPrintable(store.failure().text));
    QVERIFY2(store.failure().text.contains(path), qPrintable(store.failure().text));
    QCOMPARE(store.failure().kind, Failure::Kind::Refused);
    ArchiveConnection connection(ArchiveLocation::sqliteFile(path));
    Failure why;
    QVERIFY(connection.open(ArchiveConnection::Create::ExistingOnly, &why));
    QCOMPARE(count(connection, "runs") + count(connection, "acts"), 1);
}

void ArchiveStoreTest::verifyFindsTampering_data()
{
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<QString>("finds");
    // Three runs #1, #2, #4 and an act #3 on the first, at station "bench-1".
    QTest::newRow("untouched") << QStringList() << QString();
    QTest::newRow("a run's board changed")
        << QStringList{"UPDATE runs SET board = 'B-9' WHERE seq = 2"} << "#2 run was changed";
    QTest::newRow("a run's PDF changed")
        << QStringList{"UPDATE runs SET pdf = x'00' WHERE seq = 4"} << "#4 run was changed";
    QTest::newRow("an act's meaning changed")
        << QStringList{"UPDATE acts SET meaning = 'scrap' WHERE seq = 3"} << "#3 act was changed";
    QTest::newRow("a run changed and sealed again: the next row does not follow")
        << QStringList{"UPDATE runs SET board = 'B-9' WHERE seq = 2", "RESEAL 2"}
        << "#3 act does not follow";
    QTest::newRow("a middle row removed")
        << QStringList{"DELETE FROM runs WHERE seq = 2"} << "#3 act row #2 before it is missing";
    QTest::newRow("two rows removed")
        << QStringList{"DELETE FROM runs WHERE seq = 2", "DELETE FROM acts WHERE seq = 3"}
        << "#4 run rows #2 to #3 before it are missing";
    QTest::newRow("the first row removed")
        << QStringList{"DELETE FROM runs WHERE seq = 1"} << "#2 run row #1 before it is missing";
    QTest::newRow("a row inserted under a number taken")
        << QStringList{"INSERT INTO acts SELECT 'forged', station, 2, run_uuid, kind, author, "
                       "meaning, note, acted_at, prev_sha256, content_sha256 FROM acts"}
        << "#2 act its number #2 is taken already";
}

void ArchiveStoreTest::verifyFindsTampering()
{
    QFETCH(QStringList, statements);
    QFETCH(QString, finds);
    const QString path = file(QStringLiteral("tamper-%1.sqlite")
                                  .arg(QTest::currentDataTag())
                                  .replace(QRegularExpression("\\W"), "_"));
    ArchiveStore store(ArchiveLocation::sqliteFile(path), QStringLiteral("bench-1"));
    QVERIFY(store.open());
    const RunRecord first = run(QStringLiteral("B-1"), QStringLiteral("pass"), at(1, 8));
    QVERIFY(store.store(first));
    QVERIFY(store.store(run(QStringLiteral("B-2"), QStringLiteral("fail"), at(1, 9))));
    QVERIFY(store.store(approval(first.id)));
    QVERIFY(store.store(run(QStringLiteral("B-3"), QStringLiteral("pass"), at(1, 10))));
    {
        ArchiveConnection connection(ArchiveLocation::sqliteFile(path));
        Failure why;
        QVERIFY(connection.open(ArchiveConnection::Create::ExistingOnly, &why));
        for (const QString &statement : statements) {
            QSqlQuery query(connection.database());
            if (!statement.startsWith("RESEAL")) {
                QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
                continue;
            }
            // Seals the run numbered N again, as one who knows the format would.
            QVERIFY(query.exec(QStringLiteral("SELECT %1 FROM runs WHERE seq = %2")
                                   .arg(ArchiveSchema::columnList(ArchiveSchema::Table::Runs),
                                        statement.section(' ', 1))));
            QVERIFY(query.next());
            QVariantList values;
            for (int i = 0; i < ArchiveSchema::columns(ArchiveSchema::Table::Runs).size(); ++i)
                values << query.value(i);
            const QString uuid = values.at(0).toString();
            query.finish();
            QVERIFY(
                query.exec(QStringLiteral("UPDATE runs SET content_sha256 = '%1' WHERE uuid = '%2'")
                               .arg(RowContent::sha256(ArchiveSchema::Table::Runs, values), uuid)));
        }
    }
    const QString found = verified(path);
    if (finds.isEmpty())
        QCOMPARE(found, QString());
    else
        QVERIFY2(found.startsWith(finds), qPrintable(found));
}

// Another program holds the write lock: the store waits its busy timeout,
// then fails naming the lock and stores nothing; once the lock goes, it stores.
void ArchiveStoreTest::lockedByAnotherProgram()
{
    const QString path = file("locked.sqlite");
    ArchiveStore store(ArchiveLocation::sqliteFile(path), QStringLiteral("bench-1"));
    store.setBusyTimeoutMs(300);
    QVERIFY(store.open());
    QVERIFY(store.store(run(QStringLiteral("B-1"), QStringLiteral("pass"), at(1, 8))));
    QProcess holder;
    holder.start(ARCHIVE_CHILD, {"hold-lock", path});
    QVERIFY(holder.waitForReadyRead(10000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("locked"));

    QElapsedTimer waited;
    waited.start();
    QVERIFY(!store.store(run(QStringLiteral("B-2"), QStringLiteral("pass"), at(1, 9))));
    QVERIFY(waited.elapsed() >= 250);
    QVERIFY2(
        store.failure().text.contains("another program holds the archive locked (waited 0.3 s)"),
        qPrintable(store.failure().text));
    QCOMPARE(store.failure().kind, Failure::Kind::InUse);
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));
    QCOMPARE(holder.exitCode(), 0);
    QVERIFY2(store.store(run(QStringLiteral("B-3"), QStringLiteral("pass"), at(1, 10))),
             qPrintable(store.failure().text));
    QCOMPARE(verified(path), QString());
}

void ArchiveStoreTest::fullDisk_data()
{
    QTest::addColumn<bool>("smallFileSystem");
    QTest::addColumn<QString>("cause");
    QTest::newRow("file size limit (ulimit -f)") << false << "may write files of at most 1048576";
    QTest::newRow("small file system (root only)") << true << "database or disk is full";
}

// Runs stored until the disk takes no more: the one that failed names the
// cause, is a NoSpace failure (a file size limit comes as an I/O error from
// SQLite) and left nothing; every run before it is whole and chained.
void ArchiveStoreTest::fullDisk()
{
    QFETCH(bool, smallFileSystem);
    QFETCH(QString, cause);
    QProcess child;
    if (smallFileSystem) {
        if (::geteuid() != 0 || QStandardPaths::findExecutable("unshare").isEmpty())
            QSKIP("a file system of its own needs root and unshare");
        const QString mount = m_dir.filePath("small");
        QDir().mkpath(mount);
        child.start("unshare", {"-m", "sh", "-c",
                                "mount -t tmpfs -o size=1m tmpfs \"$1\" && exec \"$2\" fill "
                                "\"$1/a.sqlite\" 0 65536",
                                "sh", mount, ARCHIVE_CHILD});
    } else {
        child.start(ARCHIVE_CHILD, {"fill", file("limited.sqlite"), "1048576", "65536"});
    }
    QVERIFY(child.waitForFinished(60000));
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    if (smallFileSystem && child.exitCode() != 0 && out.isEmpty())
        QSKIP(qPrintable("no tmpfs could be mounted: " + child.readAllStandardError()));
    QCOMPARE(child.exitCode(), 0);
    const QRegularExpressionMatch stored = QRegularExpression("stored (\\d+)").match(out);
    QVERIFY2(stored.hasMatch() && stored.captured(1).toInt() > 0, qPrintable(out));
    QVERIFY2(stored.captured(1).toInt() < 2000, qPrintable(out));
    QVERIFY2(out.contains(cause), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("kind %1\n").arg(int(Failure::Kind::NoSpace))),
             qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("rows %1 breaks 0 runs %1").arg(stored.captured(1))),
             qPrintable(out));
}

// kill -9 at random moments of a program storing runs in a loop: each time,
// every run it was told was stored is there, and the chain holds.
void ArchiveStoreTest::killedWhileCommitting()
{
    const QString path = file("killed.sqlite");
    QStringList told;
    for (int round = 0; round < 5; ++round) {
        QProcess child;
        child.start(ARCHIVE_CHILD, {"store-loop", path, "bench-1", "200000"});
        QVERIFY(child.waitForStarted());
        const int runs = 2 + QRandomGenerator::global()->bounded(6);
        for (int i = 0; i < runs; ++i) {
            while (!child.canReadLine())
                QVERIFY2(child.waitForReadyRead(20000), child.readAllStandardError().constData());
            told << QString::fromUtf8(child.readLine().trimmed());
        }
        QThread::usleep(QRandomGenerator::global()->bounded(20000));
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        while (child.canReadLine())
            told << QString::fromUtf8(child.readLine().trimmed());
    }
    QCOMPARE(verified(path), QString());
    ArchiveConnection connection(ArchiveLocation::sqliteFile(path));
    Failure why;
    QVERIFY(connection.open(ArchiveConnection::Create::ExistingOnly, &why));
    QSqlQuery query(connection.database());
    QVERIFY(query.exec("SELECT uuid FROM runs"));
    QStringList stored;
    while (query.next())
        stored << query.value(0).toString();
    for (const QString &uuid : std::as_const(told))
        QVERIFY2(stored.contains(uuid), qPrintable(uuid + " was stored, then lost"));
    QVERIFY(stored.size() >= told.size());
}

QTEST_GUILESS_MAIN(ArchiveStoreTest)
#include "archive_store_test.moc"
