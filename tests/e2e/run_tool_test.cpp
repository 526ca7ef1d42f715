// SPDX-License-Identifier: MIT
// tarnvik-run as a process against a simulated board over a pseudo-terminal
// (the board in this test, the tool its child): what it refuses before it
// opens the device (exit 2, the board given nothing), a run that passes with
// one line per step and its three files, readings typed on its standard
// input as an operator would type them at the prompt, readings that run
// out, a board that does not answer (exit 4) and SIGTERM (Break, exit 3).
// Each run that ends is in the archive (the data folder's by default) before
// the tool ends; an archive that cannot be opened stops the tool before the
// device is opened, and one that cannot store the run (locked by another
// program) gives exit 2 and no verdict.
// The tool's clock is the wall clock, so its plans are short; the verdicts
// of whole plans are plan_over_pty_test's.
#include "archive_connection.h"
#include "archive_query.h"
#include "archive_store.h"
#include "pty_rig.h"
#include "simulated_boards.h"
#include "test_plan.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

constexpr int kPort = 1;
constexpr int kTimeoutMs = 60000;

const char kUnknownKey[] = R"({"plan": "P", "version": "1", "patient": "adult", "limits": {},
 "colour": "red", "steps": [{"series": {"set_point": "120/80", "count": 2, "pause_s": 0}}]})";
const char kSeries[] = R"({"plan": "P", "version": "1", "patient": "adult", "limits": {},
 "steps": [{"series": {"set_point": "120/80", "count": 2, "pause_s": 0.5}}]})";
const char kStatic[] = R"({"plan": "P", "version": "1", "patient": "adult", "limits": {},
 "steps": [{"static": {"points_mmHg": [100, 30]}}]})";

// What the test does while the tool runs.
enum class Operator {
    None,
    HoldPoints,   // brings the pressure to each point asked for
    TypeReadings, // that, and types the gauge's reading when asked
    Terminate,    // SIGTERM once the first step has begun
    LockArchive,  // holds the archive's write lock while the tool runs
};

struct Outcome
{
    int exit = -1;
    QString out;
    QString err;
    QString lastCommand; // the board's last frame, taken or ignored
    bool boardTouched = false;
    QStringList files; // in the output folder
};

// The tool's default archive with XDG_DATA_HOME at `data`.
QString archiveIn(const QDir &data)
{
    return data.filePath("Velsorin/tarnvik/archive.sqlite");
}

} // namespace

Q_DECLARE_METATYPE(Operator)

class RunToolTest : public QObject
{
    Q_OBJECT

private slots:
    void toolRuns_data();
    void toolRuns();
    void printPlan();

private:
    void writeFiles(const QDir &work);
    void checkArchive(const QDir &work);
    void runTool(const QDir &work, SimulatedBoard &board, const QString &device, Outcome &result);
    static void answer(QProcess &tool, SimulatedBoard &board, Operator role, const QString &line);
};

