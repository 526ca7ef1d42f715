// SPDX-License-Identifier: MIT
// tarnvik-report as a production script runs it: the exit status is the
// overall verdict (0 pass, 1 fail, 3 incomplete or nothing to judge), 2 a bad
// command line, a trace that cannot be read or holds no trace line, or a
// report that cannot be written, and then nothing in the folder has changed:
// no temporary file left, a previous report whole, a trace, FIFO or link
// that was named as an output as it was. Each run's folder is compared
// before and after, links and FIFOs as such; a written report is read back
// (the PDF by its text, the JSON by its verdict).
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// A leak test at `rate` mmHg/min: 5 s pump-up to 200 mmHg, 90 s hold, Break.
QString leakTrace(double rate, double holdSeconds = 90)
{
    QString text = "# tarnvik 1.0.1 trace started 2026-12-07T14:05:09+01:00\n"
                   "0 COM1 opened\n250 COM1 sent <STX>17;;DE<ETX>\n";
    qint64 ms = 500;
    for (int i = 0; i < 20; ++i, ms += 250)
        text +=
            QStringLiteral("%1 COM1 received <STX>%2<CR>\n").arg(ms).arg(i * 10, 3, 10, QChar('0'));
    for (int i = 0; i < holdSeconds * 4; ++i, ms += 250)
        text += QStringLiteral("%1 COM1 received <STX>%2<CR>\n")
                    .arg(ms)
                    .arg(qRound(200 - rate * i / 240.0), 3, 10, QChar('0'));
    return text + QStringLiteral("%1 COM1 sent <STX>X<ETX>\n").arg(ms);
}

const QString kOverPressure = "0 COM1 sent <STX>01;;D7<ETX>\n"
                              "250 COM1 received <STX>200<CR>\n"
                              "500 COM1 received <STX>305<CR>\n"
                              "750 COM1 received <STX>S0001 A 160    120080093  072<CR>\n";

const char kBoard[] = "B-4711";

// One run of the tool.
struct Run
{
    QString trace; // written to trace.txt unless null
    QStringList arguments;
    int status = 0;
    // Put into the folder first: "name=text" a file, "name/" a folder,
    // "name|" a FIFO, "name#" a device (a copy of /dev/null; root only),
    // "name->target" a symbolic link, "name=>target" a hard link. A device
    // an output may lead to is always such a copy: a tool that wrote through
    // to it must not replace one of the machine's own.
    QStringList setup = {};
    QString says = {};     // in the error output
    QByteArray input = {}; // on standard input, in two parts with a pause; "<file" redirects
    rlim_t fileLimit = 0;  // ulimit -f in bytes, 0 none
};

// What the folder holds, by relative path: a file's bytes, a link's target,
// a folder or FIFO as such. Links are not followed.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info = {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        QByteArray what = "other";
        if (S_ISLNK(info.st_mode)) {
            what = "link to " + QFile::encodeName(it.fileInfo().symLinkTarget());
        } else if (S_ISDIR(info.st_mode)) {
            what = "folder";
        } else if (S_ISFIFO(info.st_mode)) {
            what = "FIFO";
        } else if (S_ISCHR(info.st_mode)) {
            what = "device";
        } else if (S_ISREG(info.st_mode)) {
            QFile file(path);
            what = file.open(QIODevice::ReadOnly) ? "file " + file.readAll() : "unreadable";
        }
        entries.insert(QDir(folder).relativeFilePath(path), what);
    }
    return entries;
}

