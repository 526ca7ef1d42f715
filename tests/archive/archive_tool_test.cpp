// SPDX-License-Identifier: MIT
// tarnvik-archive as a QA lead or a script runs it, on a SQLite archive of
// three runs and an approval: the exit status (0 done, 1 a broken chain, 2 a
// bad command line or an archive that cannot be read) and what it says for
// each command; list --json and export read back; the PDF written whole and
// read back by its text, never through a link, onto a FIFO or the archive.
#include "archive_store.h"
#include "archive_test_data.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace archive_test;

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Result
{
    int status = -1;
    QString out;
    QString err;
};

} // namespace

class ArchiveToolTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_archive;
    QStringList m_ids;

    Result tool(const QStringList &arguments, const QString &settings = QString())
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        environment.insert("XDG_DATA_HOME", m_dir.filePath("data"));
        process.setProcessEnvironment(environment);
        process.start(ARCHIVE_TOOL,
                      (settings.isEmpty() ? QStringList() : QStringList{"--settings", settings}) +
                          arguments);
        if (!process.waitForFinished(30000))
            return {};
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

private slots:
    void initTestCase();
    void commandLine_data();
    void commandLine();
    void listJson();
    void exportReadsBack();
    void pdf_data();
    void pdf();
    void verifyFindsAChange();
};

void ArchiveToolTest::initTestCase()
{
    m_archive = m_dir.filePath("runs.sqlite");
    ArchiveStore store(ArchiveLocation::sqliteFile(m_archive), "bench-1");
    QVERIFY(store.open());
    const QList<RunRecord> runs = {run("B-1", "pass", at(1, 8), 2.5),
                                   run("B-1", "fail", at(2, 8), 7.5),
                                   run("=HYPERLINK(1)", "pass", at(3, 8))};
    for (const RunRecord &record : runs) {
        QVERIFY(store.store(record));
        m_ids << record.id.toString(QUuid::WithoutBraces);
    }
    QVERIFY(store.store(approval(runs.at(0).id)));
    QFile settings(m_dir.filePath("sqlite.conf"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[archive]\ndatabase=sqlite:runs.sqlite\n");
}

// ARCHIVE stands for sqlite:runs.sqlite, RUN1 for the first 8 characters
// of the first run's UUID.
void ArchiveToolTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    const auto row = [](const char *name, const QStringList &arguments, int status,
                        const char *says, const char *settings = "") {
        QTest::newRow(name) << arguments << QString::fromLatin1(settings) << status
                            << QString::fromUtf8(says);
    };
    const QString db = "--database";
    row("no command", {db, "ARCHIVE"}, 2, "give a command");
    row("unknown command", {db, "ARCHIVE", "lsit"}, 2, "unknown command \"lsit\"");
    row("an option twice", {db, "ARCHIVE", "list", "--board", "B-1", "--board", "B-2"}, 2,
        "--board is given more than once");
    row("--database twice", {db, "ARCHIVE", db, "ARCHIVE", "list"}, 2,
        "--database is given more than once");
    row("an option of another command", {db, "ARCHIVE", "verify", "--json"}, 2,
        "verify takes no --json");
    row("show without a run", {db, "ARCHIVE", "show"}, 2, "show takes one run");
    row("list with an argument", {db, "ARCHIVE", "list", "B-1"}, 2, "list takes no argument");
    row("a day that is no date", {db, "ARCHIVE", "list", "--since", "2026-13-01"}, 2,
        "--since 2026-13-01 is no date");
    row("verdict in capitals", {db, "ARCHIVE", "list", "--verdict", "PASS"}, 2,
        "--verdict PASS is not pass");
    row("export without a format", {db, "ARCHIVE", "export"}, 2, "one of --csv and --json");
    row("export in two formats", {db, "ARCHIVE", "export", "--csv", "--json"}, 2,
        "one of --csv and --json");
    row("a password in --database", {db, "postgresql://qa:pw@db/tarnvik", "list"}, 2,
        "holds a password");
    row("an archive that is not there", {db, "sqlite:none.sqlite", "list"}, 2,
        "there is no archive");
    row("an archive that is a folder", {db, "sqlite:.", "list"}, 2, "it is a folder");
    row("a settings file that is not there", {"list"}, 2, "does not exist", "missing.conf");
    row("list", {db, "ARCHIVE", "list"}, 0, "=HYPERLINK(1)");
    row("list from the settings file's archive", {"list", "--verdict", "fail"}, 0, "FAIL",
        "sqlite.conf");
    row("list since a day: its start included", {db, "ARCHIVE", "list", "--since", "2026-12-03"}, 0,
        "HYPERLINK");
    row("show by the start of the UUID", {db, "ARCHIVE", "show", "RUN1"}, 0,
        "approval by Q. Lead at 2026-12-08T09:00:00+01:00");
    row("show a run that is not there", {db, "ARCHIVE", "show", "00000000"}, 2,
        "holds no run 00000000");
    row("show by 7 characters", {db, "ARCHIVE", "show", "0000000"}, 2, "first 8 or more");
    row("verify", {db, "ARCHIVE", "verify"}, 0,
        "4 row(s) of 1 station(s) checked; every chain holds");
    row("push without a line database", {db, "ARCHIVE", "push"}, 2, "no line database");
    row("push with nothing stored yet",
        {db, "postgresql://bench@/tarnvik?host=/nonexistent", "push"}, 0,
        "nothing to push: there is no archive");
    row("push to a line database that is down",
        {db, "postgresql://bench@/tarnvik?host=/nonexistent", "push"}, 2,
        "postgresql://bench@/tarnvik?host=/nonexistent cannot be reached", "sqlite.conf");
    row("init of an archive that exists", {db, "ARCHIVE", "init"}, 0, "schema version 2");
    row("help", {"--help"}, 0, "Exit status: 0 done, 1 verify found");
    row("version", {"--version"}, 0, "tarnvik-archive 1.0.1");
}

void ArchiveToolTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, settings);
    QFETCH(int, status);
    QFETCH(QString, says);
    arguments.replaceInStrings("ARCHIVE", "sqlite:" + m_archive);
    arguments.replaceInStrings("RUN1", m_ids.constFirst().left(8));
    const Result result =
        tool(arguments, settings.isEmpty() ? QString() : m_dir.filePath(settings));
    const QString all = result.out + result.err;
    QCOMPARE(result.status, status);
    QVERIFY2(all.contains(says), qPrintable(all));
    if (status == 2)
        QVERIFY2(result.err.startsWith("tarnvik-archive: "), qPrintable(result.err));
}

