// SPDX-License-Identifier: MIT
// The parts a test plan's run is made of, each on its own: when the hold
// watch takes the board for steady near a point (on each side of the spread
// and the near limit, and of its time to get there), the reports folder the
// settings file names, the run's trace keeping its beginning when it grows
// too long (and saying what it dropped), and the run's files: the board ID
// made safe for a file name, a name nothing has yet, the files read back.
// And the runner on the in-memory port, the board's lines given by hand:
// every run it will not start, and a port lost in a run. And the run's
// record in the archive, read back: stored after the files, or the save
// failed when it cannot be stored.
// every run it will not start, a port lost in a run, and a static point the
// board never reads near.
#include "bench_core.h"
#include "checks_engine.h"
#include "command_frame.h"
#include "hold_watch.h"
#include "memory_serial_port.h"
#include "plain_file_check.h"
#include "plan_runner.h"
#include "port_map.h"
#include "reports_folder.h"
#include "run_files.h"
#include "run_trace.h"
#include "trace_reader.h"
#include "traffic_recorder.h"
#ifdef TARNVIK_ARCHIVE
#include "archive_query.h"
#include "archive_store.h"
#include "run_archiver.h"
#endif

#include <QBuffer>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDateTime kStarted(QDate(2026, 12, 7), QTime(13, 5, 9), Qt::UTC);

const char kSeries[] = R"({"plan": "Series", "version": "1", "patient": "adult", "limits": {},
 "steps": [{"series": {"set_point": "120/80", "count": 2, "pause_s": 0}}]})";
const char kStatic[] = R"({"plan": "Static", "version": "1", "patient": "adult", "limits": {},
 "steps": [{"static": {"points_mmHg": [150, 50]}}]})";

PlanRunner::Files saveRun(const QString &folder, const CheckReport &report, const QByteArray &trace,
                          const QDateTime &started)
{
    const RunFiles::Written w = RunFiles::save(folder, report, trace, started, started);
    return PlanRunner::Files{w.pdf, w.json, w.trace, w.failure};
}

// A started core on the in-memory port (COM1 open unless `portOpen` is false).
struct MemoryBench
{
    explicit MemoryBench(bool portOpen = true)
    {
        auto owned = std::make_unique<MemorySerialPort>();
        if (!portOpen)
            owned->setOnlyOpenable({});
        port = owned.get();
        core.recorder().setClock([this] { return ms; });
        core.start(std::move(owned), PortMap(), QString());
    }
    QStringList frames() const
    {
        QStringList texts;
        for (const QByteArray &frame : port->written().split('\x03'))
            if (!frame.isEmpty())
                texts << QString::fromLatin1(CommandFrame::text(frame + '\x03'));
        return texts;
    }

    BenchCore core;
    MemorySerialPort *port = nullptr;
    qint64 ms = 0; // the recorder's clock
};

} // namespace

class RunPartsTest : public QObject
{
    Q_OBJECT

private slots:
    void holdWatch_data();
    void holdWatch();
    void runTraceKeepsItsBeginning();
    void safeBoard_data();
    void safeBoard();
    void filesTakeAFreeName_data();
    void filesTakeAFreeName();
    void filesNeedAFolder();
    void reportsFolder_data();
    void reportsFolder();
    void startRefused_data();
    void startRefused();
    void runEndsWhenThePortCloses();
#ifdef TARNVIK_ARCHIVE
    void archivedRun_data();
    void archivedRun();
#endif
    void staticPointGivenUp();
};

