// SPDX-License-Identifier: MIT
// One interpretation tick, on the panel's own state: on a pressure line, on a
// result line, and on the end value "999", whose tick writes a read-status
// frame to the in-memory port. The line is delivered once; like the program,
// every tick interprets the same line again while the line-complete flag stays.
#include "board_panel.h"
#include "memory_serial_port.h"

#include <benchmark/benchmark.h>

namespace {

using Field = BoardState::Field;

constexpr int kClearEvery = 1024; // ticks between clearing the port's record

const QByteArray kPressureLine("\x02"
                               "160"
                               "0000A10C00\x0d");
const QByteArray kResultLine("\x02S00000000000000120080093  07200\x0d");
const QByteArray kEndLine("\x02"
                          "999"
                          "0000A10C00\x0d");

struct Bench
{
    explicit Bench(const QByteArray &line)
        : panel(port)
    {
        panel.startUp();
        port.clearWritten();
        port.deliver(line);
    }

    MemorySerialPort port;
    BoardPanel panel;
    const BoardState &shown = panel.state();
};

void BM_Tick_PressureLine(benchmark::State &state)
{
    Bench b(kPressureLine);
    for (auto _ : state)
        b.panel.interpretLatestLine();
    if (b.shown.text(Field::MeanPressure) != QLatin1String("160") || b.shown.barValue() != 160 ||
        b.port.written().size() != 0)
        state.SkipWithError("tick did not show the pressure line");
}

void BM_Tick_ResultLine(benchmark::State &state)
{
    Bench b(kResultLine);
    for (auto _ : state)
        b.panel.interpretLatestLine();
    if (b.shown.text(Field::Systolic) != QLatin1String("120") ||
        b.shown.text(Field::Diastolic) != QLatin1String("080") ||
        b.shown.text(Field::MeanPressure) != QLatin1String("093") ||
        b.shown.text(Field::PulseRate) != QLatin1String("072") ||
        b.shown.text(Field::OperatingState) != QLatin1String("IDLE"))
        state.SkipWithError("tick did not show the result line");
}

// Each tick writes the 8-byte frame; the port's record is emptied every
// kClearEvery ticks inside the timed loop (its cost is amortised into the figure).
void BM_Tick_EndValue999(benchmark::State &state)
{
    Bench b(kEndLine);
    int sinceClear = 0;
    for (auto _ : state) {
        b.panel.interpretLatestLine();
        if (++sinceClear == kClearEvery) {
            b.port.clearWritten();
            sinceClear = 0;
        }
    }
    if (!b.shown.failureNotice().isEmpty() ||
        b.port.written().size() != qsizetype(sinceClear) * 8 || b.shown.barValue() != 0)
        state.SkipWithError("tick did not send the read-status frame");
}

} // namespace

BENCHMARK(BM_Tick_PressureLine);
BENCHMARK(BM_Tick_ResultLine);
BENCHMARK(BM_Tick_EndValue999);