bool prepare(const QDir &dir, const QString &item)
{
    const QRegularExpressionMatch separator = QRegularExpression("=>|->|=").match(item);
    const QString name = item.left(separator.capturedStart());
    const QString target = item.mid(separator.capturedEnd());
    if (item.endsWith('/'))
        return dir.mkpath(item);
    if (item.endsWith('|'))
        return ::mkfifo(QFile::encodeName(dir.filePath(item.chopped(1))).constData(), 0644) == 0;
    if (item.endsWith('#'))
        return ::mknod(QFile::encodeName(dir.filePath(item.chopped(1))).constData(), S_IFCHR | 0666,
                       makedev(1, 3)) == 0;
    if (separator.captured() == "->")
        return QFile::link(target, dir.filePath(name));
    if (separator.captured() == "=>")
        return ::link(QFile::encodeName(dir.filePath(target)).constData(),
                      QFile::encodeName(dir.filePath(name)).constData()) == 0;
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(target.toUtf8()) == target.size();
}

// The value of an option on the command line, or nothing.
QString valueOf(const QStringList &arguments, const QString &option)
{
    const qsizetype at = arguments.indexOf(option);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}

QString pdfText(const QString &pdf)
{
    const QString tool = QStandardPaths::findExecutable("pdftotext");
    if (tool.isEmpty())
        return "pdftotext (poppler-utils) is not installed";
    QProcess text;
    text.start(tool, {pdf, "-"});
    text.waitForFinished(30000);
    return QString::fromUtf8(text.readAllStandardOutput());
}

// Runs the tool in `folder` with the run's standard input and file size
// limit: its exit status, or -1 (said in `errors`) when it crashed or did not
// end within 30 s.
int runTool(const QString &folder, const Run &run, const QStringList &arguments, QByteArray &errors)
{
    QProcess tool;
    tool.setWorkingDirectory(folder);
    const bool fromFile = run.input.startsWith('<');
    if (fromFile)
        tool.setStandardInputFile(QDir(folder).filePath(QString::fromUtf8(run.input.mid(1))));
    const rlim_t limit = run.fileLimit;
    tool.setChildProcessModifier([limit] {
        const rlimit size{limit, limit};
        if (limit > 0)
            ::setrlimit(RLIMIT_FSIZE, &size);
    });
    tool.start(TARNVIK_REPORT_BINARY, arguments);
    if (!fromFile && tool.waitForStarted()) {
        tool.write(run.input.left(run.input.size() / 2));
        tool.waitForBytesWritten(5000);
        QThread::msleep(run.input.isEmpty() ? 0 : 300);
        tool.write(run.input.mid(run.input.size() / 2));
        tool.closeWriteChannel();
    }
    if (!tool.waitForFinished(30000)) {
        tool.kill();
        tool.waitForFinished();
        errors = "tarnvik-report did not end within 30 s";
        return -1;
    }
    errors = tool.readAllStandardError();
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

} // namespace

Q_DECLARE_METATYPE(Run)

class ChecksReportToolTest : public QObject
{
    Q_OBJECT

private slots:
    void exitStatusIsTheVerdict_data();
    void exitStatusIsTheVerdict();
    void faultsLeaveEverythingAsItWas_data();
    void faultsLeaveEverythingAsItWas();

private:
    void check(const Run &run);
};

