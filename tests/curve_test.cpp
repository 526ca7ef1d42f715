// SPDX-License-Identifier: MIT
// The curve picture: a trace cut into measurements with their marks, and the
// picture drawn from them (its size and that it is not blank; no pixels are
// compared); the axis steps and the curve line it shares with the report.
#include "axis_step.h"
#include "curve_line.h"
#include "curve_picture.h"
#include "measurement_curve.h"
#include "measurement_splitter.h"
#include "trace_reader.h"

#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QList<MeasurementCurve> curvesOf(const QString &trace)
{
    QByteArray text = trace.toUtf8();
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    return MeasurementCurve::fromTrace(TraceReader::read(buffer));
}

// A measurement as text: "START 0 | 100@10 150@20 | result@30 120/080/093/072".
QString describe(const MeasurementCurve &curve)
{
    QStringList marks, points;
    for (const MeasurementCurve::Marker &m : curve.marks)
        marks << QStringLiteral("%1@%2").arg(MeasurementCurve::markName(m.mark)).arg(m.ms);
    for (const MeasurementCurve::Point &p : curve.points)
        points << QStringLiteral("%1@%2").arg(p.pressure).arg(p.ms);
    QString text = marks.join(' ') + " | " + points.join(' ');
    if (curve.result)
        text += QStringLiteral(" | %1/%2/%3/%4")
                    .arg(curve.result->systolic, curve.result->diastolic, curve.result->mean,
                         curve.result->pulse);
    return text;
}

const QString kStartUp = "10 COM1 opened\n"
                         "11 COM1 sent <STX>18;;DF<ETX>\n"
                         "40 COM1 received <STX>000 I A 160 00<CR>\n";
const QString kResultLine = "received <STX>S0001 A 160    120080093  072<CR>\n";

} // namespace

class CurveTest : public QObject
{
    Q_OBJECT

private slots:
    void traceIsCutIntoMeasurements_data();
    void traceIsCutIntoMeasurements();
    void onlyEndedMeasurementsAreHandedOut_data();
    void onlyEndedMeasurementsAreHandedOut();
    void pictureIsDrawn();
    void axisStepIsRound_data();
    void axisStepIsRound();
    void axisEndsAreWholeSteps_data();
    void axisEndsAreWholeSteps();
    void curveLineKeepsEachColumnsExtremes_data();
    void curveLineKeepsEachColumnsExtremes();
    void toolWritesPages_data();
    void toolWritesPages();
};

void CurveTest::traceIsCutIntoMeasurements_data()
{
    QTest::addColumn<QString>("trace");
    QTest::addColumn<QStringList>("measurements");

    QTest::newRow("START to result")
        << kStartUp +
               "100 COM1 sent <STX>01;;D7<ETX>\n"
               "200 COM1 received <STX>080<CR>\n"
               "300 COM1 received <STX>160<CR>\n"
               "400 COM1 " +
               kResultLine + "500 COM1 received <STX>000 I A 160 00<CR>\n"
        << QStringList{"START@100 result@400 | 80@200 160@300 | "
                       "120/080/093/072"};
    QTest::newRow("999 ends it") << "100 COM1 sent <STX>01;;D7<ETX>\n"
                                    "200 COM1 received <STX>080<CR>\n"
                                    "300 COM1 received <STX>999<CR>\n"
                                    "310 COM1 sent <STX>18;;DF<ETX>\n"
                                 << QStringList{"START@100 999@300 | 80@200"};
    QTest::newRow("Break, then the vent down to 0")
        << "100 COM1 sent <STX>01;;D7<ETX>\n"
           "200 COM1 received <STX>120<CR>\n"
           "300 COM1 sent <STX>X<ETX>\n"
           "400 COM1 received <STX>080<CR>\n"
           "500 COM1 received <STX>000<CR>\n"
           "600 COM1 received <STX>000 I A 160 00<CR>\n"
        << QStringList{"START@100 Break@300 | 120@200 80@400 0@500"};
    QTest::newRow("a Break outside a measurement: the vent's 000, then a cycle start")
        << "100 COM1 sent <STX>X<ETX>\n"
           "200 COM1 received <STX>050<CR>\n"
           "300 COM1 received <STX>000<CR>\n"
           "400 COM1 received <STX>020<CR>\n"
        << QStringList{" | 20@400"};
    QTest::newRow("a line longer than any trace line is skipped whole")
        << "100 COM1 sent <STX>01;;D7<ETX>\n" + QString(200000, 'x') +
               " 150 COM1 received <STX>999<CR>\n"
               "200 COM1 received <STX>080<CR>\n"
        << QStringList{"START@100 | 80@200"};
    QTest::newRow("a cycle start by the board, then manometer traffic left out")
        << kStartUp +
               "100 COM1 received <STX>010<CR>\n"
               "200 COM1 received <STX>020<CR>\n"
               "300 COM1 " +
               kResultLine +
               "400 COM1 sent <STX>14;;DB<ETX>\n"
               "500 COM1 received <STX>050<CR>\n"
               "600 COM1 sent <STX>X<ETX>\n"
               "700 COM1 received <STX>010<CR>\n"
               "800 COM1 received <STX>000<CR>\n"
        << QStringList{"result@300 | 10@100 20@200 | 120/080/093/072"};
    QTest::newRow("lines without their CR are left out, as the panel leaves them")
        << "100 COM1 sent <STX>01;;D7<ETX>\n"
           "200 COM1 received <STX>080<CR>\n"
           "300 COM1 received <STX>120\n"
           "400 COM1 received <STX>999\n"
           "500 COM1 received <STX>090<CR>\n"
        << QStringList{"START@100 | 80@200 90@500"};
    QTest::newRow("two measurements, the first without its end; torn lines skipped")
        << "100 COM1 sent <STX>01;;D7<ETX>\n"
           "200 COM1 received <STX>080<CR>\n"
           "garbage\n"
           "300 COM1 sent <STX>01;;D7<ETX>\n"
           "400 COM1 received <STX>090<CR>\n"
           "450 COM1 rec"
        << QStringList{"START@100 | 80@200", "START@300 | 90@400"};
}

