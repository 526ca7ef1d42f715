// SPDX-License-Identifier: MIT
// Fuzz entry for the receive path: raw bytes from the board through reply
// assembly and the interpretation tick to the panel's state and the frames
// sent back. Built as a libFuzzer target with clang and, without libFuzzer, into
// the corpus replay that runs with the other tests.
//
// Input: the first byte sets how many bytes each read delivers (1..256, 0 for
// all at once); the rest is the byte stream from the board. Every read is
// followed by one tick. After each tick the panel is checked against a plain
// model of line assembly and against what a tick may do at all.
#include "board_panel.h"
#include "command_frame.h"
#include "command_set.h"
#include "control_bytes.h"
#include "memory_serial_port.h"
#include "reply_assembler.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void check(bool ok, const char *what)
{
    if (ok)
        return;
    std::fprintf(stderr, "reply fuzz check failed: %s\n", what);
    std::abort();
}

// Line assembly as the board link promises it, byte by byte.
struct LineModel
{
    std::string buffer;
    std::string lastLine;
    bool complete = false;
    bool anyLine = false;

    void feed(char b)
    {
        if (b == ControlBytes::kStx) {
            buffer.clear();
            complete = false;
        }
        if (b == ControlBytes::kCr) {
            lastLine = buffer;
            complete = true;
            anyLine = true;
        } else if (buffer.size() < std::size_t(ReplyAssembler::kMaxLineBytes)) {
            buffer.push_back(b);
        }
    }
};

bool onlyStatusRequests(const QByteArray &written)
{
    const QByteArray frame = CommandFrame::build(QString::fromLatin1(CommandSet::kReadStatus));
    if (written.size() % frame.size() != 0)
        return false;
    for (qsizetype at = 0; at < written.size(); at += frame.size()) {
        if (written.mid(at, frame.size()) != frame)
            return false;
    }
    return true;
}

} // namespace

// The panel's interpretation timer wants an application, though the entry
// ticks by hand and never runs its event loop.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype chunk = data[0] == 0 ? qsizetype(size) : qsizetype(data[0]);
    const char *stream = reinterpret_cast<const char *>(data + 1);
    const qsizetype streamSize = qsizetype(size - 1);

    MemorySerialPort port;
    BoardPanel panel(port);
    const BoardState &state = panel.state();
    bool failed = false;
    QObject::connect(&state, &BoardState::failureChanged, &panel,
                     [&failed](const QString &notice) { failed = failed || !notice.isEmpty(); });
    port.setOnlyOpenable({1});
    panel.startUp();
    port.clearWritten();
    check(!failed, "start-up reported a failure");

    using Field = BoardState::Field;
    LineModel model;
    for (qsizetype at = 0; at < streamSize; at += chunk) {
        const qsizetype n = qMin(chunk, streamSize - at);
        for (qsizetype i = 0; i < n; ++i)
            model.feed(stream[at + i]);
        port.deliver(QByteArray(stream + at, n));
        panel.interpretLatestLine();

        const QByteArray buffer = panel.receiveBuffer();
        check(buffer.size() <= ReplyAssembler::kMaxLineBytes, "receive buffer over its bound");
        check(std::string(buffer.constData(), std::size_t(buffer.size())) == model.buffer,
              "receive buffer differs from the bytes received");
        check(panel.lineComplete() == model.complete, "line-complete flag differs from STX and CR");
        if (model.anyLine) {
            const QByteArray shown = state.text(Field::ReplyLine).toLatin1();
            check(std::string(shown.constData(), std::size_t(shown.size())) == model.lastLine,
                  "reply-line field differs from the last line received");
        }
        check(state.barValue() >= 0 && state.barValue() <= BoardPanel::kBarLimit,
              "pressure bar outside 0..300");
        check(state.text(Field::MeanPressure).size() <= 3 &&
                  state.text(Field::Systolic).size() <= 3 &&
                  state.text(Field::Diastolic).size() <= 3 &&
                  state.text(Field::PulseRate).size() <= 3,
              "a value field holds more than three characters");
        check(onlyStatusRequests(port.written()), "a tick sent something other than 18;;DF");
        check(!failed, "a tick reported a failure with the port open");
        if (model.complete && model.lastLine.size() >= 2 && model.lastLine[1] == 'S')
            check(state.text(Field::OperatingState) == QLatin1String(BoardPanel::kIdle),
                  "a result line left the state other than IDLE");
    }
    return 0;
}