// In `arguments`, {dir} is the output folder and {dev} the board's terminal.
void RunToolTest::toolRuns_data()
{
    QTest::addColumn<QString>("plan"); // written to {dir}/../plan.json
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<Operator>("role");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("err");      // in standard error
    QTest::addColumn<QStringList>("out");  // lines of standard output, from the first
    QTest::addColumn<int>("files");        // written into {dir}
    QTest::addColumn<QString>("archived"); // the verdict of the one run in the archive; "" none

    const QStringList run{"plan.json", "--port", "{dev}", "--board", "SN-7", "-o", "{dir}"};
    QTest::newRow("plan with an unknown key is refused naming it")
        << kUnknownKey << run << false << Operator::None << 2 << "colour: " << QStringList() << 0
        << "";
    QTest::newRow("static step without --reference-from: exit 2 before the port opens")
        << kStatic << run << false << Operator::None << 2 << "--reference-from FILE"
        << QStringList() << 0 << "";
    QTest::newRow("calibration due date that is no date")
        << kSeries << run + QStringList{"--calibration-due", "2027-02-30"} << false
        << Operator::None << 2 << "--calibration-due takes a date as YYYY-MM-DD, not \"2027-02-30\""
        << QStringList() << 0 << "";
    QTest::newRow("option given twice")
        << kSeries << run + QStringList{"--board", "SN-8"} << false << Operator::None << 2
        << "--board is given more than once" << QStringList() << 0 << "";
    QTest::newRow("-o naming a file")
        << kSeries
        << QStringList{"plan.json", "--port", "{dev}", "--board", "SN-7", "-o", "plan.json"}
        << false << Operator::None << 2 << "-o plan.json is no folder" << QStringList() << 0 << "";
    QTest::newRow("readings from a FIFO")
        << kStatic << run + QStringList{"--reference-from", "fifo"} << false << Operator::None << 2
        << "cannot read the readings fifo: it is a FIFO" << QStringList() << 0 << "";
    QTest::newRow("device that does not exist")
        << kSeries
        << QStringList{"plan.json", "--port", "nodevice", "--board", "SN-7", "-o", "{dir}"} << false
        << Operator::None << 2 << "cannot open nodevice" << QStringList() << 0 << "";
    QTest::newRow("series plan passes: a line per step, three files")
        << kSeries << run + QStringList{"--calibration-due", "2027-06-30"} << false
        << Operator::None << 0 << QString()
        << QStringList{"series  PASS        2 of 2 results", "run     PASS", "saved", "saved",
                       "saved"}
        << 3 << "pass";
    QTest::newRow("static points typed on standard input pass")
        << kStatic << run + QStringList{"--reference-from", "-", "--settings", "tarnvik.conf"}
        << false << Operator::TypeReadings << 0 << "Bring the pressure to 30 mmHg and hold it"
        << QStringList{"static  PASS        2 of 2 points", "run     PASS"} << 3 << "pass";
    QTest::newRow("readings that run out leave the run incomplete")
        << kStatic << run + QStringList{"--reference-from", "empty.txt"} << false
        << Operator::HoldPoints << 3 << "no reading for 100 mmHg: empty.txt has no more lines"
        << QStringList{"static  INCOMPLETE"} << 3 << "incomplete";
    QTest::newRow("silent board: the board did not answer, exit 4")
        << kSeries << run << true << Operator::None << 4 << "the board did not answer"
        << QStringList{"series  INCOMPLETE", "run     INCOMPLETE"} << 3 << "incomplete";
    QTest::newRow("SIGTERM sends Break and exits 3")
        << kSeries << run << false << Operator::Terminate << 3 << "SIGTERM: Break"
        << QStringList{"series  INCOMPLETE", "run     INCOMPLETE"} << 3 << "incomplete";
    QTest::newRow("archive that is a folder: exit 2 before the port opens")
        << kSeries << run + QStringList{"--settings", "folder.conf"} << false << Operator::None << 2
        << "the archive cannot be used: cannot open the archive in " << QStringList() << 0 << "";
    // The files are written; the run is not saved without its record.
    QTest::newRow("archive locked by another program: not stored, exit 2, no verdict")
        << kSeries << run << false << Operator::LockArchive << 2
        << "another program holds the archive locked (waited 5 s) (its files are written: "
        << QStringList() << 3 << "";
}

// The operator at the bench reads the tool's standard error.
void RunToolTest::answer(QProcess &tool, SimulatedBoard &board, Operator role, const QString &line)
{
    static const QRegularExpression hold(QStringLiteral("Bring the pressure to (\\d+) mmHg"));
    if (role == Operator::Terminate && line.contains(QLatin1String("step 1 of"))) {
        tool.terminate();
        return;
    }
    if (role != Operator::HoldPoints && role != Operator::TypeReadings)
        return;
    if (const QRegularExpressionMatch match = hold.match(line); match.hasMatch())
        board.holdAt(match.captured(1).toDouble());
    if (role == Operator::TypeReadings && line.contains(QLatin1String("Type the gauge's reading")))
        tool.write(QByteArray::number(board.referenceReading()) + '\n');
}

// The files the rows name, in `work`: the plan, a settings file, an empty
// readings file and a FIFO.
void RunToolTest::writeFiles(const QDir &work)
{
    QFETCH(QString, plan);
    QVERIFY(work.mkdir("out"));
    QFile planFile(work.filePath("plan.json"));
    QVERIFY(planFile.open(QIODevice::WriteOnly) && planFile.write(plan.toUtf8()) > 0);
    QFile settings(work.filePath("tarnvik.conf"));
    QVERIFY(settings.open(QIODevice::WriteOnly) && settings.write("[checks]\nstatic_window_s=1\n"));
    QVERIFY(QFile(work.filePath("empty.txt")).open(QIODevice::WriteOnly));
    QFile folderSettings(work.filePath("folder.conf"));
    QVERIFY(folderSettings.open(QIODevice::WriteOnly) &&
            folderSettings.write("[archive]\ndatabase=sqlite:folder.sqlite\n"));
    QVERIFY(work.mkdir("folder.sqlite"));
    QCOMPARE(::mkfifo(QFile::encodeName(work.filePath("fifo")).constData(), 0600), 0);
}

// The archive holds the row's run, or none.
void RunToolTest::checkArchive(const QDir &work)
{
    QFETCH(QString, archived);
    const QString path = archiveIn(QDir(work.filePath("data")));
    if (archived.isEmpty() && !QFileInfo::exists(path))
        return;
    ArchiveConnection connection(ArchiveLocation::sqliteFile(path));
    Failure why;
    QVERIFY2(connection.open(ArchiveConnection::Create::ExistingOnly, &why), qPrintable(why.text));
    QList<RunSummary> runs;
    QVERIFY2(ArchiveQuery(connection).runs(RunFilter(), runs, &why), qPrintable(why.text));
    QCOMPARE(runs.size(), archived.isEmpty() ? 0 : 1);
    if (archived.isEmpty())
        return;
    QCOMPARE(runs.first().verdict, archived);
    QCOMPARE(runs.first().board, QString("SN-7"));
    QCOMPARE(runs.first().plan, QString("P"));
    // The instrument's calibration due date, as given.
    QFETCH(QStringList, arguments);
    const qsizetype due = arguments.indexOf("--calibration-due");
    QVariantMap row;
    QVERIFY2(ArchiveQuery(connection).run(runs.first().uuid, row, &why), qPrintable(why.text));
    QCOMPARE(row.value("calibration_due").toString(), due < 0 ? QString() : arguments.at(due + 1));
}

