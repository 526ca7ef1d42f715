// The program's entry: the command line, the serial port on the port map (the
// operator's port settings over the platform's port table), behind a tracing
// port when --trace is given, the main window (whose construction runs the
// start-up sequence), the results file and the event loop. The options are
// parsed before any port is made, so a bad option never opens one. When the
// window's exit sequence has run, the loop ends at once; leaving main then
// destroys the window, the About window with it, and the port.
#include "main_window.h"
#include "port_map.h"
#include "program_options.h"
#include "qt_serial_port.h"
#include "result_log.h"
#include "tarnvik_version.h"
#include "tracing_serial_port.h"
#include "traffic_trace.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Without any display the window system cannot start, yet --help, --version
// and a bad command line deserve their answer on a plain terminal too. When
// no display and no platform are given at all, Qt's offscreen platform
// carries the parse, and the program ends there with a plain message instead
// of running a window nobody can see.
bool startWithoutDisplay(int argc, char *argv[])
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return false;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return false;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    const bool withoutDisplay = startWithoutDisplay(argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral(TARNVIK_COMPANY));
    QApplication::setApplicationName(QStringLiteral(TARNVIK_TITLE));
    QApplication::setApplicationVersion(QStringLiteral(TARNVIK_VERSION_STRING));

    ProgramOptions options;
    if (!options.parse(QCoreApplication::arguments()))
        return options.exitCode();
    if (withoutDisplay) {
        std::fputs("tarnvik: no display to show the window on (neither DISPLAY nor "
                   "WAYLAND_DISPLAY is set)\n",
                   stderr);
        return 1;
    }

    std::unique_ptr<TrafficTrace> trace;
    if (!options.tracePath().isEmpty()) {
        trace = std::make_unique<TrafficTrace>(options.tracePath());
        if (!trace->isOpen()) {
            std::fprintf(stderr, "tarnvik: cannot write the trace %s: %s\n",
                         qPrintable(options.tracePath()), qPrintable(trace->errorText()));
            return ProgramOptions::kUsageError;
        }
    }

    const PortMap portMap = PortMap::load();
    QtSerialPort port(portMap.table());
    std::unique_ptr<TracingSerialPort> tracing;
    if (trace)
        tracing = std::make_unique<TracingSerialPort>(port, *trace);
    SerialPort &panelPort = tracing ? static_cast<SerialPort &>(*tracing) : port;
    MainWindow window(panelPort, portMap);
    std::unique_ptr<ResultLog> results;
    if (!options.resultsPath().isEmpty()) {
        results = std::make_unique<ResultLog>(options.resultsPath(), window, panelPort);
        QObject::connect(&window.panel(), &BoardPanel::measurementEndShown, results.get(),
                         &ResultLog::record);
    }
    // exit(), not quit(): quit() would first offer every window a close,
    // which would run the exit sequence a second time.
    QObject::connect(&window, &MainWindow::programEnded, &app, [] { QCoreApplication::exit(0); });
    window.show();
    return QApplication::exec();
}