void ChecksReportToolTest::exitStatusIsTheVerdict_data()
{
    QTest::addColumn<Run>("run");

    const QStringList out{"trace.txt", "-o", "report.pdf"};
    QTest::newRow("leak of 4 mmHg/min: pass") << Run{leakTrace(4), out, 0};
    QTest::newRow("leak of 8 mmHg/min: fail") << Run{leakTrace(8), out, 1};
    QTest::newRow("over-pressure: fail") << Run{kOverPressure, out, 1};
    QTest::newRow("Break mid leak test: incomplete") << Run{leakTrace(4, 30), out, 3};
    QTest::newRow("empty file: no trace (was 3, nothing to judge)")
        << Run{"", out, 2, {}, "holds no trace line"};
    QTest::newRow("header line only: nothing to judge, JSON incomplete")
        << Run{"# tarnvik 1.0.1 trace started 2026-12-07T14:05:09+01:00\n", out, 3};
    QTest::newRow("port opened, nothing checked: JSON incomplete, not null")
        << Run{"0 COM1 opened\n500 COM1 closed\n", out, 3};
    QTest::newRow("set point but no result: incomplete")
        << Run{"# tarnvik 1.0.1 trace started 2026-12-07T14:05:09+01:00\n",
               out + QStringList{"--reference-bp", "120/80"}, 3};
    QTest::newRow("results within the set point: pass")
        << Run{"0 COM1 sent <STX>01;;D7<ETX>\n"
               "250 COM1 received <STX>150<CR>\n"
               "500 COM1 received <STX>S0001 A 160    120080093  072<CR>\n"
               "750 COM1 sent <STX>01;;D7<ETX>\n"
               "1000 COM1 received <STX>150<CR>\n"
               "1250 COM1 received <STX>S0001 A 160    122082094  072<CR>\n"
               "1500 COM1 received <STX>S0001 A 160    120080093  072<CR>\n"
               "1750 COM1 received <STX>S0001 A 160    122082094  072<CR>\n"
               "2000 COM1 received <STX>S0001 A 160    121081094  072<CR>\n",
               out + QStringList{"--reference-bp", "121/81/93.5", "--reference-pulse", "72"}, 0};
    QTest::newRow("systolic 1 above diastolic: taken")
        << Run{leakTrace(4), out + QStringList{"--reference-bp", "121/120"}, 3};
    QTest::newRow("trace on standard input (-), read whole across a pause")
        << Run{QString(), {"-", "-o", "report.pdf"}, 1, {}, {}, leakTrace(8).toUtf8()};
    QTest::newRow("-o a link to a file elsewhere: its file replaced, the link kept")
        << Run{leakTrace(4), out, 0, {"sub/", "sub/kept.pdf=previous", "report.pdf->sub/kept.pdf"}};

    QTest::newRow("unknown option") << Run{leakTrace(4), out + QStringList{"--colour"}, 2};
    QTest::newRow("no -o") << Run{leakTrace(4), {"trace.txt"}, 2};
    QTest::newRow("two traces") << Run{leakTrace(4), out + QStringList{"trace.txt"}, 2};
    QTest::newRow("-o twice") << Run{
        leakTrace(4), out + QStringList{"-o", "other.pdf"}, 2, {}, "more than once"};
    QTest::newRow("-o and --output")
        << Run{leakTrace(4), out + QStringList{"--output", "o.pdf"}, 2, {}, "more than once"};
    QTest::newRow("--board twice")
        << Run{leakTrace(4), out + QStringList{"--board", "2", "--board", "3"}, 2};
    QTest::newRow("-o -: no PDF on standard output")
        << Run{leakTrace(4), {"trace.txt", "-o", "-"}, 2, {}, "./-"};
    QTest::newRow("diastolic above systolic")
        << Run{leakTrace(4), out + QStringList{"--reference-bp", "80/120"}, 2};
    QTest::newRow("systolic equal to diastolic")
        << Run{leakTrace(4), out + QStringList{"--reference-bp", "120/120"}, 2};
    QTest::newRow("diastolic 0, refused as in the Bench checks window")
        << Run{leakTrace(4), out + QStringList{"--reference-bp", "120/0"}, 2};
    QTest::newRow("empty mean after the last slash")
        << Run{leakTrace(4), out + QStringList{"--reference-bp", "120/80/"}, 2};
    QTest::newRow("set point with letters")
        << Run{leakTrace(4), out + QStringList{"--reference-bp", "12O/80"}, 2};
    QTest::newRow("pulse without blood pressure")
        << Run{leakTrace(4), out + QStringList{"--reference-pulse", "70"}, 2};
    QTest::newRow("trace missing") << Run{QString(), out, 2};
    QTest::newRow("no trace line in the file") << Run{"%PDF-1.4\nbinary\n", out, 2};
    QTest::newRow("settings file missing")
        << Run{leakTrace(4), out + QStringList{"--settings", "none.conf"}, 2};
}