// Readings 250 ms apart from 0 ms; the point is 150 mmHg; the limits are
// the defaults (window 2 s, spread 2 mmHg, static 3 mmHg: near 10 mmHg).
void RunPartsTest::holdWatch_data()
{
    QTest::addColumn<QList<int>>("readings");
    QTest::addColumn<double>("staticMmHg");
    QTest::addColumn<bool>("steady");
    QTest::addColumn<bool>("near");
    QTest::addColumn<bool>("overdue"); // more than 120 s since the restart at 0 ms

    const QList<int> still(9, 150); // 0 .. 2000 ms
    QTest::newRow("2 s at 150 is steady near 150") << still << 3.0 << true << true << false;
    QTest::newRow("1.75 s is short of the window")
        << QList<int>(8, 150) << 3.0 << false << false << false;
    QList<int> spread2 = still;
    spread2[8] = 152;
    QTest::newRow("spread of 2 mmHg is steady") << spread2 << 3.0 << true << true << false;
    QList<int> spread3 = still;
    spread3[8] = 153;
    QTest::newRow("spread of 3 mmHg is not") << spread3 << 3.0 << false << false << false;
    QList<int> farEdge = still;
    farEdge[0] = 153;
    QTest::newRow("a reading on the window's far edge counts: 3 mmHg off there is not steady")
        << farEdge << 3.0 << false << false << false;
    QList<int> climbed = QList<int>{40, 60, 80, 100} + still;
    QTest::newRow("a climb before the last window is forgotten")
        << climbed << 3.0 << true << true << false;
    QTest::newRow("10 mmHg off is near") << QList<int>(9, 160) << 3.0 << true << true << false;
    QTest::newRow("11 mmHg off is not near") << QList<int>(9, 139) << 3.0 << true << false << false;
    QTest::newRow("11 mmHg off is near when the static limit is 4 (near 12)")
        << QList<int>(9, 161) << 4.0 << true << true << false;
    const QList<int> far(481, 100); // 0 .. 120 s
    QTest::newRow("120 s short of the point is not overdue")
        << far << 3.0 << true << false << false;
    QTest::newRow("120.25 s short of the point is overdue")
        << (far + QList<int>{100}) << 3.0 << true << false << true;
}

void RunPartsTest::holdWatch()
{
    QFETCH(QList<int>, readings);
    QFETCH(double, staticMmHg);
    QFETCH(bool, steady);
    QFETCH(bool, near);
    CheckLimits limits;
    limits.staticMmHg = staticMmHg;
    HoldWatch watch(limits);
    watch.restart(0);
    for (qsizetype i = 0; i < readings.size(); ++i)
        watch.reading(i * 250, readings.at(i));
    QCOMPARE(watch.isSteady(), steady);
    QCOMPARE(watch.isSteadyNear(150), near);
    QFETCH(bool, overdue);
    QCOMPARE(watch.isOverdue(), overdue);
}

// Past its bytes the trace keeps its beginning and ends with the count of
// what it dropped, which the checks read as lost traffic.
void RunPartsTest::runTraceKeepsItsBeginning()
{
    TrafficRecorder recorder;
    qint64 ms = 0;
    recorder.setClock([&ms] { return ms; });
    RunTrace trace(recorder, 200);
    for (int i = 0; i < 20; ++i) {
        ms += 250;
        recorder.received(QStringLiteral("COM1"), "\x02"
                                                  "150\r");
    }
    QByteArray text = trace.take();
    QBuffer buffer(&text);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    int skipped = -1;
    std::optional<TraceHeader> header;
    const QList<TrafficEntry> entries = TraceReader::read(buffer, &skipped, &header);
    QVERIFY(header.has_value());
    QCOMPARE(skipped, 0);
    QVERIFY(text.size() <= 200 + 60);
    QCOMPARE(entries.constFirst().ms, 250);
    QCOMPARE(entries.constLast().kind, QString("dropped %1 trace lines").arg(trace.droppedLines()));
    QCOMPARE(entries.constLast().ms, 20 * 250);
    QCOMPARE(entries.size() - 1 + trace.droppedLines(), 20);
    ChecksEngine engine;
    for (const TrafficEntry &entry : entries)
        engine.feed(entry);
    QCOMPARE(engine.report().gaps.size(), 1);
}

void RunPartsTest::safeBoard_data()
{
    QTest::addColumn<QString>("board");
    QTest::addColumn<QString>("safe");
    QTest::newRow("plain ID kept") << "SN-0412_b.1"
                                   << "SN-0412_b.1";
    QTest::newRow("slashes and spaces are no path") << "SN 04/12\\x"
                                                    << "SN_04_12_x";
    QTest::newRow("parent folder is no path") << "../../etc/passwd"
                                              << "_._.._etc_passwd";
    QTest::newRow("leading dot is not hidden") << ".profile"
                                               << "_profile";
    QTest::newRow("leading minus is no option") << "-rf"
                                                << "_rf";
    QTest::newRow("ends of the letters and digits kept") << "AZaz09"
                                                         << "AZaz09";
    QTest::newRow("letters beyond ASCII become _") << QString::fromUtf8("Größe") << "Gr__e";
    QTest::newRow("blank is board") << "  "
                                    << "board";
    QTest::newRow("long ID cut to 64") << QString(80, 'A') << QString(64, 'A');
}

