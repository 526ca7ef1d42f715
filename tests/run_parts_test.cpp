// SPDX-License-Identifier: MIT
// The parts a test plan's run is made of, each on its own: when the hold
// watch takes the board for steady near a point (on each side of the spread
// and the near limit), the run's trace keeping its beginning when it grows
// too long (and saying what it dropped), and the run's files: the board ID
// made safe for a file name, a name nothing has yet, the files read back.
// And the runner on the in-memory port, the board's lines given by hand:
// every run it will not start, and a port lost in a run.
#include "bench_core.h"
#include "checks_engine.h"
#include "command_frame.h"
#include "hold_watch.h"
#include "memory_serial_port.h"
#include "plain_file_check.h"
#include "plan_runner.h"
#include "port_map.h"
#include "run_files.h"
#include "run_trace.h"
#include "trace_reader.h"
#include "traffic_recorder.h"

#include <QBuffer>
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
    void startRefused_data();
    void startRefused();
    void runEndsWhenThePortCloses();
};

// Readings 250 ms apart from 0 ms; the point is 150 mmHg; the limits are
// the defaults (window 2 s, spread 2 mmHg, static 3 mmHg: near 10 mmHg).
void RunPartsTest::holdWatch_data()
{
    QTest::addColumn<QList<int>>("readings");
    QTest::addColumn<double>("staticMmHg");
    QTest::addColumn<bool>("steady");
    QTest::addColumn<bool>("near");

    const QList<int> still(9, 150); // 0 .. 2000 ms
    QTest::newRow("2 s at 150 is steady near 150") << still << 3.0 << true << true;
    QTest::newRow("1.75 s is short of the window") << QList<int>(8, 150) << 3.0 << false << false;
    QList<int> spread2 = still;
    spread2[8] = 152;
    QTest::newRow("spread of 2 mmHg is steady") << spread2 << 3.0 << true << true;
    QList<int> spread3 = still;
    spread3[8] = 153;
    QTest::newRow("spread of 3 mmHg is not") << spread3 << 3.0 << false << false;
    QList<int> farEdge = still;
    farEdge[0] = 153;
    QTest::newRow("a reading on the window's far edge counts: 3 mmHg off there is not steady")
        << farEdge << 3.0 << false << false;
    QList<int> climbed = QList<int>{40, 60, 80, 100} + still;
    QTest::newRow("a climb before the last window is forgotten") << climbed << 3.0 << true << true;
    QTest::newRow("10 mmHg off is near") << QList<int>(9, 160) << 3.0 << true << true;
    QTest::newRow("11 mmHg off is not near") << QList<int>(9, 139) << 3.0 << true << false;
    QTest::newRow("11 mmHg off is near when the static limit is 4 (near 12)")
        << QList<int>(9, 161) << 4.0 << true << true;
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
        QCOMPARE(written.failure, QString("%1 holds files of the names SN-1-20261207T130509Z to "
                                          "SN-1-20261207T130509Z-100 already")
                                      .arg(QDir::toNativeSeparators(dir.path())));
        QVERIFY(written.trace.isEmpty() && written.pdf.isEmpty());
        QCOMPARE(folder.entryList(QDir::Files).size(), earlier);
        return;
    }
    QVERIFY2(written.failure.isEmpty(), qPrintable(written.failure));
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
    QCOMPARE(written.failure, QString("the reports folder %1 is no folder").arg(missing));
    QVERIFY(written.trace.isEmpty() && written.pdf.isEmpty());
    QVERIFY(!QFileInfo::exists(missing));
}

void RunPartsTest::startRefused_data()
{
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("board");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<int>("before"); // 0 nothing, 1 Manometer, 2 a run already under way
    QTest::newRow("no board ID") << "a run needs the board's ID"
                                 << "  " << true << true << 0;
    QTest::newRow("no reports folder") << "is no folder"
                                       << "SN-1" << false << true << 0;
    QTest::newRow("no port open") << "no port is open"
                                  << "SN-1" << true << false << 0;
    QTest::newRow("board left in manometer mode") << "the board is busy (Manometer): Break first"
                                                  << "SN-1" << true << true << 1;
    QTest::newRow("a run under way") << "a plan is running"
                                     << "SN-1" << true << true << 2;
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
    QString why;
    QVERIFY(!runner.start(plan, setup, &why));
    QVERIFY2(why.contains(refusal), qPrintable(why));
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
    QTRY_COMPARE(bench.frames(), (QStringList{"18;;DF", "01;;D7"}));
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

QTEST_MAIN(RunPartsTest)
#include "run_parts_test.moc"
