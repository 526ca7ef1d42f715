// SPDX-License-Identifier: MIT
// The results file: one row for each end of a measurement the panel shows,
// however many ticks interpret the line, quoted after RFC 4180; a file that
// cannot be written is reported once, measuring goes on, and the rows are
// written once it can be written again.
#include "panel_fixture.h"
#include "record_notice.h"
#include "record_writer.h"
#include "result_log.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

using Field = BoardState::Field;

namespace {

const QByteArray kResult = "S0001 A 160    120080093  072";

// The panel on the in-memory port with a results log on `path`, written by
// a writer thread whose notices go to the panel's state.
struct LoggedPanel
{
    PanelFixture fixture;
    RecordWriter writer;
    ResultLog log;
    RecordNotice notice;
    explicit LoggedPanel(const QString &path)
        : log(path, writer, fixture.port)
        , notice(writer, fixture.panel.state())
    {
        QObject::connect(&fixture.panel, &BoardPanel::measurementEnded, &log, &ResultLog::record);
        writer.start();
        fixture.start();
    }
    void line(const QByteArray &payload, int ticks)
    {
        fixture.receiveLine(payload);
        for (int i = 0; i < ticks; ++i)
            fixture.panel.interpretLatestLine();
    }
};

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

} // namespace

class ResultLogTest : public QObject
{
    Q_OBJECT

private slots:
    void rowPerShownEnd_data();
    void rowPerShownEnd();
    void timeIsTheInstantWithItsOffset_data();
    void timeIsTheInstantWithItsOffset();
    void unwritableFileIsReportedOnce_data();
    void unwritableFileIsReportedOnce();
};

void ResultLogTest::rowPerShownEnd_data()
{
    QTest::addColumn<QList<QByteArray>>("lines"); // payloads, in order
    QTest::addColumn<int>("ticks");               // ticks after each line
    QTest::addColumn<QStringList>("rows");        // the file's rows after the header

    const QString result = "COM1,memory port 1,Adult,160 mmHg,Manual,120,080,093,072,result,"
                           "<STX>S0001 A 160    120080093  072";
    const QString aborted = "COM1,memory port 1,Adult,160 mmHg,Manual,,,,,999,<STX>999";
    QTest::newRow("result line") << QList<QByteArray>{"150", kResult} << 1 << QStringList{result};
    QTest::newRow("999 line") << QList<QByteArray>{"150", "999"} << 1 << QStringList{aborted};
    QTest::newRow("result line interpreted at ten ticks")
        << QList<QByteArray>{kResult} << 10 << QStringList{result};
    QTest::newRow("999 line interpreted at ten ticks")
        << QList<QByteArray>{"999"} << 10 << QStringList{aborted};
    QTest::newRow("two equal result lines of two measurements")
        << QList<QByteArray>{kResult, kResult} << 3 << QStringList{result, result};
    QTest::newRow("line never interpreted")
        << QList<QByteArray>{kResult, "000"} << 0 << QStringList{};
    const QString values = "COM1,memory port 1,Adult,160 mmHg,Manual,120,080,093,072,result,";
    QTest::newRow("raw line with a comma is quoted")
        << QList<QByteArray>{"S0001,A 160    120080093  072"} << 1
        << QStringList{values + "\"<STX>S0001,A 160    120080093  072\""};
    QTest::newRow("raw line with a quote is quoted, the quote doubled")
        << QList<QByteArray>{"S0001\"A\" 60    120080093  072"} << 1
        << QStringList{values + "\"<STX>S0001\"\"A\"\" 60    120080093  072\""};
    QTest::newRow("control and non-ASCII bytes spelt out")
        << QList<QByteArray>{"S\x01\xe9<1 A 160    120080093  072"} << 1
        << QStringList{values + "<STX>S<x01><xE9><x3C>1 A 160    120080093  072"};
    QTest::newRow("values that a spreadsheet would take for formulas, raw line as it came")
        << QList<QByteArray>{"S0001 A 160    =A1+80@93  -72"} << 1
        << QStringList{"COM1,memory port 1,Adult,160 mmHg,Manual,'=A1,'+80,'@93,'-72,result,"
                       "<STX>S0001 A 160    =A1+80@93  -72"};
    QTest::newRow("9990 ends a measurement, 99 and a status line do not")
        << QList<QByteArray>{"150", "9990", "99", "000 I A 160 00"} << 2
        << QStringList{aborted.chopped(3) + "9990"};
}

void ResultLogTest::rowPerShownEnd()
{
    QFETCH(QList<QByteArray>, lines);
    QFETCH(int, ticks);
    QFETCH(QStringList, rows);
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/results.csv"); // the folder is made too
    LoggedPanel logged(path);
    for (const QByteArray &payload : lines)
        logged.line(payload, ticks);
    QVERIFY(logged.writer.waitWritten(5000));

    const QStringList written = fileLines(path);
    QCOMPARE(written.isEmpty() ? 0 : written.size() - 1, rows.size());
    QCOMPARE(logged.log.rowsWritten(), rows.size());
    if (rows.isEmpty())
        return;
    QCOMPARE(written.first(), QStringLiteral("time,port,device,patient,pump-up,cycle,systolic,"
                                             "diastolic,mean,pulse,outcome,raw line"));
    const QRegularExpression isoTime(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d,");
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString row = written.at(i + 1);
        QVERIFY2(isoTime.match(row).hasMatch(), qPrintable(row));
        QCOMPARE(row.section(QLatin1Char(','), 1), rows.at(i));
    }
    QVERIFY(logged.fixture.display.failures().isEmpty());
}