void ChecksReportToolTest::exitStatusIsTheVerdict()
{
    QFETCH(Run, run);
    check(run);
}

void ChecksReportToolTest::faultsLeaveEverythingAsItWas_data()
{
    QTest::addColumn<Run>("run");

    const QString trace = leakTrace(4);
    const QStringList out{"trace.txt", "-o", "report.pdf"};
    const QStringList previous{"report.pdf=previous PDF", "report.json=previous JSON"};
    const QString pipeHint = "give -";
    QTest::newRow("FIFO as the trace: refused, not waited on")
        << Run{QString(), {"trace.fifo", "-o", "report.pdf"}, 2, {"trace.fifo|"}, pipeHint};
    QTest::newRow("/dev/stdin a pipe: refused with the hint to give -")
        << Run{QString(), {"/dev/stdin", "-o", "report.pdf"}, 2, {}, pipeHint, trace.toUtf8()};
    QTest::newRow("/dev/zero as the trace: refused, not read for ever")
        << Run{QString(), {"/dev/zero", "-o", "report.pdf"}, 2, {}, "device"};
    QTest::newRow("folder as the trace")
        << Run{QString(), {"sub", "-o", "report.pdf"}, 2, {"sub/"}};
    QTest::newRow("empty standard input: no trace")
        << Run{QString(), {"-", "-o", "report.pdf"}, 2, {}, "standard input"};

    QTest::newRow("-o the trace itself") << Run{trace, {"trace.txt", "-o", "trace.txt"}, 2};
    QTest::newRow("-o a link to the trace: the trace kept")
        << Run{trace, {"trace.txt", "-o", "link.pdf"}, 2, {"link.pdf->trace.txt"}, "trace"};
    QTest::newRow("-o a hard link to the trace")
        << Run{trace, {"trace.txt", "-o", "hard.pdf"}, 2, {"hard.pdf=>trace.txt"}};
    QTest::newRow("-o the file standard input comes from")
        << Run{trace, {"-", "-o", "trace.txt"}, 2, {}, "it is the trace", "<trace.txt"};
    QTest::newRow("--json a link to the PDF: the previous report kept")
        << Run{trace, out + QStringList{"--json", "j.json"}, 2,
               previous + QStringList{"j.json->report.pdf"}};
    QTest::newRow("--json the PDF as ./report.pdf")
        << Run{trace, out + QStringList{"--json", "./report.pdf"}, 2, {}, "two files"};
    QTest::newRow("--json the PDF through a linked folder")
        << Run{trace,
               {"trace.txt", "-o", "sub/r.pdf", "--json", "alias/r.pdf"},
               2,
               {"sub/", "alias->sub"},
               "two files"};

    QTest::newRow("-o a FIFO: refused, the FIFO kept")
        << Run{trace, out, 2, {"report.pdf|"}, "FIFO"};
    QTest::newRow("JSON beside the PDF a FIFO") << Run{trace, out, 2, {"report.json|"}, "FIFO"};
    QTest::newRow("-o a link to a FIFO") << Run{trace, out, 2, {"f|", "report.pdf->f"}, "FIFO"};
    QTest::newRow("-o a device: refused, the device kept")
        << Run{trace, {"trace.txt", "-o", "null"}, 2, {"null#"}, "device"};
    QTest::newRow("-o a link to a device: refused, never written through")
        << Run{trace, out, 2, {"null#", "report.pdf->null"}, "device"};
    QTest::newRow("-o a folder") << Run{trace, out, 2, {"report.pdf/"}, "folder"};
    QTest::newRow("-o a link to nothing") << Run{trace, out, 2, {"report.pdf->gone.pdf"}};

    QTest::newRow("output folder missing")
        << Run{trace, {"trace.txt", "-o", "no/such/report.pdf"}, 2, {}, "does not exist"};
    QTest::newRow("JSON's folder missing: no PDF left either")
        << Run{trace, out + QStringList{"--json", "no/such/r.json"}, 2, previous, "does not exist"};
    QTest::newRow("disk full in the PDF after the JSON: the previous report kept whole")
        << Run{trace, out, 2, previous, "File too large", {}, 8192};
    // 3000 results: a PDF of about 85 KB, a JSON of 1.6 MB that fails while it streams.
    QString results;
    for (int n = 0, ms = 0; n < 3000; ++n, ms += 750)
        results += QStringLiteral("%1 COM1 sent <STX>01;;D7<ETX>\n"
                                  "%2 COM1 received <STX>150<CR>\n"
                                  "%3 COM1 received <STX>S0001 A 160    120080093  072<CR>\n")
                       .arg(ms)
                       .arg(ms + 250)
                       .arg(ms + 500);
    QTest::newRow("disk full while the JSON streams, the PDF whole: the previous report kept")
        << Run{results, out, 2, previous, "report.json: File too large", {}, 256 * 1024};
}

