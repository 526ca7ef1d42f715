// SPDX-License-Identifier: MIT
// The record's writer thread: what handing a row or a trace line over costs
// the panel's thread (a queue under a mutex, no disk), and how many rows
// (each appended, fsynced and closed) and trace lines (appended in batches)
// the writer puts on the disk per second. On the file system of the working
// directory; the folder is removed afterwards.
#include "record_writer.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QByteArray kRow = "2026-12-07T14:05:09+01:00,COM1,/dev/ttyS0,Adult,160 mmHg,Manual,"
                        "120,080,093,072,result,<STX>S0001 A 160    120080093  072\r\n";
const QByteArray kLine = "123456 COM1 received <STX>S0001 A 160    120080093  072<CR>\n";

QByteArray gapLine(const QByteArray &, qint64 lost)
{
    return "0 - dropped " + QByteArray::number(lost) + " trace lines\n";
}

struct BenchWriter
{
    QTemporaryDir dir{QDir::current().filePath(QStringLiteral("record-writer-bench-XXXXXX"))};
    RecordWriter writer;
    BenchWriter()
    {
        writer.setResultsFile(dir.filePath(QStringLiteral("results.csv")), "header\r\n");
        writer.setTraceFile(dir.filePath(QStringLiteral("trace.txt")), gapLine);
        writer.start();
    }
};

void BM_RecordWriter_HandOverTraceLine(benchmark::State &state)
{
    BenchWriter bench;
    for (auto _ : state)
        bench.writer.addTraceLine(kLine);
    bench.writer.waitWritten(60000);
    state.counters["lost"] = double(bench.writer.traceLinesLost());
}
BENCHMARK(BM_RecordWriter_HandOverTraceLine)->Unit(benchmark::kNanosecond);

void BM_RecordWriter_HandOverRow(benchmark::State &state)
{
    BenchWriter bench;
    for (auto _ : state)
        bench.writer.addRow(kRow);
    bench.writer.finish(60000);
}
BENCHMARK(BM_RecordWriter_HandOverRow)->Unit(benchmark::kNanosecond)->Iterations(2000);

// Lines handed over and written, per second.
void BM_RecordWriter_TraceLinesWritten(benchmark::State &state)
{
    BenchWriter bench;
    for (auto _ : state) {
        for (int i = 0; i < 10000; ++i)
            bench.writer.addTraceLine(kLine);
        bench.writer.waitWritten(60000);
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_RecordWriter_TraceLinesWritten)->Unit(benchmark::kMillisecond)->UseRealTime();

// Rows handed over and written (each synced), per second.
void BM_RecordWriter_RowsWritten(benchmark::State &state)
{
    BenchWriter bench;
    for (auto _ : state) {
        for (int i = 0; i < 50; ++i)
            bench.writer.addRow(kRow);
        bench.writer.waitWritten(60000);
    }
    state.SetItemsProcessed(state.iterations() * 50);
}
BENCHMARK(BM_RecordWriter_RowsWritten)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