// Runs the tool with the row's arguments against `board`, the test at the bench.
void RunToolTest::runTool(const QDir &work, SimulatedBoard &board, const QString &device,
                          Outcome &result)
{
    QFETCH(QStringList, arguments);
    QFETCH(Operator, role);
    arguments.replaceInStrings("{dev}", device);
    arguments.replaceInStrings("{dir}", work.filePath("out"));
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", work.path());         // no settings file of the machine's
    environment.insert("XDG_DATA_HOME", work.filePath("data")); // nor its archive
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    tool.setProcessEnvironment(environment);
    tool.setWorkingDirectory(work.path());
    // Another program's write lock on the archive, held until the tool ends.
    ArchiveConnection holder(ArchiveLocation::sqliteFile(archiveIn(QDir(work.filePath("data")))));
    if (role == Operator::LockArchive) {
        QVERIFY(QDir().mkpath(work.filePath("data/Velsorin/tarnvik")));
        ArchiveStore made(holder.location(), "bench");
        QVERIFY2(made.open(), qPrintable(made.failure().text));
        Failure why;
        QVERIFY2(holder.open(ArchiveConnection::Create::ExistingOnly, &why), qPrintable(why.text));
        QVERIFY(QSqlQuery(holder.database()).exec("BEGIN IMMEDIATE"));
    }
    QString pending;
    connect(&tool, &QProcess::readyReadStandardError, this, [&] {
        const QString text = QString::fromUtf8(tool.readAllStandardError());
        result.err += text;
        pending += text;
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
            answer(tool, board, role, pending.left(end));
    });
    tool.start(QStringLiteral(TARNVIK_RUN_BINARY), arguments);
    QVERIFY(tool.waitForStarted());
    QVERIFY(PtyRig::waitFor([&] { return tool.state() == QProcess::NotRunning; }, kTimeoutMs, 5));
    result.exit = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    result.out = QString::fromUtf8(tool.readAllStandardOutput());
    // A Break sent at the end is on its way over the terminal.
    PtyRig::run(100);
    const QList<SimulatedBoard::Command> taken =
        board.isSilent() ? board.ignoredFrames() : board.commands();
    result.lastCommand = taken.isEmpty() ? QString() : taken.constLast().text;
    result.boardTouched = !board.commands().isEmpty() || !board.ignoredFrames().isEmpty();
    result.files = QDir(work.filePath("out")).entryList(QDir::Files);
}

void RunToolTest::toolRuns()
{
    QFETCH(bool, silent);
    QTemporaryDir dir;
    const QDir work(dir.path());
    writeFiles(work);
    SimulatedBoards boards({kPort});
    QVERIFY(boards.isValid());
    SimulatedBoard &board = boards.board(kPort);
    board.setTimeScale(20);
    board.setFailureRate(0);
    board.setSetPoint(SimulatedBoard::SetPoint{120, 80, 72, 1.0});
    board.setSilent(silent);
    boards.start();
    Outcome result;
    runTool(work, board, boards.devicePaths().at(kPort - 1), result);
    if (QTest::currentTestFailed())
        return;

    QFETCH(int, exit);
    QFETCH(QString, err);
    QFETCH(QStringList, out);
    QFETCH(int, files);
    QVERIFY2(result.exit == exit, qPrintable(result.err));
    QVERIFY2(result.err.contains(err), qPrintable(result.err));
    const QStringList lines = result.out.split('\n');
    for (qsizetype i = 0; i < out.size(); ++i)
        QVERIFY2(lines.value(i).startsWith(out.at(i)), qPrintable(result.out));
    QCOMPARE(result.files.size(), files);
    if (exit == 2)
        QVERIFY2(result.out.isEmpty(), qPrintable(result.out)); // no verdict
    if (exit == 2 && files == 0)
        QVERIFY(!result.boardTouched); // refused before the device was opened
    if (exit == 3 || exit == 4)
        QCOMPARE(result.lastCommand, QString("X"));
    checkArchive(work);
}

// The built-in plan as a file to copy: the same plan, byte for byte.
void RunToolTest::printPlan()
{
    QProcess tool;
    tool.start(QStringLiteral(TARNVIK_RUN_BINARY), {"--print-plan", "standard"});
    QVERIFY(tool.waitForFinished(20000));
    QCOMPARE(tool.exitCode(), 0);
    const TestPlan::Parsed printed = TestPlan::parse(tool.readAllStandardOutput());
    QVERIFY(printed.plan.has_value());
    QCOMPARE(printed.plan->sha256(), TestPlan::standard().sha256());
}

QTEST_MAIN(RunToolTest)
#include "run_tool_test.moc"