void ChecksReportToolTest::faultsLeaveEverythingAsItWas()
{
    QFETCH(Run, run);
    check(run);
}

// Runs the tool in a folder of its own and checks its status, its message
// and what it left.
void ChecksReportToolTest::check(const Run &run)
{
    QTemporaryDir dir;
    QStringList arguments = run.arguments;
    if (!run.trace.isNull())
        QVERIFY(prepare(QDir(dir.path()), "trace.txt=" + run.trace));
    for (const QString &item : run.setup) {
        const bool made = prepare(QDir(dir.path()), item);
        if (!made && item.endsWith('#'))
            QSKIP("making a device needs root");
        QVERIFY2(made, qPrintable(item));
    }
    // The settings of the user who runs the tests must not change the verdicts.
    QVERIFY(prepare(QDir(dir.path()), "empty.conf="));
    if (!arguments.contains("--settings"))
        arguments << "--settings"
                  << "empty.conf";
    if (!arguments.contains("--board") && run.status != 2)
        arguments << "--board" << kBoard;
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    QByteArray errors;
    const int status = runTool(dir.path(), run, arguments, errors);
    QVERIFY2(status == run.status, errors.constData());
    QVERIFY2(errors.contains(run.says.toUtf8()), errors.constData());
    QMap<QString, QByteArray> after = snapshot(dir.path());
    if (run.status == 2) {
        QVERIFY2(errors.contains("tarnvik-report: "), errors.constData());
        QCOMPARE(after, before); // nothing written, nothing replaced, no temporary file left
        return;
    }
    const QString pdf = dir.filePath(valueOf(arguments, "-o"));
    const QString json = dir.filePath(valueOf(arguments, "--json").isEmpty()
                                          ? QFileInfo(pdf).completeBaseName() + ".json"
                                          : valueOf(arguments, "--json"));
    QVERIFY2(pdfText(pdf).contains(kBoard), qPrintable(pdfText(pdf)));
    QFile jsonFile(json);
    QVERIFY(jsonFile.open(QIODevice::ReadOnly));
    const QString verdicts[] = {"pass", "fail", "", "incomplete"};
    QCOMPARE(QJsonDocument::fromJson(jsonFile.readAll()).object().value("verdict").toString(),
             verdicts[run.status]);
    // Besides the two files written (where links lead), nothing changed.
    QMap<QString, QByteArray> untouched = before;
    const QDir folder(QDir(dir.path()).canonicalPath());
    for (const QString &written : {pdf, json}) {
        const QString name = folder.relativeFilePath(QFileInfo(written).canonicalFilePath());
        after.remove(name);
        untouched.remove(name);
    }
    QCOMPARE(after, untouched);
}

QTEST_GUILESS_MAIN(ChecksReportToolTest)
#include "checks_report_tool_test.moc"
