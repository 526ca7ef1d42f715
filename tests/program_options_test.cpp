// SPDX-License-Identifier: MIT
// The program's command line, run as the real binary. Every row of the first
// table ends before the program makes a port: --help and --version with 0, a
// bad command line with 2 and the usage. A --trace given beside a bad option
// must not even be created, which shows the program stopped before anything
// that precedes the port. The program runs without a display, as over a plain
// terminal. The second table starts it on the offscreen platform: a standard
// results file that cannot be written stops nothing, it is named. HOME and
// the XDG folders point into a temporary folder whose port settings leave
// every entry unbound, so nothing could land in the real home, and no device
// be opened. A FIFO that nobody reads stands for a file that would block the
// program.
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

// The standard results file under the private home (XDG_DATA_HOME).
QString standardResults(const QTemporaryDir &home)
{
    return home.filePath("data/Velsorin/tarnvik/results.csv");
}

// An environment whose home and XDG folders are in `home`, with port
// settings there (in $XDG_CONFIG_HOME and in ~/.config) that leave every
// entry unbound, and no display.
QProcessEnvironment privateHome(const QTemporaryDir &home)
{
    for (const char *config : {"config", ".config"}) {
        QDir(home.path()).mkpath(QStringLiteral("%1/Velsorin").arg(config));
        QFile settings(home.filePath(QStringLiteral("%1/Velsorin/tarnvik.conf").arg(config)));
        if (settings.open(QIODevice::WriteOnly))
            settings.write("[ports]\nCOM1=\nCOM2=\nCOM3=\nCOM4=\nCOM5=\nCOM6=\nCOM7=\nCOM8=\n");
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    return env;
}

} // namespace

class ProgramOptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void commandLineEndsBeforeAnyPort_data();
    void commandLineEndsBeforeAnyPort();
    void standardResultsFileNeverStopsTheStart_data();
    void standardResultsFileNeverStopsTheStart();
};

void ProgramOptionsTest::commandLineEndsBeforeAnyPort_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says"); // in the output or the error output

    QTest::newRow("help lists the options") << QStringList{"--help"} << 0 << "--trace <file>";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "tarnvik 1.0.1";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'";
    QTest::newRow("unknown option beside a trace")
        << QStringList{"--trace", "TRACE", "--bogus"} << 2 << "Usage:";
    QTest::newRow("trace without its file") << QStringList{"--trace"} << 2 << "Missing value";
    QTest::newRow("results and no results")
        << QStringList{"--trace", "TRACE", "--results", "r.csv", "--no-results"} << 2
        << "exclude each other";
    QTest::newRow("a stray argument") << QStringList{"COM1"} << 2 << "Unexpected argument";
    QTest::newRow("empty trace name")
        << QStringList{"--trace", ""} << 2 << "--trace needs a file name.";
    QTest::newRow("empty results name")
        << QStringList{"--results", ""} << 2 << "--results needs a file name.";
    QTest::newRow("trace and results in one file")
        << QStringList{"--trace", "TRACE", "--results", "TRACE"} << 2 << "the same file";
    QTest::newRow("trace given twice")
        << QStringList{"--trace", "TRACE", "--trace", "TRACE"} << 2 << "more than once";
    QTest::newRow("the next option taken as the trace's name")
        << QStringList{"--trace", "--no-results"} << 2 << "not '--no-results'";
    QTest::newRow("a FIFO as the trace") << QStringList{"--trace", "FIFO"} << 2 << "FIFO";
    QTest::newRow("a FIFO as the results") << QStringList{"--results", "FIFO"} << 2 << "FIFO";
    QTest::newRow("a folder as the results")
        << QStringList{"--results", "HOME"} << 2 << "it is a folder";
    QTest::newRow("a device as the trace")
        << QStringList{"--trace", "/dev/null"} << 2 << "it is a device";
    QTest::newRow("trace in the standard results file that takes the results")
        << QStringList{"--trace", "RESULTS"} << 2 << "the same file";
    QTest::newRow("trace in the standard results file beside --no-results")
        << QStringList{"--trace", "RESULTS", "--no-results"} << 2 << "is the standard results file";
    QTest::newRow("a good command line without a display")
        << QStringList{"--no-results"} << 1 << "no display";
}

void ProgramOptionsTest::commandLineEndsBeforeAnyPort()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QTemporaryDir home;
    const QString tracePath = home.filePath("trace.txt");
    arguments.replaceInStrings(QRegularExpression("^TRACE$"), tracePath);
    arguments.replaceInStrings(QRegularExpression("^HOME$"), home.path());
    const QString fifo = home.filePath("fifo"); // nobody ever reads or writes it
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    arguments.replaceInStrings(QRegularExpression("^FIFO$"), fifo);
    arguments.replaceInStrings(QRegularExpression("^RESULTS$"), standardResults(home));

    QProcess program;
    program.setProcessEnvironment(privateHome(home));
    program.start(QStringLiteral(TARNVIK_BINARY), arguments);
    QVERIFY(program.waitForStarted());
    if (!program.waitForFinished(10000)) {
        program.kill(); // it went on to start: never let it run
        program.waitForFinished();
        QFAIL("the program did not end at its command line");
    }
    const QString output = program.readAllStandardOutput() + program.readAllStandardError();
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    QVERIFY2(output.contains(says), qPrintable(output));
    QVERIFY(!QFile::exists(tracePath));
    QVERIFY(!QFile::exists(home.filePath("data")));
}

void ProgramOptionsTest::standardResultsFileNeverStopsTheStart_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("says"); // on the error output, %1 the file, %2 the home
    QTest::newRow("a FIFO nobody reads, named and never waited on (the start was refused)")
        << "fifo"
        << "Results not written to %1: it is a FIFO, not a file.";
    QTest::newRow("a folder (the start was refused)")
        << "folder"
        << "Results not written to %1: it is a folder.";
    QTest::newRow("a file where its folder belongs")
        << "file for folder"
        << "Results not written to %1: its folder cannot be created because "
           "%2/data/Velsorin/tarnvik is not a folder.";
}

// The program starts on the offscreen platform with every port entry
// unbound, and says what keeps the standard results file from being written;
// it is still running when it has said so.
void ProgramOptionsTest::standardResultsFileNeverStopsTheStart()
{
    QFETCH(QString, kind);
    QFETCH(QString, says);
    QTemporaryDir home;
    const QString results = standardResults(home);
    QVERIFY(QDir().mkpath(QFileInfo(results).path()));
    if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(results).constData(), 0600), 0);
    else if (kind == "folder")
        QVERIFY(QDir().mkdir(results));
    else
        QVERIFY(QDir().rmdir(QFileInfo(results).path()) &&
                QFile(QFileInfo(results).path()).open(QIODevice::WriteOnly));
    says = says.arg(results, home.path());

    QProcessEnvironment env = privateHome(home);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(TARNVIK_BINARY), QStringList());
    QVERIFY(program.waitForStarted());
    QString output;
    QDeadlineTimer deadline(15000);
    while (!output.contains(says) && program.state() == QProcess::Running &&
           !deadline.hasExpired()) {
        program.waitForReadyRead(100);
        output += program.readAllStandardError();
    }
    const bool running = program.state() == QProcess::Running;
    program.kill(); // its window would wait for an operator
    program.waitForFinished();
    QVERIFY2(output.contains(says), qPrintable(output));
    QVERIFY2(running, qPrintable(output));
}

QTEST_GUILESS_MAIN(ProgramOptionsTest)
#include "program_options_test.moc"