void RunPartsTest::safeBoard()
{
    QFETCH(QString, board);
    QFETCH(QString, safe);
    QCOMPARE(RunFiles::safeBoard(board), safe);
    QCOMPARE(RunFiles::stem(board, kStarted), safe + "-20261207T130509Z");
}

// `taken` is what is in the folder under the run's name before it is saved;
// `earlier`, how many earlier runs left their PDFs under it, -2, -3, ...
void RunPartsTest::filesTakeAFreeName_data()
{
    QTest::addColumn<QString>("taken");
    QTest::addColumn<int>("earlier");
    QTest::addColumn<QString>("expected"); // the name the files get; empty: refused
    QTest::newRow("free name") << "" << 0 << "SN-1-20261207T130509Z";
    QTest::newRow("earlier run's PDF: -2")
        << "SN-1-20261207T130509Z.pdf" << 0 << "SN-1-20261207T130509Z-2";
    QTest::newRow("link to nowhere at the trace: -2")
        << "SN-1-20261207T130509Z.trace@" << 0 << "SN-1-20261207T130509Z-2";
    QTest::newRow("folder at the JSON: -2")
        << "SN-1-20261207T130509Z.json/" << 0 << "SN-1-20261207T130509Z-2";
    QTest::newRow("99 earlier runs: the last name tried, -100")
        << "" << 99 << "SN-1-20261207T130509Z-100";
    QTest::newRow("100 earlier runs: refused") << "" << 100 << "";
}

void RunPartsTest::filesTakeAFreeName()
{
    QFETCH(QString, taken);
    QFETCH(int, earlier);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QDir folder(dir.path());
    for (int n = 1; n <= earlier; ++n) {
        const QString stem =
            "SN-1-20261207T130509Z" + (n == 1 ? QString() : '-' + QString::number(n));
        QVERIFY(QFile(folder.filePath(stem + ".pdf")).open(QIODevice::WriteOnly));
    }
    if (taken.endsWith('@'))
        QVERIFY(QFile::link(dir.filePath("nowhere"), folder.filePath(taken.chopped(1))));
    else if (taken.endsWith('/'))
        QVERIFY(folder.mkdir(taken.chopped(1)));
    else if (!taken.isEmpty())
        QVERIFY(QFile(folder.filePath(taken)).open(QIODevice::WriteOnly));
    CheckReport report;
    report.session.board = "SN-1";
    report.verdict = Verdict::Pass;
    const QByteArray trace = "# tarnvik 1.0.1 trace started 2026-12-07T13:05:09+00:00\n";
    const RunFiles::Written written = RunFiles::save(dir.path(), report, trace, kStarted, kStarted);
    if (expected.isEmpty()) {
        QCOMPARE(written.failure.text, QString("%1 holds files of the names SN-1-20261207T130509Z "
                                               "to SN-1-20261207T130509Z-100 already")
                                           .arg(QDir::toNativeSeparators(dir.path())));
        QCOMPARE(written.failure.kind, Failure::Kind::InUse);
        QVERIFY(written.trace.isEmpty() && written.pdf.isEmpty());
        QCOMPARE(folder.entryList(QDir::Files).size(), earlier);
        return;
    }
    QVERIFY2(!written.failure.failed(), qPrintable(written.failure.text));
    QCOMPARE(written.pdf, folder.filePath(expected + ".pdf"));
    QCOMPARE(written.json, folder.filePath(expected + ".json"));
    QCOMPARE(written.trace, folder.filePath(expected + ".trace"));
    QFile traceFile(written.trace);
    QVERIFY(traceFile.open(QIODevice::ReadOnly));
    QCOMPARE(traceFile.readAll(), trace);
    QFile json(written.json);
    QVERIFY(json.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(json.readAll()).object().value("board").toString(),
             QString("SN-1"));
    QProcess text;
    text.start("pdftotext", {written.pdf, "-"});
    QVERIFY(text.waitForFinished(20000));
    QVERIFY(text.readAllStandardOutput().contains("SN-1"));
    QVERIFY(PlainFileCheck(folder.filePath("nowhere")).kind() == PlainFileCheck::Kind::Missing);
    QCOMPARE(folder.entryList(QDir::Hidden | QDir::Files).filter(QRegularExpression("^\\.")),
             QStringList()); // no temporary file is left
}

