// The curve picture: a trace cut into measurements with their marks, and the
// picture drawn from them (its size and that it is not blank; no pixels are
// compared).
#include "curve_picture.h"
#include "measurement_curve.h"
#include "trace_reader.h"

#include <QBuffer>
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
    void pictureIsDrawn();
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

QTEST_MAIN(CurveTest)
#include "curve_test.moc"
