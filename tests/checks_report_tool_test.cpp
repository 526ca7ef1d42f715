// SPDX-License-Identifier: MIT
// tarnvik-report as a production script runs it: the exit status is the
// overall verdict (0 pass, 1 fail, 3 incomplete or nothing to judge), 2 a bad
// command line, an unreadable trace or a report that cannot be written, and
// then nothing is left in the output folder.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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

} // namespace

class ChecksReportToolTest : public QObject
{
    Q_OBJECT

private slots:
    void exitStatusIsTheVerdict_data();
    void exitStatusIsTheVerdict();
};

void ChecksReportToolTest::exitStatusIsTheVerdict_data()
{
    QTest::addColumn<QString>("trace"); // written to trace.txt unless null
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");

    const QStringList out{"trace.txt", "-o", "report.pdf"};
    QTest::newRow("leak of 4 mmHg/min: pass") << leakTrace(4) << out << 0;
    QTest::newRow("leak of 8 mmHg/min: fail") << leakTrace(8) << out << 1;
    QTest::newRow("over-pressure: fail") << kOverPressure << out << 1;
    QTest::newRow("Break mid leak test: incomplete") << leakTrace(4, 30) << out << 3;
    QTest::newRow("empty trace: nothing to judge") << "" << out << 3;
    QTest::newRow("set point but no result: incomplete")
        << "# tarnvik 1.0.1 trace started 2026-12-07T14:05:09+01:00\n"
        << out + QStringList{"--reference-bp", "120/80"} << 3;
    QTest::newRow("results within the set point: pass")
        << "0 COM1 sent <STX>01;;D7<ETX>\n"
           "250 COM1 received <STX>150<CR>\n"
           "500 COM1 received <STX>S0001 A 160    120080093  072<CR>\n"
           "750 COM1 sent <STX>01;;D7<ETX>\n"
           "1000 COM1 received <STX>150<CR>\n"
           "1250 COM1 received <STX>S0001 A 160    122082094  072<CR>\n"
           "1500 COM1 received <STX>S0001 A 160    120080093  072<CR>\n"
           "1750 COM1 received <STX>S0001 A 160    122082094  072<CR>\n"
           "2000 COM1 received <STX>S0001 A 160    121081094  072<CR>\n"
        << out + QStringList{"--reference-bp", "121/81/93.5", "--reference-pulse", "72"} << 0;

    QTest::newRow("unknown option") << leakTrace(4) << out + QStringList{"--colour"} << 2;
    QTest::newRow("no -o") << leakTrace(4) << QStringList{"trace.txt"} << 2;
    QTest::newRow("two traces") << leakTrace(4) << out + QStringList{"trace.txt"} << 2;
    QTest::newRow("diastolic above systolic")
        << leakTrace(4) << out + QStringList{"--reference-bp", "80/120"} << 2;
    QTest::newRow("set point with letters")
        << leakTrace(4) << out + QStringList{"--reference-bp", "12O/80"} << 2;
    QTest::newRow("pulse without blood pressure")
        << leakTrace(4) << out + QStringList{"--reference-pulse", "70"} << 2;
    QTest::newRow("trace missing") << QString() << out << 2;
    QTest::newRow("no trace line in the file") << "%PDF-1.4\nbinary\n" << out << 2;
    QTest::newRow("settings file missing")
        << leakTrace(4) << out + QStringList{"--settings", "none.conf"} << 2;
    QTest::newRow("output folder missing")
        << leakTrace(4) << QStringList{"trace.txt", "-o", "no/such/report.pdf"} << 2;
    QTest::newRow("JSON named as the PDF")
        << leakTrace(4) << out + QStringList{"--json", "report.pdf"} << 2;
}

void ChecksReportToolTest::exitStatusIsTheVerdict()
{
    QFETCH(QString, trace);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QTemporaryDir dir;
    if (!trace.isNull()) {
        QFile file(dir.filePath("trace.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(trace.toUtf8());
    }
    // The settings of the user who runs the tests must not change the verdicts.
    QFile(dir.filePath("empty.conf")).open(QIODevice::WriteOnly);
    if (!arguments.contains("--settings"))
        arguments << "--settings"
                  << "empty.conf";
    QProcess tool;
    tool.setWorkingDirectory(dir.path());
    tool.start(TARNVIK_REPORT_BINARY, arguments);
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    const QByteArray errors = tool.readAllStandardError();
    QVERIFY2(tool.exitCode() == status, errors.constData());

    QStringList left = QDir(dir.path()).entryList(QDir::Files);
    left.removeAll("trace.txt");
    left.removeAll("empty.conf");
    left.sort();
    if (status == 2) {
        QVERIFY2(errors.contains("tarnvik-report: "), errors.constData());
        QCOMPARE(left, QStringList{}); // nothing written, no temporary file left
    } else {
        QCOMPARE(left, (QStringList{"report.json", "report.pdf"}));
        QFile pdf(dir.filePath("report.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
    }
}

QTEST_GUILESS_MAIN(ChecksReportToolTest)
#include "checks_report_tool_test.moc"
