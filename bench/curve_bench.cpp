// Drawing the curves of a one-hour trace: reading the trace, cutting it into
// measurements, drawing them and encoding the PNG, as tarnvik-curve does.
// The trace is an hour of back-to-back measurements at real board time (a
// pressure line every 250 ms, 40 s a measurement, 90 measurements, 14 400
// lines), written in the trace format the program writes. The picture needs
// fonts, so this benchmark has its own main with a QGuiApplication on Qt's
// offscreen platform.
#include "curve_picture.h"
#include "measurement_curve.h"
#include "trace_reader.h"

#include <QBuffer>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

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
        const QImage picture = CurvePicture::render(curves);
        QByteArray png;
        QBuffer out(&png);
        out.open(QIODevice::WriteOnly);
        picture.save(&out, "PNG");
        pngBytes = png.size();
        state.counters["measurements"] = double(curves.size());
        state.counters["pixels"] = double(picture.width()) * picture.height();
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
