// SPDX-License-Identifier: MIT
// The traffic trace: bytes grouped into frames and lines however the port cut
// them, written in the <STX> notation that reads back to the same bytes.
#include "byte_notation.h"
#include "memory_serial_port.h"
#include "record_writer.h"
#include "trace_reader.h"
#include "tracing_serial_port.h"
#include "traffic_recorder.h"
#include "traffic_trace.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

class TrafficTraceTest : public QObject
{
    Q_OBJECT

private slots:
    void bytesAreGroupedIntoLines_data();
    void bytesAreGroupedIntoLines();
    void headerIsReadBack_data();
    void headerIsReadBack();
};

void TrafficTraceTest::bytesAreGroupedIntoLines_data()
{
    QTest::addColumn<QList<QByteArray>>("written");  // output() calls, in order
    QTest::addColumn<QList<QByteArray>>("arriving"); // deliveries to the port, in order
    QTest::addColumn<QStringList>("lines");          // the trace without times and port
    QTest::addColumn<int>("noteAfter");              // a note recorded after that delivery; -1 none

    QTest::newRow("frame written a character at a time")
        << QList<QByteArray>{"\x02", "0", "1", ";", ";", "D", "7", "\x03", "\x02", "X", "\x03"}
        << QList<QByteArray>{} << QStringList{"sent <STX>01;;D7<ETX>", "sent <STX>X<ETX>"} << -1;
    QTest::newRow("lines cut anywhere")
        << QList<QByteArray>{}
        << QList<QByteArray>{"\x02"
                             "08",
                             "5\r\x02S0001 A", " 160    120080093  072\r"}
        << QStringList{"received <STX>085<CR>", "received <STX>S0001 A 160    120080093  072<CR>"}
        << -1;
    QTest::newRow("noise before a line and a line not yet ended")
        << QList<QByteArray>{}
        << QList<QByteArray>{"\xff\x01<", "\x02"
                                          "150\r\x02"
                                          "14"}
        << QStringList{"received <xFF><x01><x3C>", "received <STX>150<CR>", "received <STX>14"}
        << -1;
    QTest::newRow("DEL spelt out, not written raw")
        << QList<QByteArray>{}
        << QList<QByteArray>{"\x02\x7f"
                             "120\r"}
        << QStringList{"received <STX><x7F>120<CR>"} << -1;
    QTest::newRow("a frame cut short by a failed write")
        << QList<QByteArray>{"\x02", "1", "8", "\x02", "1", "8", ";", ";", "D", "F", "\x03"}
        << QList<QByteArray>{} << QStringList{"sent <STX>18", "sent <STX>18;;DF<ETX>"} << -1;
    QTest::newRow("a note in the middle of a line leaves the line whole")
        << QList<QByteArray>{}
        << QList<QByteArray>{"\x02"
                             "08",
                             "5\r"}
        << QStringList{"received <STX>085<CR>"} << 0;
}

