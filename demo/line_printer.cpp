#include "line_printer.h"

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
        return readable(QByteArray(1, '\x02') + text.toLatin1() + '\x03');
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
        print(fromBoard, readable(bytes));
    });
}

QString LinePrinter::readable(const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case 0x02:
            text += QLatin1String("<STX>");
            break;
        case 0x03:
            text += QLatin1String("<ETX>");
            break;
        case 0x0D:
            text += QLatin1String("<CR>");
            break;
        case 0x0A:
            text += QLatin1String("<LF>");
            break;
        default:
            if (byte < 0x20 || byte >= 0x7F)
                text += QStringLiteral("<x%1>").arg(
                    QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0')));
            else
                text += QLatin1Char(c);
        }
    }
    return text;
}

void LinePrinter::print(const QString &direction, const QString &what)
{
    const QString line = QStringLiteral("%1 s  %2  %3\n")
                             .arg(double(m_clock.elapsed()) / 1000.0, 7, 'f', 3)
                             .arg(direction, what);
    std::fputs(line.toLocal8Bit().constData(), m_out);
    std::fflush(m_out);
}
