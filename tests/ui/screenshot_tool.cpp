// SPDX-License-Identifier: MIT
// Renders the main window, showing a finished measurement, and the About
// window to PNG files for the documentation. The window runs on an in-memory
// serial port that a few reply lines are fed through, so no device of the
// machine is ever opened. Usage: tarnvik_screenshot OUTPUT_DIR
#include "about_window.h"
#include "main_window.h"
#include "memory_serial_port.h"
#include <QApplication>

#include <QAction>
#include <QDir>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace {

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool save(QWidget *widget, const QString &path)
{
    if (!widget->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

    MemorySerialPort port;
    BoardPanel panel(port);
    MainWindow window(panel);
    panel.startUp();
    window.show();
    wait(200);

    // The cuff deflating, then the board's result: 120/80 mmHg, mean 93, pulse 72.
    port.deliver(QByteArrayLiteral("\x02"
                                   "062\r"));
    wait(2 * BoardPanel::kInterpretIntervalMs);
    port.deliver(QByteArrayLiteral("\x02S00000000000000"
                                   "120"
                                   "080"
                                   "093"
                                   "00"
                                   "072\r"));
    wait(2 * BoardPanel::kInterpretIntervalMs + MainWindow::kClockIntervalMs);

    bool ok = save(&window, out.filePath(QStringLiteral("main-window.png")));

    window.findChild<QAction *>(QStringLiteral("menAbout"))->trigger();
    wait(200);
    if (AboutWindow *about = window.aboutWindow())
        ok = save(about, out.filePath(QStringLiteral("about-window.png"))) && ok;
    else
        ok = false;
    return ok ? 0 : 1;
}
