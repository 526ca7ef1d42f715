// SPDX-License-Identifier: MIT
// Throughput of reply assembly in bytes per second: the assembler on its own,
// and the whole receive path (port notification, readArrivedBytes, assembler,
// reply-line field), each fed in 16-byte reads as the port's receive queue
// delivers them and in one whole buffer.
#include "board_panel.h"
#include "control_bytes.h"
#include "memory_serial_port.h"
#include "reply_assembler.h"
#include "reply_traffic.h"

#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype kStreamBytes = 64 * 1024;
constexpr qsizetype kQueueBytes = 16;

ReplyTraffic::Shape shapeOf(const benchmark::State &state)
{
    return state.range(0) == 0 ? ReplyTraffic::Shape::Typical : ReplyTraffic::Shape::Short;
}

void setLabels(benchmark::State &state, const QByteArray &stream, qsizetype lines)
{
    state.SetLabel(state.range(0) == 0 ? "typical lines" : "short lines");
    state.SetBytesProcessed(state.iterations() * stream.size());
    state.counters["lines/s"] =
        benchmark::Counter(double(state.iterations()) * double(lines), benchmark::Counter::kIsRate);
}

void BM_Assembler_Reads16(benchmark::State &state)
{
    const QByteArray stream = ReplyTraffic::stream(shapeOf(state), kStreamBytes);
    const QList<QByteArray> reads = ReplyTraffic::chunks(stream, kQueueBytes);
    ReplyAssembler assembler;
    qsizetype lines = 0;
    for (auto _ : state) {
        for (const QByteArray &read : reads) {
            assembler.feed(read.constData(), read.size(), [&lines](const QByteArray &line) {
                benchmark::DoNotOptimize(line.constData());
                ++lines;
            });
        }
    }
    if (lines != ReplyTraffic::lineCount(stream) * qsizetype(state.iterations()))
        state.SkipWithError("line count differs from the stream");
    setLabels(state, stream, ReplyTraffic::lineCount(stream));
}

void BM_Assembler_Whole(benchmark::State &state)
{
    const QByteArray stream = ReplyTraffic::stream(shapeOf(state), kStreamBytes);
    ReplyAssembler assembler;
    qsizetype lines = 0;
    for (auto _ : state) {
        assembler.feed(stream.constData(), stream.size(), [&lines](const QByteArray &line) {
            benchmark::DoNotOptimize(line.constData());
            ++lines;
        });
    }
    if (lines != ReplyTraffic::lineCount(stream) * qsizetype(state.iterations()))
        state.SkipWithError("line count differs from the stream");
    setLabels(state, stream, ReplyTraffic::lineCount(stream));
}

// The panel on an in-memory port after start-up; the stream's last line is
// checked against the reply-line field once the loop is done.
void runReceivePath(benchmark::State &state, const QList<QByteArray> &reads,
                    const QByteArray &stream)
{
    MemorySerialPort port;
    BoardPanel panel(port);
    panel.startUp();
    port.clearWritten();
    for (auto _ : state) {
        for (const QByteArray &read : reads)
            port.deliver(read);
    }
    const qsizetype lastStx = stream.lastIndexOf(ControlBytes::kStx);
    const QByteArray lastLine = stream.mid(lastStx, stream.size() - lastStx - 1);
    if (!panel.state().failureNotice().isEmpty() || !panel.lineComplete() ||
        panel.state().text(BoardState::Field::ReplyLine) != QString::fromLatin1(lastLine))
        state.SkipWithError("receive path did not end on the stream's last line");
    setLabels(state, stream, ReplyTraffic::lineCount(stream));
}

void BM_ArrivedBytes_Reads16(benchmark::State &state)
{
    const QByteArray stream = ReplyTraffic::stream(shapeOf(state), kStreamBytes);
    runReceivePath(state, ReplyTraffic::chunks(stream, kQueueBytes), stream);
}

void BM_ArrivedBytes_Whole(benchmark::State &state)
{
    const QByteArray stream = ReplyTraffic::stream(shapeOf(state), kStreamBytes);
    runReceivePath(state, {stream}, stream);
}

} // namespace

BENCHMARK(BM_Assembler_Reads16)->Arg(0)->Arg(1);
BENCHMARK(BM_Assembler_Whole)->Arg(0)->Arg(1);
BENCHMARK(BM_ArrivedBytes_Reads16)->Arg(0)->Arg(1);
BENCHMARK(BM_ArrivedBytes_Whole)->Arg(0)->Arg(1);