void CurveTest::traceIsCutIntoMeasurements()
{
    QFETCH(QString, trace);
    QFETCH(QStringList, measurements);
    QStringList seen;
    for (const MeasurementCurve &curve : curvesOf(trace))
        seen << describe(curve);
    QCOMPARE(seen, measurements);
}

// The curve tool draws a page as soon as enough measurements have ended; the
// one still running must stay, and one that never ends is cut at the cap.
void CurveTest::onlyEndedMeasurementsAreHandedOut_data()
{
    QTest::addColumn<QString>("trace");
    QTest::addColumn<int>("ended");  // before the end of the trace
    QTest::addColumn<int>("total");  // after it
    QTest::addColumn<int>("points"); // of the first measurement
    QTest::addColumn<bool>("cut");   // the first measurement

    const QString start = "100 COM1 sent <STX>01;;D7<ETX>\n";
    QString endless = start;
    for (int i = 0; i < MeasurementSplitter::kMaxPoints + 3; ++i)
        endless += QStringLiteral("%1 COM1 received <STX>120<CR>\n").arg(200 + i);
    QTest::newRow("a running measurement stays") << start + "200 COM1 received <STX>080<CR>\n"
                                                 << 0 << 1 << 1 << false;
    QTest::newRow("a result ends it")
        << start + "200 COM1 received <STX>080<CR>\n300 COM1 " + kResultLine << 1 << 1 << 1
        << false;
    QTest::newRow("one that never ends is cut at the cap")
        << endless << 1 << 2 << MeasurementSplitter::kMaxPoints << true;
}

void CurveTest::onlyEndedMeasurementsAreHandedOut()
{
    QFETCH(QString, trace);
    QFETCH(int, total);
    QByteArray text = trace.toUtf8();
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    TraceReader reader(buffer);
    MeasurementSplitter splitter;
    for (TrafficEntry entry; reader.next(entry);)
        splitter.add(entry);
    QTEST(int(splitter.endedCount()), "ended");
    const QList<MeasurementCurve> first = splitter.takeEnded(1);
    splitter.finish();
    QCOMPARE(first.size() + splitter.endedCount(), total);
    const MeasurementCurve curve = first.isEmpty() ? splitter.takeEnded(1).first() : first.first();
    QTEST(int(curve.points.size()), "points");
    QTEST(curve.cut, "cut");
}

