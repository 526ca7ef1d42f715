// SPDX-License-Identifier: MIT
#include "line_printer.h"

#include "byte_notation.h"
#include "command_frame.h"
#include "port_table.h"
#include "simulated_board.h"

LinePrinter::LinePrinter(std::FILE *out, QObject *parent)
    : QObject(parent)
    , m_out(out)
{
    m_clock.start();
}

void LinePrinter::watch(SimulatedBoard &board, int port)
{
    const QString caption = PortTable::caption(port);
    const QString toBoard = QStringLiteral("program -> %1").arg(caption);
    const QString fromBoard = QStringLiteral("%1 -> program").arg(caption);
    const auto frame = [](const QString &text) {
        return ByteNotation::readable(CommandFrame::build(text));
    };
    connect(&board, &SimulatedBoard::commandReceived, this,
            [this, toBoard, frame](const QString &text) {
                ++m_frames;
                print(toBoard, frame(text));
            });
    connect(&board, &SimulatedBoard::frameIgnored, this,
            [this, toBoard, frame](const QString &text) {
                ++m_frames;
                print(toBoard, frame(text) + QStringLiteral("   (ignored by the board)"));
            });
    connect(&board, &SimulatedBoard::lineSent, this, [this, fromBoard](const QByteArray &bytes) {
        ++m_lines;
        print(fromBoard, ByteNotation::readable(bytes));
    });
}

void LinePrinter::print(const QString &direction, const QString &what)
{
    const QString line = QStringLiteral("%1 s  %2  %3\n")
                             .arg(double(m_clock.elapsed()) / 1000.0, 7, 'f', 3)
                             .arg(direction, what);
    std::fputs(line.toLocal8Bit().constData(), m_out);
    std::fflush(m_out);
}
