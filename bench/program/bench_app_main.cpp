// SPDX-License-Identifier: MIT
// tarnvik-bench-app: the program's main window on the real serial port class,
// set up as the program's entry sets it up, but on the device paths given on
// the command line instead of the platform's port table, so that the
// benchmark runs it against pseudo-terminals and absent paths and never opens
// a device of this machine. Not installed; it takes none of the program's
// options.
//
// Usage: tarnvik-bench-app [--exit-when-shown] [DEVICE1 ... DEVICE8]
//   DEVICEn is the path behind COMn; "-" or a missing argument leaves COMn
//   without a device. Trace lines ("expose", "shown", "map", "paint", each
//   with its CLOCK_MONOTONIC time in ns) go to standard output.
#include "monotonic_clock.h"
#include "port_table.h"
#include "qt_serial_port.h"
#include "tarnvik_version.h"
#include "trace_log.h"
#include "traced_window.h"
#include "window_probe.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    const qint64 entered = MonotonicClock::nowNs();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(TARNVIK_TITLE));
    QApplication::setApplicationVersion(QStringLiteral(TARNVIK_VERSION_STRING));

    bool exitWhenShown = false;
    QStringList devices;
    const QStringList arguments = QApplication::arguments().mid(1);
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--exit-when-shown")) {
            exitWhenShown = true;
        } else if (argument.startsWith(QLatin1String("--"))) {
            std::fprintf(stderr, "tarnvik-bench-app: unknown option %s\n", qPrintable(argument));
            return 2;
        } else {
            devices << (argument == QLatin1String("-") ? QString() : argument);
        }
    }
    if (devices.size() > PortTable::kPortCount) {
        std::fprintf(stderr, "tarnvik-bench-app: at most %d devices\n", PortTable::kPortCount);
        return 2;
    }

    TraceLog log;
    log.event("main", entered);
    QtSerialPort port{PortTable(devices)};
    BoardPanel panel(port);
    TracedWindow window(panel, log);
    panel.startUp();
    QObject::connect(&window, &MainWindow::programEnded, &app, [] { QCoreApplication::exit(0); });
    WindowProbe probe(window, log, exitWhenShown);
    window.show();
    return QApplication::exec();
}
