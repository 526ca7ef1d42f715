// SPDX-License-Identifier: MIT
// Drawing the curves of a one-hour trace: reading the trace, cutting it into
// measurements, drawing them a page of 24 at a time and encoding the PNGs, as
// tarnvik-curve does.
// Then the tarnvik-curve tool itself, as its own process, on traces of 50 MB
// and on 0.7 MB of random bytes: its wall time and its peak resident memory.
// The trace is an hour of back-to-back measurements at real board time (a
// pressure line every 250 ms, 40 s a measurement, 90 measurements, 14 400
// lines), written in the trace format the program writes. The picture needs
// fonts, so this benchmark has its own main with a QGuiApplication on Qt's
// offscreen platform.
#include "curve_picture.h"
#include "measurement_curve.h"
#include "trace_reader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

extern char **environ;

namespace {

constexpr int kHourMs = 3600 * 1000;
constexpr int kLineMs = 250;
constexpr int kMeasurementMs = 40 * 1000;

QByteArray oneHourTrace()
{
    QByteArray trace = "0 COM1 opened\n";
    for (int start = 0; start + kMeasurementMs <= kHourMs; start += kMeasurementMs) {
        trace += QByteArray::number(start) + " COM1 sent <STX>01;;D7<ETX>\n";
        const int lines = kMeasurementMs / kLineMs - 2;
        for (int i = 1; i <= lines; ++i) {
            // 10 mmHg a line up to 180, then 8 mmHg steps every four lines.
            const int pressure = i <= 18 ? i * 10 : std::max(0, 180 - ((i - 18) / 4) * 8);
            trace += QByteArray::number(start + i * kLineMs) + " COM1 received <STX>" +
                     QByteArray::number(pressure).rightJustified(3, '0') + "<CR>\n";
        }
        trace += QByteArray::number(start + (lines + 1) * kLineMs) +
                 " COM1 received <STX>S0001 A 160    120080093  072<CR>\n";
    }
    return trace;
}

void BM_Curve_OneHourTrace(benchmark::State &state)
{
    QByteArray trace = oneHourTrace();
    qsizetype pngBytes = 0;
    for (auto _ : state) {
        QBuffer in(&trace);
        in.open(QIODevice::ReadOnly);
        const QList<MeasurementCurve> curves = MeasurementCurve::fromTrace(TraceReader::read(in));
        pngBytes = 0;
        double pixels = 0;
        for (qsizetype first = 0; first < curves.size(); first += CurvePicture::kPageSize) {
            const QImage picture =
                CurvePicture::render(curves.mid(first, CurvePicture::kPageSize), int(first) + 1);
            QByteArray png;
            QBuffer out(&png);
            out.open(QIODevice::WriteOnly);
            picture.save(&out, "PNG");
            pngBytes += png.size();
            pixels += double(picture.width()) * picture.height();
        }
        state.counters["measurements"] = double(curves.size());
        state.counters["pixels"] = pixels;
    }
    state.counters["trace_lines"] = double(trace.count('\n'));
    state.counters["png_kB"] = double(pngBytes) / 1024.0;
}
BENCHMARK(BM_Curve_OneHourTrace)->Unit(benchmark::kMillisecond)->Iterations(3);

// Reading and splitting alone, without drawing and encoding.
void BM_Curve_OneHourTrace_ReadAndSplit(benchmark::State &state)
{
    QByteArray trace = oneHourTrace();
    for (auto _ : state) {
        QBuffer in(&trace);
        in.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(MeasurementCurve::fromTrace(TraceReader::read(in)));
    }
}
BENCHMARK(BM_Curve_OneHourTrace_ReadAndSplit)->Unit(benchmark::kMillisecond)->Iterations(3);

enum TraceShape { BackToBack, Endless, RandomBytes };

// 50 MB of one-hour traces one after the other (about 8 900 measurements);
// 50 MB of one measurement that never ends (a pressure line every 20 ms); or
// 0.7 MB of random bytes.
QByteArray traceOf(TraceShape shape)
{
    if (shape == RandomBytes) {
        QByteArray bytes(700 * 1024, '\0');
        QRandomGenerator generator(7);
        for (char &c : bytes)
            c = char(generator.bounded(256));
        return bytes;
    }
    constexpr qsizetype kSize = 50 * 1024 * 1024;
    QByteArray trace;
    trace.reserve(kSize + 1024 * 1024);
    if (shape == BackToBack) {
        const QByteArray hour = oneHourTrace();
        while (trace.size() < kSize)
            trace += hour; // the times start again: the splitter does not mind
        return trace;
    }
    trace = "0 COM1 sent <STX>01;;D7<ETX>\n";
    for (qint64 i = 1; trace.size() < kSize; ++i)
        trace += QByteArray::number(i * 20) + " COM1 received <STX>" +
                 QByteArray::number(100 + i % 80) + "<CR>\n";
    return trace;
}

// The peak resident memory of a running process in kB, from /proc; 0 once
// it has ended. (The rusage of the child would count this process's own
// peak: the child begins as a copy of it.)
long peakKilobytes(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

// Runs the tool on `trace`, its output thrown away; its CPU time and, read
// while it runs, its peak resident memory.
int runTool(const QString &trace, const QString &picture, double &cpuSeconds, long &peakKb)
{
    const QByteArray tool = TARNVIK_CURVE_TOOL;
    const QByteArray in = QFile::encodeName(trace);
    const QByteArray out = QFile::encodeName(picture);
    char *argv[] = {const_cast<char *>(tool.constData()), const_cast<char *>(in.constData()),
                    const_cast<char *>("-o"), const_cast<char *>(out.constData()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int status = -1;
    rusage usage = {};
    peakKb = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) == 0) {
        while (wait4(pid, &status, WNOHANG, &usage) == 0) {
            peakKb = std::max(peakKb, peakKilobytes(pid));
            usleep(10000);
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_CurveTool(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));
    const QByteArray bytes = traceOf(TraceShape(state.range(0)));
    QFile file(trace);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        state.SkipWithError("cannot write the trace");
        return;
    }
    file.close();
    double cpuSeconds = 0;
    long peakKb = 0;
    int exitCode = 0;
    for (auto _ : state)
        exitCode = runTool(trace, dir.filePath(QStringLiteral("curves.png")), cpuSeconds, peakKb);
    state.counters["trace_MB"] = double(bytes.size()) / (1024.0 * 1024.0);
    state.counters["peak_RSS_MB"] = double(peakKb) / 1024.0;
    state.counters["cpu_s"] = cpuSeconds;
    state.counters["pictures"] =
        double(QDir(dir.path()).entryList({QStringLiteral("*.png")}).size());
    state.counters["exit_code"] = exitCode;
}
BENCHMARK(BM_CurveTool)
    ->ArgName("shape")
    ->Arg(RandomBytes)
    ->Arg(Endless)
    ->Arg(BackToBack)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
