// SPDX-License-Identifier: MIT
// The program's command line, run as the real binary. Every row ends before
// the program makes a port: --help and --version with 0, a bad command line
// with 2 and the usage. A --trace given beside a bad option must not even be
// created, which shows the program stopped before anything that precedes the
// port. The program runs without a display, as over a plain terminal. HOME and
// the XDG folders point into a temporary folder whose port settings leave every
// entry unbound, so nothing could land in the real home, and no device be
// opened, even if a row ever ran further. A FIFO that nobody reads stands
// for a file that would block the program.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class ProgramOptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void commandLineEndsBeforeAnyPort_data();
    void commandLineEndsBeforeAnyPort();
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

    QVERIFY(QDir(home.path()).mkpath("config/Velsorin"));
    QFile settings(home.filePath("config/Velsorin/tarnvik.conf"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[ports]\nCOM1=\nCOM2=\nCOM3=\nCOM4=\nCOM5=\nCOM6=\nCOM7=\nCOM8=\n");
    settings.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    QProcess program;
    program.setProcessEnvironment(env);
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

QTEST_GUILESS_MAIN(ProgramOptionsTest)
#include "program_options_test.moc"