void TrafficTraceTest::bytesAreGroupedIntoLines()
{
    QFETCH(QList<QByteArray>, written);
    QFETCH(QList<QByteArray>, arriving);
    QFETCH(QStringList, lines);
    QFETCH(int, noteAfter);
    QTemporaryDir dir;
    const QString path = dir.filePath("trace.txt");
    QList<TrafficEntry> recorded; // what any other consumer of the recorder sees
    {
        RecordWriter writer; // ends last, writing all it was given
        MemorySerialPort inner;
        TrafficTrace trace(path, writer);
        writer.start();
        TrafficRecorder recorder; // ends before the trace, which takes its last groups
        QObject::connect(&recorder, &TrafficRecorder::entryRecorded, &trace, &TrafficTrace::write);
        QObject::connect(&recorder, &TrafficRecorder::entryRecorded, &recorder,
                         [&](const TrafficEntry &entry) { recorded << entry; });
        TracingSerialPort port(inner, recorder);
        QVERIFY(port.setCommPort(1));
        QVERIFY(port.open());
        for (const QByteArray &bytes : written)
            QVERIFY(port.output(bytes));
        for (int i = 0; i < arriving.size(); ++i) {
            inner.deliver(arriving.at(i));
            port.input();
            if (i == noteAfter)
                recorder.note(QStringLiteral("COM1"), QStringLiteral("reference 120"));
        }
        QCOMPARE(inner.written(), written.join());
        QVERIFY(port.close()); // an event line after the traffic
    }

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList seen;
    qint64 lastMs = 0;
    const QList<TrafficEntry> entries = TraceReader::read(file);
    // Reading the file back gives the entries the recorder handed out.
    QCOMPARE(entries.size(), recorded.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QCOMPARE(entries.at(i).ms, recorded.at(i).ms);
        QCOMPARE(entries.at(i).port, recorded.at(i).port);
        QCOMPARE(entries.at(i).kind, recorded.at(i).kind);
        QCOMPARE(entries.at(i).bytes, recorded.at(i).bytes);
    }
    for (const TrafficEntry &entry : entries) {
        QCOMPARE(entry.port, QStringLiteral("COM1"));
        QVERIFY(entry.ms >= lastMs);
        lastMs = entry.ms;
        if (entry.kind != TrafficEntry::kSent && entry.kind != TrafficEntry::kReceived) {
            QVERIFY2(entry.bytes.isEmpty(), qPrintable(entry.kind)); // none of the line before
            continue;
        }
        seen << entry.kind + ' ' + ByteNotation::readable(entry.bytes);
        // The notation reads back to the bytes that went over the line.
        QCOMPARE(ByteNotation::bytes(ByteNotation::readable(entry.bytes)), entry.bytes);
    }
    QCOMPARE(seen, lines);
    // A line still open when the port closes is handed out before "closed".
    QCOMPARE(entries.constLast().kind, QStringLiteral("closed"));
}

void TrafficTraceTest::headerIsReadBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("header"); // "program version time"; "" for none
    QTest::addColumn<int>("skipped");
    QTest::addColumn<int>("entries");

    const QString entries = "10 COM1 opened\n20 COM1 sent <STX>X<ETX>\n";
    QTest::newRow("header with the start time and its offset")
        << "# tarnvik 1.0.1 trace started 2026-12-07T14:05:09+01:00\n" + entries
        << "tarnvik 1.0.1 2026-12-07T14:05:09+01:00" << 0 << 2;
    QTest::newRow("header in UTC, CRLF line ends")
        << "# tarnvik 1.2.0 trace started 2026-12-07T13:05:09Z\r\n" + entries
        << "tarnvik 1.2.0 2026-12-07T13:05:09+00:00" << 0 << 2;
    QTest::newRow("old trace without header") << entries << "" << 0 << 2;
    QTest::newRow("time without its offset is no header")
        << "# tarnvik 1.0.1 trace started 2026-12-07T14:05:09\n" + entries << "" << 1 << 2;
    QTest::newRow("header line after the first is skipped")
        << entries + "# tarnvik 1.0.1 trace started 2026-12-07T14:05:09+01:00\n"
        << "" << 1 << 2;
}

void TrafficTraceTest::headerIsReadBack()
{
    QFETCH(QString, text);
    QFETCH(QString, header);
    QFETCH(int, skipped);
    QFETCH(int, entries);
    QByteArray bytes = text.toUtf8();
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    int bad = -1;
    std::optional<TraceHeader> read;
    QCOMPARE(TraceReader::read(buffer, &bad, &read).size(), entries);
    QCOMPARE(bad, skipped);
    QCOMPARE(read.has_value(), !header.isEmpty());
    if (read) {
        QCOMPARE(read->program + ' ' + read->version + ' ' +
                     TraceHeader::isoWithOffset(read->started),
                 header);
        // What the writer puts first reads back the same.
        QCOMPARE(TraceHeader::parse(read->line())->started, read->started);
    }
}

QTEST_GUILESS_MAIN(TrafficTraceTest)
#include "traffic_trace_test.moc"