void ArchiveToolTest::listJson()
{
    const Result result =
        tool({"--database", "sqlite:" + m_archive, "list", "--board", "B-1", "--json"});
    QCOMPARE(result.status, 0);
    const QJsonArray runs = QJsonDocument::fromJson(result.out.toUtf8()).array();
    QCOMPARE(runs.size(), 2);
    const QJsonObject first = runs.at(0).toObject();
    QCOMPARE(first.value("id").toString(), m_ids.at(0));
    QCOMPARE(first.value("board").toString(), QStringLiteral("B-1"));
    QCOMPARE(first.value("station").toString(), QStringLiteral("bench-1"));
    QCOMPARE(first.value("plan").toString(), QStringLiteral("Standard NIBP bench check"));
    QCOMPARE(first.value("started").toString(), QStringLiteral("2026-12-01T08:00:00+01:00"));
    QCOMPARE(first.value("verdict").toString(), QStringLiteral("pass"));
    QCOMPARE(runs.at(1).toObject().value("leak_mmHg_per_min").toDouble(), 7.5);
}

// CSV for a spreadsheet: quoted where needed, a formula-like cell defused,
// numbers as they are; JSON with the report inside.
void ArchiveToolTest::exportReadsBack()
{
    const Result csv = tool({"--database", "sqlite:" + m_archive, "export", "--csv"});
    QCOMPARE(csv.status, 0);
    const QStringList lines = csv.out.split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.at(0).startsWith("uuid,station,seq,board,"));
    QVERIFY2(lines.at(3).contains(",'=HYPERLINK(1),"), qPrintable(lines.at(3)));
    QVERIFY2(lines.at(2).contains(",2026-12-02T08:00:00+01:00,"), qPrintable(lines.at(2)));
    QVERIFY2(lines.at(2).contains(",fail,7.5,"), qPrintable(lines.at(2)));

    const Result json = tool({"--database", "sqlite:" + m_archive, "export", "--json", "--since",
                              "2026-12-02T08:00:00+01:00"});
    QCOMPARE(json.status, 0);
    const QJsonArray runs = QJsonDocument::fromJson(json.out.toUtf8()).array();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs.at(0).toObject().value("id").toString(), m_ids.at(1));
    QCOMPARE(runs.at(0).toObject().value("report").toObject().value("verdict").toString(),
             QStringLiteral("fail"));
    QVERIFY(runs.at(0).toObject().value("pdf_bytes").toInt() > 500);
}