void RunPartsTest::filesNeedAFolder()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("reports");
    const RunFiles::Written written =
        RunFiles::save(missing, CheckReport(), {}, kStarted, kStarted);
    QCOMPARE(written.failure.text, QString("the reports folder %1 is no folder").arg(missing));
    QCOMPARE(written.failure.kind, Failure::Kind::NotFound);
    QVERIFY(written.trace.isEmpty() && written.pdf.isEmpty());
    QVERIFY(!QFileInfo::exists(missing));
}

// In a temporary folder: "settings.ini" with `[reports] folder=<entry>` (no
// entry when it is null), a file "taken"; {dir} in `entry`, `expected` and
// `refusal` stands for the folder.
void RunPartsTest::reportsFolder_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("expected"); // the folder, made; empty when refused
    QTest::addColumn<QString>("refusal");

    QTest::newRow("no entry: reports in the data folder")
        << QString() << ReportsFolder::standard() << "";
    QTest::newRow("relative: beside the settings file, made") << "runs/today"
                                                              << "{dir}/runs/today"
                                                              << "";
    QTest::newRow("absolute") << "{dir}/abs"
                              << "{dir}/abs"
                              << "";
    QTest::newRow("a comma is part of the name") << "a,b"
                                                 << "{dir}/a,b"
                                                 << "";
    QTest::newRow("a file in its place is refused")
        << "taken"
        << ""
        << "the reports folder {dir}/taken cannot be used: it is a file";
    QTest::newRow("one that cannot be made is refused")
        << "taken/runs"
        << ""
        << "the reports folder {dir}/taken/runs cannot be used: it could not be made";
}

