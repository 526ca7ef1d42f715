// SPDX-License-Identifier: MIT
// Building a command frame, and writing one through the panel: readStatus is
// the public handler whose only work is sendCommand("18;;DF"), i.e. 2 + 6
// single writes to the in-memory port.
#include "board_panel.h"
#include "command_frame.h"
#include "command_set.h"
#include "memory_serial_port.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kClearEvery = 1024; // sends between clearing the port's record

void BM_CommandFrame_Build(benchmark::State &state)
{
    const QString text =
        QString::fromLatin1(state.range(0) == 0 ? CommandSet::kReadStatus : CommandSet::kBreak);
    state.SetLabel(text.toStdString());
    for (auto _ : state) {
        QByteArray frame = CommandFrame::build(text);
        benchmark::DoNotOptimize(frame.data());
    }
}

void BM_SendCommand_ReadStatus(benchmark::State &state)
{
    MemorySerialPort port;
    BoardPanel panel(port);
    panel.startUp();
    port.clearWritten();
    int sinceClear = 0;
    for (auto _ : state) {
        panel.readStatus();
        if (++sinceClear == kClearEvery) {
            port.clearWritten();
            sinceClear = 0;
        }
    }
    if (!panel.state().failureNotice().isEmpty() ||
        port.written().size() != qsizetype(sinceClear) * 8)
        state.SkipWithError("readStatus did not write one frame per click");
    state.SetBytesProcessed(state.iterations() * 8);
}

} // namespace

BENCHMARK(BM_CommandFrame_Build)->Arg(0)->Arg(1);
BENCHMARK(BM_SendCommand_ReadStatus);
