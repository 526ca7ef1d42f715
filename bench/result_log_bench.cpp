// SPDX-License-Identifier: MIT
// Writing one row of the results file, as a tick that shows a result does it:
// open, append, flush, fsync, close. Measured on the file system of the
// working directory (the folder is made there and removed afterwards), once
// with the sync to the disk and once without, to show what the sync costs.
#include "memory_serial_port.h"
#include "record_writer.h"
#include "result_log.h"
#include "result_row.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// The end of a measurement as the panel hands it over.
MeasurementEnd resultEnd()
{
    MeasurementEnd end;
    end.patient = QStringLiteral("Adult");
    end.pumpUp = QStringLiteral("160 mmHg");
    end.cycle = QStringLiteral("Manual");
    end.systolic = QStringLiteral("120");
    end.diastolic = QStringLiteral("080");
    end.mean = QStringLiteral("093");
    end.pulse = QStringLiteral("072");
    end.line = QStringLiteral("\x02S0001 A 160    120080093  072");
    return end;
}

void BM_ResultLog_Row(benchmark::State &state)
{
    QTemporaryDir dir(QDir::current().filePath(QStringLiteral("result-log-bench-XXXXXX")));
    MemorySerialPort port;
    port.setCommPort(1);
    RecordWriter writer;
    ResultLog log(dir.filePath(QStringLiteral("results.csv")), writer, port);
    writer.start();
    const MeasurementEnd end = resultEnd();
    for (auto _ : state) {
        log.record(end);
        writer.waitWritten(60000);
    }
    if (!writer.failure(RecordWriter::Source::Results).isEmpty())
        state.SkipWithError("the results file could not be written");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ResultLog_Row)->Unit(benchmark::kMicrosecond);

// The row's text alone: fields, quoting and UTF-8, without the file.
void BM_ResultLog_RowText(benchmark::State &state)
{
    const MeasurementEnd end = resultEnd();
    const QString device = MemorySerialPort().deviceName(1);
    const QDateTime now = QDateTime::currentDateTime();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            ResultRow::csvLine(ResultRow::fields(end, QStringLiteral("COM1"), device, now)));
}
BENCHMARK(BM_ResultLog_RowText)->Unit(benchmark::kMicrosecond);

} // namespace
