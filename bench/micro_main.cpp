// SPDX-License-Identifier: MIT
// The micro-benchmarks' entry: Google Benchmark's own, inside a Qt
// application, since the panel's start-up starts its interpretation timer.
// The benchmarks tick by hand; the event loop never runs.
#include <QCoreApplication>

#include <benchmark/benchmark.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