void ResultLogTest::timeIsTheInstantWithItsOffset_data()
{
    QTest::addColumn<QByteArray>("zone"); // TZ, POSIX form: the offset is west of UTC
    QTest::addColumn<int>("offset");      // its UTC offset in minutes, east positive
    QTest::newRow("half an hour east of UTC") << QByteArray("IST-5:30") << 330;
    QTest::newRow("half an hour west of UTC") << QByteArray("NST3:30") << -210;
    QTest::newRow("UTC itself") << QByteArray("UTC0") << 0;
}

// The time field parses back to the instant of the row, and its offset is the
// local zone's: a row at 10:00+05:30 written as 10:00-03:30 names another instant.
void ResultLogTest::timeIsTheInstantWithItsOffset()
{
    QFETCH(QByteArray, zone);
    QFETCH(int, offset);
    const QByteArray previous = qgetenv("TZ");
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    const auto restore = qScopeGuard([&] {
        if (hadZone)
            qputenv("TZ", previous);
        else
            qunsetenv("TZ");
    });
    qputenv("TZ", zone);
    if (QDateTime::currentDateTime().offsetFromUtc() != offset * 60)
        QSKIP("this platform does not take the zone from TZ");

    QTemporaryDir dir;
    const QString path = dir.filePath("results.csv");
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    {
        LoggedPanel logged(path);
        logged.line(kResult, 1);
        QVERIFY(logged.writer.waitWritten(5000));
    }
    const QDateTime after = QDateTime::currentDateTimeUtc();
    const QStringList written = fileLines(path);
    QCOMPARE(written.size(), 2);
    const QString time = written.at(1).section(QLatin1Char(','), 0, 0);
    const QDateTime parsed = QDateTime::fromString(time, Qt::ISODate);
    QVERIFY2(parsed.isValid(), qPrintable(time));
    QCOMPARE(parsed.offsetFromUtc(), offset * 60);
    QVERIFY2(parsed >= before && parsed <= after, qPrintable(time));
}

void ResultLogTest::unwritableFileIsReportedOnce_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("file");   // under the temporary folder; absolute as it is
    QTest::addColumn<QString>("notice"); // %1 the file, %2 the temporary folder
    const QString kept = " They are kept and written when the file can be written again.";
    QTest::newRow("a directory in its place, named at once")
        << "directory"
        << "results.csv"
        << "Results not written to %1: it is a folder." + kept;
    QTest::newRow("a device in its place")
        << "device"
        << "/dev/full"
        << "Results not written to %1: it is a device, not a file." + kept;
    QTest::newRow("a file where its folder belongs, told in a sentence")
        << "file for folder"
        << "sub/results.csv"
        << "Results not written to %1: its folder cannot be created because %2 is not a "
           "folder." +
               kept;
}

void ResultLogTest::unwritableFileIsReportedOnce()
{
    QFETCH(QString, kind);
    QFETCH(QString, file);
    QFETCH(QString, notice);
    QTemporaryDir dir;
    const QString path = QDir::isAbsolutePath(file) ? file : dir.filePath(file);
    if (kind == "directory")
        QVERIFY(QDir(dir.path()).mkdir("results.csv"));
    else if (kind == "file for folder")
        QVERIFY(QFile(dir.filePath("sub")).open(QIODevice::WriteOnly));
    else if (!QFile::exists(path))
        QSKIP("no such device on this system");
    LoggedPanel logged(path);
    // Told before any result, and only once.
    notice.replace("%1", QDir::toNativeSeparators(path))
        .replace("%2", QDir::toNativeSeparators(dir.filePath("sub")));
    QTRY_COMPARE(logged.fixture.display.failures(), QStringList{notice});
    logged.line(kResult, 2);
    logged.line("150", 1);
    logged.line(kResult, 2);
    logged.line("999", 2);

    QCOMPARE(logged.log.rowsWritten(), 0);
    QTRY_COMPARE(logged.writer.rowsWaiting(), 3); // kept in memory
    QCOMPARE(logged.fixture.display.failures().size(), 1);
    // Measuring went on: every line was shown and the board was asked for its status.
    QCOMPARE(logged.fixture.field(Field::MeanPressure), QStringLiteral("999"));
    QCOMPARE(logged.fixture.state(), QStringLiteral("IDLE"));
    if (kind == "device")
        return;

    // Mended: the rows kept go in first, then the next, and the notice goes.
    QVERIFY(kind == "directory" ? QDir(dir.path()).rmdir("results.csv")
                                : QFile::remove(dir.filePath("sub")));
    logged.line(kResult, 1);
    QVERIFY(logged.writer.waitWritten(5000));
    QCOMPARE(logged.log.rowsWritten(), 4);
    QCOMPARE(fileLines(path).size(), 5);
    QTRY_COMPARE(logged.fixture.display.shownFailure(), QString());
    QCOMPARE(logged.fixture.display.failures(), QStringList{notice});
}

QTEST_GUILESS_MAIN(ResultLogTest)
#include "result_log_test.moc"