// Five measurements: two columns of panels, the curves drawn in blue.
void CurveTest::pictureIsDrawn()
{
    QString trace;
    for (int t0 = 0; t0 < 50000; t0 += 10000) {
        trace += QStringLiteral("%1 COM1 sent <STX>01;;D7<ETX>\n").arg(t0);
        for (int i = 1; i <= 20; ++i)
            trace += QStringLiteral("%1 COM1 received <STX>%2<CR>\n")
                         .arg(t0 + i * 250)
                         .arg(i <= 10 ? i * 16 : 320 - i * 16, 3, 10, QLatin1Char('0'));
        trace += QStringLiteral("%1 COM1 ").arg(t0 + 5500) + kResultLine;
    }
    const QImage picture = CurvePicture::render(curvesOf(trace));
    QCOMPARE(picture.size(), QSize(2 * 640, 3 * 300));
    int inked = 0, blue = 0;
    for (int y = 0; y < picture.height(); y += 2) {
        for (int x = 0; x < picture.width(); x += 2) {
            const QColor c = picture.pixelColor(x, y);
            inked += c != Qt::white ? 1 : 0;
            blue += c.blue() > 150 && c.red() < 100 ? 1 : 0;
        }
    }
    QVERIFY2(inked > 5000 && blue > 500, qPrintable(QStringLiteral("%1 %2").arg(inked).arg(blue)));
}

void CurveTest::axisStepIsRound_data()
{
    QTest::addColumn<double>("range");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<double>("step");

    QTest::newRow("10 in 5 ticks: 2, on the step") << 10.0 << 5 << 2.0;
    QTest::newRow("10.01 in 5 ticks: past 2, so 5") << 10.01 << 5 << 5.0;
    QTest::newRow("25 in 5 ticks: 5, on the step") << 25.0 << 5 << 5.0;
    QTest::newRow("25.01 in 5 ticks: past 5, so 10") << 25.01 << 5 << 10.0;
    QTest::newRow("1000 in 5 ticks: 200, a power of ten on its own") << 1000.0 << 5 << 200.0;
    QTest::newRow("0.15 in 1 tick: 0.2") << 0.15 << 1 << 0.2;
    QTest::newRow("a hair above 0.2 a tick by rounding stays 0.2") << 0.1 * 3 + 0.3 << 3 << 0.2;
    QTest::newRow("no ticks count as one") << 7.0 << 0 << 10.0;
    QTest::newRow("a range of 0 gets a tiny step, not the log of 0") << 0.0 << 5 << 2e-10;
}

void CurveTest::axisStepIsRound()
{
    QFETCH(double, range);
    QFETCH(int, ticks);
    QTEST(AxisStep::nice(range, ticks), "step");
}

void CurveTest::axisEndsAreWholeSteps_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("down");
    QTest::addColumn<double>("up");

    QTest::newRow("on a step") << 1.2 << 0.2 << 1.2 << 1.2;
    QTest::newRow("between steps") << 1.3 << 0.5 << 1.0 << 1.5;
    QTest::newRow("a hair above a step by rounding (0.1 x 3) counts as on it")
        << 0.1 * 3 << 0.1 << 0.3 << 0.3;
    QTest::newRow("a hair below a step by rounding counts as on it") << 0.7 << 0.1 << 0.7 << 0.7;
    QTest::newRow("below 0") << -0.3 << 0.2 << -0.4 << -0.2;
}

void CurveTest::axisEndsAreWholeSteps()
{
    QFETCH(double, value);
    QFETCH(double, step);
    QTEST(AxisStep::down(value, step), "down");
    QTEST(AxisStep::up(value, step), "up");
}

