// SPDX-License-Identifier: MIT
// Soak of the receive path, run by scripts/soak and not part of the test suite:
// one million reply lines pushed at full speed through a pseudo-terminal into
// the panel logic on the real serial port, with the interpretation tick
// running as in the program. Passes when every line sent was completed by the
// assembler, the last line and its fields are shown, nothing was reported as
// a failure and resident memory grew by less than the allowed amount.
//   tarnvik_reply_soak [LINES [MAX_GROWTH_KB]]
#include "board_panel.h"
#include "port_table.h"
#include "pseudo_terminal.h"
#include "qt_serial_port.h"
#include "recording_display.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <thread>

using Field = BoardState::Field;

namespace {

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &row : status.readAll().split('\n')) {
        if (row.startsWith("VmRSS:"))
            return row.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Line i of the run: mostly pressure lines, every 50th a result line, the last
// one always a result line with known fields.
QByteArray lineNumber(qint64 i, qint64 count)
{
    char text[64];
    if (i == count - 1)
        return QByteArray("\x02S01234567890123"
                          "131087101  "
                          "077\r");
    if (i % 50 == 49) {
        std::snprintf(text, sizeof text, "\x02S%014lld%03lld%03lld%03lld  %03lld\r", i % 1000000,
                      100 + i % 100, 60 + i % 40, 80 + i % 30, 50 + i % 70);
        return QByteArray(text);
    }
    std::snprintf(text, sizeof text, "\x02%03lld\r", i % 300);
    return QByteArray(text);
}

int countLines(RecordingDisplay &display)
{
    int lines = 0;
    for (const QString &entry : display.log()) {
        if (entry.startsWith(QLatin1String("ReplyLine=")))
            ++lines;
    }
    display.clearLog();
    return lines;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 count = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const qint64 maxGrowthKb = argc > 2 ? QByteArray(argv[2]).toLongLong() : 5 * 1024;

    PseudoTerminal board;
    if (!board.isValid()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 2;
    }
    QtSerialPort port{PortTable({board.devicePath()})};
    BoardPanel panel(port); // its start-up starts the 150 ms interpretation tick
    RecordingDisplay display(panel);
    panel.startUp();
    if (!port.isOpen()) {
        std::fprintf(stderr, "COM1 did not open: %s\n", qPrintable(port.failure().text));
        return 2;
    }

    // Drain the start-up frames and let the first allocations settle.
    QElapsedTimer warmUp;
    warmUp.start();
    while (warmUp.elapsed() < 300) {
        app.processEvents(QEventLoop::AllEvents, 50);
        board.read(0);
    }
    display.clearLog();
    const qint64 rssStart = residentKb();

    std::atomic<bool> writerDone{false};
    std::atomic<bool> writerFailed{false};
    std::thread writer([&] {
        QByteArray batch;
        for (qint64 i = 0; i < count; ++i) {
            batch.append(lineNumber(i, count));
            if (batch.size() >= 4096 || i == count - 1) {
                if (!board.write(batch)) {
                    writerFailed = true;
                    break;
                }
                batch.clear();
            }
        }
        writerDone = true;
    });

    QElapsedTimer clock;
    clock.start();
    qint64 completed = 0;
    qint64 lastProgressMs = 0;
    qint64 rssPeak = rssStart;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        const int now = countLines(display);
        completed += now;
        if (now > 0)
            lastProgressMs = clock.elapsed();
        rssPeak = qMax(rssPeak, residentKb());
        if ((writerDone && completed >= count) || clock.elapsed() - lastProgressMs > 10000)
            app.quit();
    });
    poll.setTimerType(Qt::PreciseTimer);
    poll.start(2); // often, so the display's own record of changes stays short
    app.exec();
    writer.join();

    // One more tick on the last line, as the timer would give it.
    panel.interpretLatestLine();
    const double seconds = clock.elapsed() / 1000.0;
    const qint64 rssEnd = residentKb();

    const QString last = QString::fromLatin1(lineNumber(count - 1, count).chopped(1));
    bool ok = !writerFailed && completed == count;
    ok = ok && display.text(Field::ReplyLine) == last;
    ok = ok && display.text(Field::Systolic) == QLatin1String("131") &&
         display.text(Field::Diastolic) == QLatin1String("087") &&
         display.text(Field::MeanPressure) == QLatin1String("101") &&
         display.text(Field::PulseRate) == QLatin1String("077") &&
         display.text(Field::OperatingState) == QLatin1String("IDLE");
    ok = ok && display.failures().isEmpty() && port.isOpen();
    ok = ok && rssEnd - rssStart < maxGrowthKb;

    std::printf("lines sent:       %lld\n", count);
    std::printf("lines completed:  %lld\n", completed);
    std::printf("time:             %.1f s (%.0f lines/s)\n", seconds, count / seconds);
    std::printf("resident memory:  %lld kB at start, %lld kB at end, %lld kB peak, growth %lld kB "
                "(limit %lld kB)\n",
                rssStart, rssEnd, rssPeak, rssEnd - rssStart, maxGrowthKb);
    std::printf("last line shown:  %s\n",
                display.text(Field::ReplyLine) == last ? "right" : "WRONG");
    std::printf(
        "fields shown:     Sys %s Dia %s Map %s Pulse %s, %s\n",
        qPrintable(display.text(Field::Systolic)), qPrintable(display.text(Field::Diastolic)),
        qPrintable(display.text(Field::MeanPressure)), qPrintable(display.text(Field::PulseRate)),
        qPrintable(display.text(Field::OperatingState)));
    std::printf("failures shown:   %lld\n", qint64(display.failures().size()));
    std::printf("soak %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
