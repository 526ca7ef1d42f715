// SPDX-License-Identifier: MIT
// The trace of a start-up and a measurement against a simulated board over a
// pseudo-terminal (the panel on a tracing port around the real serial port
// class): what the board took and sent, in order, and the measurement shown.
#include "board_panel.h"
#include "byte_notation.h"
#include "measurement_curve.h"
#include "pty_rig.h"
#include "record_writer.h"
#include "recording_display.h"
#include "trace_reader.h"
#include "tracing_serial_port.h"
#include "traffic_recorder.h"
#include "traffic_trace.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using Field = BoardState::Field;

class TraceOverPtyTest : public QObject
{
    Q_OBJECT

private slots:
    void traceHoldsStartUpAndMeasurement();
};

void TraceOverPtyTest::traceHoldsStartUpAndMeasurement()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("trace.txt");
    QStringList boardLines;
    QString systolic, pulse;
    {
        RecordWriter writer; // ends last, writing all it was given
        PtyRig rig({1}, 50.0, 0.0);
        TrafficTrace trace(path, writer);
        writer.start();
        TrafficRecorder recorder;
        QObject::connect(&recorder, &TrafficRecorder::entryRecorded, &trace, &TrafficTrace::write);
        TracingSerialPort port(rig.port(), recorder);
        BoardPanel panel(port);
        RecordingDisplay display(panel);
        // The panel's tick, scaled like the board's clock.
        panel.findChild<QTimer *>(QStringLiteral("Val_Update"))->setInterval(3);
        QObject::connect(
            &rig.board(1), &SimulatedBoard::lineSent, &panel,
            [&](const QByteArray &line) { boardLines << ByteNotation::readable(line); });
        panel.startUp();
        rig.boards().start();
        const auto map = [&] {
            return display.text(Field::MeanPressure);
        };
        QVERIFY(rig.waitForStartUp(1, map, 15000, 1));
        panel.startMeasurement();
        QVERIFY(
            PtyRig::waitFor([&] { return !display.text(Field::Systolic).isEmpty(); }, 15000, 1));
        systolic = display.text(Field::Systolic);
        pulse = display.text(Field::PulseRate);
        PtyRig::run(50);
        panel.exitProgram();
        rig.boards().stop();
    }

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    int skipped = -1;
    const QList<TrafficEntry> entries = TraceReader::read(file, &skipped);
    QCOMPARE(skipped, 0);
    QStringList sent, received, events;
    qint64 lastMs = 0;
    for (const TrafficEntry &entry : entries) {
        QVERIFY(entry.ms >= lastMs);
        lastMs = entry.ms;
        const QString bytes = ByteNotation::readable(entry.bytes);
        if (entry.kind == TrafficEntry::kSent)
            sent << entry.port + ' ' + bytes;
        else if (entry.kind == TrafficEntry::kReceived)
            received << bytes;
        else
            events << entry.port + ' ' + entry.kind.section(':', 0, 0);
    }
    // The port search of start-up, the open, and the close at exit.
    QCOMPARE(events.first(), QStringLiteral("COM1 opened"));
    QVERIFY(events.contains("COM2 not opened"));
    QCOMPARE(events.mid(events.size() - 2), (QStringList{"COM1 opened", "COM1 closed"}));
    QCOMPARE(sent,
             (QStringList{"COM1 <STX>03;;D9<ETX>", "COM1 <STX>24;;DC<ETX>", "COM1 <STX>22;;DA<ETX>",
                          "COM1 <STX>18;;DF<ETX>", "COM1 <STX>01;;D7<ETX>"}));
    QCOMPARE(received, boardLines);
    QCOMPARE(received.first(), QStringLiteral("<STX>000 I A 160 00<CR>"));

    const QList<MeasurementCurve> curves = MeasurementCurve::fromTrace(entries);
    QCOMPARE(curves.size(), 1);
    QVERIFY(curves.first().result.has_value());
    QCOMPARE(curves.first().result->systolic, systolic);
    QCOMPARE(curves.first().result->pulse, pulse);
    QVERIFY(curves.first().points.size() > 10);
}

QTEST_GUILESS_MAIN(TraceOverPtyTest)
#include "trace_over_pty_test.moc"
