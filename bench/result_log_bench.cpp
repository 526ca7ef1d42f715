// Writing one row of the results file, as a tick that shows a result does it:
// open, append, flush, fsync, close. Measured on the file system of the
// working directory (the folder is made there and removed afterwards), once
// with the sync to the disk and once without, to show what the sync costs.
#include "memory_serial_port.h"
#include "result_log.h"
#include "stub_display.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QString kResultLine = QStringLiteral("\x02S0001 A 160    120080093  072");

void BM_ResultLog_Row(benchmark::State &state)
{
    QTemporaryDir dir(QDir::current().filePath(QStringLiteral("result-log-bench-XXXXXX")));
    MemorySerialPort port;
    port.setCommPort(1);
    StubDisplay display;
    ResultLog log(dir.filePath(QStringLiteral("results.csv")), display, port);
    for (auto _ : state)
        log.record(kResultLine);
    if (display.failures() != 0)
        state.SkipWithError("the results file could not be written");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ResultLog_Row)->Unit(benchmark::kMicrosecond);

// The row's text alone: fields, quoting and UTF-8, without the file.
void BM_ResultLog_RowText(benchmark::State &state)
{
    MemorySerialPort port;
    port.setCommPort(1);
    StubDisplay display;
    const ResultLog log(QString(), display, port);
    const QDateTime now = QDateTime::currentDateTime();
    for (auto _ : state)
        benchmark::DoNotOptimize(ResultLog::csvLine(log.rowFields(kResultLine, now)));
}
BENCHMARK(BM_ResultLog_RowText)->Unit(benchmark::kMicrosecond);

} // namespace
