// SPDX-License-Identifier: MIT
// tarnvik-bench-program: runs the whole-program measurements (start-up, line
// delay, CPU idle and at the full line rate, resident memory over an hour of
// traffic) against the simulated board and prints the table. Started by
// scripts/bench-program; a benchmark, not a test: it never fails on a figure,
// only when a measurement could not be taken.
//
// Usage: tarnvik-bench-program LAUNCHER [--quick] [--startup-runs N]
//            [--idle-seconds N] [--delay-lines N] [--stream-seconds N]
//            [--hour-bytes N]
//   LAUNCHER is the path of tarnvik-bench-app. --quick shortens every part
//   (for trying the tool out; its figures are not the benchmark's); the other
//   options set one part's length, after --quick.
#include "program_bench.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (arguments.isEmpty() || arguments.first().startsWith(QLatin1Char('-'))) {
        err << "usage: tarnvik-bench-program LAUNCHER [--quick] [--startup-runs N] "
               "[--idle-seconds N] [--delay-lines N] [--stream-seconds N] [--hour-bytes N]\n";
        return 2;
    }

    ProgramBench::Settings settings;
    settings.launcher = arguments.first();
    if (arguments.contains(QStringLiteral("--quick"))) {
        settings.startupRuns = 3;
        settings.idleSeconds = 5;
        settings.delayLines = 40;
        settings.streamSeconds = 5;
        settings.hourBytes = ProgramBench::kLineRate * 300;
    }
    const std::pair<const char *, qint64 *> lengths[] = {
        {"--startup-runs", &settings.startupRuns}, {"--idle-seconds", &settings.idleSeconds},
        {"--delay-lines", &settings.delayLines},   {"--stream-seconds", &settings.streamSeconds},
        {"--hour-bytes", &settings.hourBytes},
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--quick"))
            continue;
        bool known = false;
        for (const auto &[name, value] : lengths) {
            if (arguments.at(i) != QLatin1String(name))
                continue;
            bool ok = false;
            *value = arguments.value(i + 1).toLongLong(&ok);
            if (!ok || *value < 1) {
                err << "tarnvik-bench-program: " << name << " takes a number above 0\n";
                return 2;
            }
            known = true;
            ++i;
        }
        if (!known) {
            err << "tarnvik-bench-program: unknown option " << arguments.at(i) << "\n";
            return 2;
        }
    }

    ProgramBench bench(settings);
    if (!bench.runStartup() || !bench.runSession()) {
        err << "tarnvik-bench-program: " << bench.error() << Qt::endl;
        return 1;
    }
    bench.printTable(out);
    return 0;
}