// The line's corners: of the points in one device column (x from n to just
// below n + 1) the first, the highest and lowest in their order, the last.
void CurveTest::curveLineKeepsEachColumnsExtremes_data()
{
    QTest::addColumn<QList<QPointF>>("points");
    QTest::addColumn<QList<QPointF>>("corners");

    const QList<QPointF> spread{{0.5, 10}, {1.5, 20}, {2.5, 5}};
    QTest::newRow("no point: no line") << QList<QPointF>() << QList<QPointF>();
    QTest::newRow("one point: where the line starts")
        << QList<QPointF>{{5, 5}} << QList<QPointF>{{5, 5}};
    QTest::newRow("a column each: every point") << spread << spread;
    QTest::newRow("one column: first, top, bottom, last")
        << QList<QPointF>{{3.1, 50}, {3.2, 10}, {3.3, 90}, {3.4, 40}, {3.5, 60}}
        << QList<QPointF>{{3.1, 50}, {3.2, 10}, {3.3, 90}, {3.5, 60}};
    QTest::newRow("bottom before top: in their order")
        << QList<QPointF>{{3.1, 50}, {3.2, 90}, {3.3, 40}, {3.4, 10}, {3.5, 60}}
        << QList<QPointF>{{3.1, 50}, {3.2, 90}, {3.4, 10}, {3.5, 60}};
    QTest::newRow("a column begins at its whole x")
        << QList<QPointF>{{0.99, 5}, {1.0, 1}, {1.2, 9}, {1.3, 4}, {1.99, 6}, {2.0, 2}}
        << QList<QPointF>{{0.99, 5}, {1.0, 1}, {1.2, 9}, {1.99, 6}, {2.0, 2}};
    QTest::newRow("a flat column: its first and last")
        << QList<QPointF>{{4.1, 7}, {4.2, 7}, {4.3, 7}} << QList<QPointF>{{4.1, 7}, {4.3, 7}};
}

void CurveTest::curveLineKeepsEachColumnsExtremes()
{
    QFETCH(QList<QPointF>, points);
    const QPainterPath path = CurveLine::path(points);
    QList<QPointF> corners;
    for (int i = 0; i < path.elementCount(); ++i)
        corners.append(path.elementAt(i));
    QTEST(corners, "corners");
}

// The tool itself: a page of measurements a picture, the next pages beside the
// first, and what it says and how it ends for each kind of input.
void CurveTest::toolWritesPages_data()
{
    QTest::addColumn<QStringList>("arguments"); // TRACE: the trace below; PNG: the output
    QTest::addColumn<QString>("trace");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QStringList>("pictures");

    QString thirty = "garbage\n";
    for (int i = 0; i < 30; ++i)
        thirty += QStringLiteral("%1 COM1 sent <STX>01;;D7<ETX>\n%2 COM1 ")
                      .arg(i * 1000)
                      .arg(i * 1000 + 500) +
                  kResultLine;
    const QStringList run{"TRACE", "-o", "PNG"};
    QTest::newRow("help before the arguments are checked")
        << QStringList{"--help"} << QString() << 0 << "Usage:" << QStringList{};
    QTest::newRow("thirty measurements: two pages, the skipped line counted")
        << run << thirty << 0 << "curves-2.png; 1 line(s) skipped"
        << QStringList{"curves.png", "curves-2.png"};
    QTest::newRow("no trace line at all")
        << run << QString("\x01garbage\nmore\n") << 1 << "holds no trace line (2 line(s) skipped)"
        << QStringList{};
    QTest::newRow("a trace without a measurement: the empty picture")
        << run << QString("10 COM1 opened\n") << 0 << "0 measurement(s)"
        << QStringList{"curves.png"};
}

void CurveTest::toolWritesPages()
{
#ifdef Q_OS_WIN
    QSKIP("the tool's path is one of the build machine");
#endif
    QFETCH(QStringList, arguments);
    QFETCH(QString, trace);
    QFETCH(QStringList, pictures);
    QTemporaryDir dir;
    QFile file(dir.filePath("trace.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(trace.toUtf8()) == trace.toUtf8().size());
    file.close();
    arguments.replaceInStrings(QRegularExpression("^TRACE$"), file.fileName());
    arguments.replaceInStrings(QRegularExpression("^PNG$"), dir.filePath("curves.png"));

    QProcess tool;
    tool.start(QStringLiteral(CURVE_TOOL), arguments);
    QVERIFY(tool.waitForFinished(30000));
    const QString output = tool.readAllStandardOutput() + tool.readAllStandardError();
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QTEST(tool.exitCode(), "exitCode");
    QFETCH(QString, says);
    QVERIFY2(output.contains(says), qPrintable(output));
    for (const QString &picture : pictures)
        QVERIFY2(!QImage(dir.filePath(picture)).isNull(), qPrintable(picture));
    QStringList written = QDir(dir.path()).entryList({"*.png"}, QDir::Files);
    written.sort();
    pictures.sort();
    QCOMPARE(written, pictures);
}

QTEST_MAIN(CurveTest)
#include "curve_test.moc"