void ArchiveToolTest::pdf_data()
{
    QTest::addColumn<QString>("setup"); // what is at the PDF's name before
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::newRow("a new file") << "nothing" << 0 << "";
    QTest::newRow("a file there is replaced") << "file" << 0 << "";
    QTest::newRow("a symbolic link to a file is refused") << "link" << 2 << "symbolic link";
    QTest::newRow("a FIFO is refused, not opened") << "fifo" << 2 << "it is a FIFO";
    QTest::newRow("a device is refused (root: a copy of /dev/null)")
        << "device" << 2 << "it is a device";
    QTest::newRow("a folder is refused") << "folder" << 2 << "it is a folder";
    QTest::newRow("the archive itself is refused") << "archive" << 2 << "the archive's own file";
    QTest::newRow("the archive's WAL is refused") << "wal" << 2 << "the archive's own file";
    QTest::newRow("a folder that is not there") << "no-folder" << 2 << "does not exist";
}

void ArchiveToolTest::pdf()
{
    QFETCH(QString, setup);
    QFETCH(int, status);
    QFETCH(QString, says);
    QTemporaryDir folder(m_dir.filePath("pdf-XXXXXX"));
    QString target = folder.filePath("run.pdf");
    const QString other = folder.filePath("other.txt");
    {
        QFile file(other);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    const QByteArray name = QFile::encodeName(target);
    if (setup == "file") {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old");
    } else if (setup == "link") {
        QVERIFY(QFile::link(other, target));
    } else if (setup == "fifo") {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    } else if (setup == "device") {
        if (::geteuid() != 0)
            QSKIP("making a device needs root");
        QCOMPARE(::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    } else if (setup == "folder") {
        QVERIFY(QDir().mkdir(target));
    } else if (setup == "archive" || setup == "wal") {
        target = m_archive + (setup == "wal" ? "-wal" : "");
    } else if (setup == "no-folder") {
        target = folder.filePath("missing/run.pdf");
    }
    const QByteArray archiveBefore = contentOf(m_archive);
    const Result result =
        tool({"--database", "sqlite:" + m_archive, "show", m_ids.at(1), "--pdf", target});
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.contains(says), qPrintable(result.err));
    QDir dir(folder.path());
    const QStringList left =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QVERIFY2(left.filter(QRegularExpression("^\\.")).isEmpty(), qPrintable(left.join(' ')));
    QCOMPARE(contentOf(other), QByteArray("keep me"));
    QCOMPARE(contentOf(m_archive), archiveBefore);
    if (status != 0)
        return;
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) reads the PDF back");
    QProcess text;
    text.start(pdftotext, {target, "-"});
    QVERIFY(text.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(text.readAllStandardOutput()).trimmed(),
             QStringLiteral("Board B-1 FAIL"));
}

// A verdict changed behind the program's back: verify names the run, exit 1.
void ArchiveToolTest::verifyFindsAChange()
{
    const QString copy = m_dir.filePath("changed.sqlite");
    QVERIFY(QFile::copy(m_archive, copy));
    {
        ArchiveConnection connection(ArchiveLocation::sqliteFile(copy));
        Failure why;
        QVERIFY(connection.open(ArchiveConnection::Create::ExistingOnly, &why));
        QSqlQuery query(connection.database());
        QVERIFY(query.exec("UPDATE runs SET verdict = 'pass' WHERE seq = 2"));
    }
    const Result result = tool({"--database", "sqlite:" + copy, "verify"});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.out.contains(
                 QStringLiteral("station bench-1, run %1 (#2) was changed").arg(m_ids.at(1))),
             qPrintable(result.out));
    QVERIFY2(result.out.contains("1 chain(s) broken"), qPrintable(result.out));
}

QTEST_GUILESS_MAIN(ArchiveToolTest)
#include "archive_tool_test.moc"