void RunPartsTest::reportsFolder()
{
    QFETCH(QString, entry);
    QFETCH(QString, expected);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const auto inDir = [&dir](QString text) {
        return text.replace("{dir}", dir.path());
    };
    QFile taken(dir.filePath("taken"));
    QVERIFY(taken.open(QIODevice::WriteOnly));
    taken.close();
    QFile settings(dir.filePath("settings.ini"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[checks]\nstatic_mmHg=3\n");
    if (!entry.isNull())
        settings.write("[reports]\nfolder=" + inDir(entry).toUtf8() + "\n");
    settings.close();

    Failure why;
    if (entry.isNull()) { // named, not made: the data folder is the user's
        QCOMPARE(ReportsFolder::named(settings.fileName(), &why), expected);
        QCOMPARE(ReportsFolder::named(dir.filePath("none.ini"), &why), expected);
        QCOMPARE(why.text, QString());
        return;
    }
    QCOMPARE(ReportsFolder::ready(settings.fileName(), &why), inDir(expected));
    QCOMPARE(why.text, inDir(refusal));
    if (!expected.isEmpty())
        QVERIFY(QFileInfo(inDir(expected)).isDir());
}

void RunPartsTest::startRefused_data()
{
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("board");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<int>("before"); // 0 nothing, 1 Manometer, 2 a run already under way
    QTest::addColumn<Failure::Kind>("kind");
    QTest::newRow("no board ID") << "a run needs the board's ID"
                                 << "  " << true << true << 0 << Failure::Kind::Refused;
    QTest::newRow("no reports folder") << "is no folder"
                                       << "SN-1" << false << true << 0 << Failure::Kind::NotFound;
    QTest::newRow("no port open") << "no port is open"
                                  << "SN-1" << true << false << 0 << Failure::Kind::NotFound;
    QTest::newRow("board left in manometer mode")
        << "the board is busy (Manometer): Break first"
        << "SN-1" << true << true << 1 << Failure::Kind::InUse;
    QTest::newRow("a run under way") << "a plan is running"
                                     << "SN-1" << true << true << 2 << Failure::Kind::InUse;
}

// A run that cannot start says why and sends nothing (but the first run's
// status request).
void RunPartsTest::startRefused()
{
    QFETCH(QString, refusal);
    QFETCH(QString, board);
    QFETCH(bool, folder);
    QFETCH(bool, portOpen);
    QFETCH(int, before);
    QFETCH(Failure::Kind, kind);
    QTemporaryDir dir;
    MemoryBench bench(portOpen);
    PlanRunner runner(bench.core, &saveRun);
    const TestPlan plan = *TestPlan::parse(kSeries).plan;
    const PlanRunner::Setup setup{board, {}, {}, folder ? dir.path() : dir.filePath("none")};
    if (before == 1)
        bench.core.panel().startManometer();
    if (before == 2)
        QVERIFY(runner.start(plan, setup));
    bench.port->clearWritten();
    QSignalSpy started(&runner, &PlanRunner::started);
    Failure why;
    QVERIFY(!runner.start(plan, setup, &why));
    QVERIFY2(why.text.contains(refusal), qPrintable(why.text));
    QCOMPARE(why.kind, kind);
    QCOMPARE(started.count(), 0);
    QCOMPARE(bench.port->written(), QByteArray());
}

// The port's device lost in a measurement: the run ends at once as a board
// that did not answer, saved, the port's loss in its reason.
void RunPartsTest::runEndsWhenThePortCloses()
{
    QTemporaryDir dir;
    MemoryBench bench;
    PlanRunner runner(bench.core, &saveRun);
    std::optional<PlanRunner::Outcome> outcome;
    connect(&runner, &PlanRunner::finished, this,
            [&outcome](const PlanRunner::Outcome &o) { outcome = o; });
    bench.port->clearWritten();
    QVERIFY(runner.start(*TestPlan::parse(kSeries).plan, {"SN-1", {}, {}, dir.path()}));
    QCOMPARE(bench.frames(), QStringList{"18;;DF"});
    bench.port->deliver("\x02"
                        "000 I A 160 00\r");
    QTRY_COMPARE(bench.frames(), (QStringList{"18;;DF", "24;;DC", "01;;D7"}));
    bench.port->deliver("\x02"
                        "050\r");
    bench.port->loseDevice();
    QTRY_VERIFY(outcome.has_value());
    QCOMPARE(outcome->end, PlanRunner::End::BoardSilent);
    QVERIFY2(outcome->reason.startsWith("the port closed: "), qPrintable(outcome->reason));
    QCOMPARE(outcome->report.steps.constFirst().ending, QString("the board did not answer"));
    QVERIFY2(outcome->saved(), qPrintable(outcome->notSaved()));
    QCOMPARE(outcome->verdict(), std::optional<Verdict>(Verdict::Incomplete));
}

#ifdef TARNVIK_ARCHIVE
namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A run under a plan of one series step that passed, or a free check.
CheckReport finishedRun(bool underPlan)
{
    CheckReport report;
    report.session = {"tarnvik 1.0.1", "SN-1", "A. Engineer", "Gauge 7", kStarted, "COM1", {}};
    report.verdict = Verdict::Pass;
    report.leakVerdict = Verdict::Pass;
    CheckReport::LeakTest leak;
    leak.rateMmHgPerMin = 7.25;
    leak.verdict = Verdict::Pass;
    report.leakTests << leak;
    if (!underPlan)
        return report;
    report.plan = CheckReport::Plan{"Series", "1", QString(64, 'c'), "adult", {}};
    CheckReport::PlanStep step;
    step.step = "series";
    step.ending = "done";
    step.verdict = Verdict::Pass;
    step.count = 2;
    report.steps << step;
    return report;
}

} // namespace

void RunPartsTest::archivedRun_data()
{
    QTest::addColumn<bool>("underPlan");
    QTest::addColumn<bool>("archiveIsFolder"); // a folder where the archive's file should be
    QTest::addColumn<bool>("filesWritten");
    QTest::addColumn<QString>("failure"); // how the Files' failure begins; "" saved
    QTest::addColumn<Failure::Kind>("kind");
    QTest::newRow("plan run stored after its files")
        << true << false << true << "" << Failure::Kind::None;
    QTest::newRow("free check stored as a free check")
        << false << false << true << "" << Failure::Kind::None;
    QTest::newRow("archive a folder: not stored, the save fails, refused (no longer Database)")
        << true << true << true << "not stored in the archive: cannot open the archive in "
        << Failure::Kind::Refused;
    QTest::newRow("files not written: nothing stored")
        << true << false << false << "the reports folder " << Failure::Kind::NotFound;
}

// The saver writes the files, then stores the run: its record holds the
// files' bytes as written, the trace's SHA-256, the plan or "free check",
// each step's or check's verdict; a run that cannot be stored fails the save.
void RunPartsTest::archivedRun()
{
    QFETCH(bool, underPlan);
    QFETCH(bool, archiveIsFolder);
    QFETCH(bool, filesWritten);
    QFETCH(QString, failure);
    QFETCH(Failure::Kind, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.sqlite");
    QVERIFY(!archiveIsFolder || QDir().mkdir(path));
    ArchiveStore store(ArchiveLocation::sqliteFile(path), "bench-t");
    RunArchiver archiver(store);
    archiver.setCalibrationDue(QDate(2027, 6, 30));
    QSignalSpy stored(&archiver, &RunArchiver::stored);
    const QByteArray trace = "2026-12-07T13:05:09.000 COM1 > 18;;DF\n";
    const PlanRunner::Files files = archiver.saver(&saveRun)(
        filesWritten ? dir.path() : dir.filePath("none"), finishedRun(underPlan), trace, kStarted);
    QVERIFY2(failure.isEmpty() ? !files.failure.failed() : files.failure.text.startsWith(failure),
             qPrintable(files.failure.text));
    QCOMPARE(files.failure.kind, kind);
    QCOMPARE(stored.count(), failure.isEmpty() ? 1 : 0);
    if (!failure.isEmpty())
        return;
    QVariantMap row;
    Failure why;
    QVERIFY2(ArchiveQuery(store.connection()).run(stored.at(0).at(0).toString(), row, &why),
             qPrintable(why.text));
    QCOMPARE(row.value("pdf").toByteArray(), fileBytes(files.pdf));
    QCOMPARE(row.value("report_json").toByteArray(), fileBytes(files.json));
    QCOMPARE(row.value("trace_sha256").toString(),
             QCryptographicHash::hash(trace, QCryptographicHash::Sha256).toHex());
    QCOMPARE(row.value("plan_name").toString(), underPlan ? "Series" : "free check");
    QCOMPARE(row.value("started_ms").toLongLong(), kStarted.toMSecsSinceEpoch());
    QCOMPARE(row.value("calibration_due").toString(), QString("2027-06-30"));
    QCOMPARE(row.value("verdict").toString(), QString("pass"));
    QCOMPARE(row.value("leak_mmhg_per_min").toDouble(), 7.25);
    const QJsonObject steps =
        QJsonDocument::fromJson(row.value("steps_json").toByteArray()).object();
    QCOMPARE(steps["check_verdicts"]["leak"].toString(), QString("pass"));
    QCOMPARE(steps["steps"].toArray().size(), underPlan ? 1 : 0);
    if (underPlan)
        QCOMPARE(steps["steps"][0]["step"].toString(), QString("series"));
}
#endif
// The board never reads near the first point: 120 s after the prompt it is
// still waited for, a line later it is given up (Break, the points left
// unrecorded) and the step ends incomplete with the reason, the run complete.
void RunPartsTest::staticPointGivenUp()
{
    QTemporaryDir dir;
    MemoryBench bench;
    PlanRunner runner(bench.core, &saveRun);
    std::optional<PlanRunner::Outcome> outcome;
    connect(&runner, &PlanRunner::finished, this,
            [&outcome](const PlanRunner::Outcome &o) { outcome = o; });
    bench.port->clearWritten();
    QVERIFY(runner.start(*TestPlan::parse(kStatic).plan, {"SN-1", {}, {}, dir.path()}));
    bench.port->deliver("\x02"
                        "000 I A 160 00\r");
    const QStringList toManometer{"18;;DF", "24;;DC", "14;;DB"};
    QTRY_COMPARE(bench.frames(), toManometer);
    for (int s = 1; s <= 120; ++s) {
        bench.ms += 1000;
        bench.port->deliver("\x02"
                            "100\r");
        QCoreApplication::processEvents();
    }
    QCOMPARE(bench.frames(), toManometer);
    QVERIFY(runner.isRunning());
    bench.ms += 1000;
    bench.port->deliver("\x02"
                        "100\r");
    QTRY_COMPARE(bench.frames(), toManometer + QStringList{"X"});
    bench.port->deliver("\x02"
                        "000\r");
    QTRY_VERIFY(outcome.has_value());
    QCOMPARE(outcome->end, PlanRunner::End::Completed);
    QCOMPARE(outcome->report.verdict, Verdict::Incomplete);
    const CheckReport::PlanStep &step = outcome->report.steps.at(0);
    QCOMPARE(step.verdict, Verdict::Incomplete);
    QVERIFY2(step.reason.startsWith("the pressure did not come near 150 mmHg within 120 s"),
             qPrintable(step.reason));
}

QTEST_MAIN(RunPartsTest)
#include "run_parts_test.moc"
