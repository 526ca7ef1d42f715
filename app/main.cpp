// The program's entry: the command line, the serial port on the port map (the
// operator's port settings over the platform's port table), behind a tracing
// port when --trace is given, the main window (whose construction runs the
// start-up sequence), the results file and the event loop. The options are
// parsed before any port is made, so a bad option never opens one. When the
// window's exit sequence has run, the loop ends at once; leaving main then
// destroys the window, the About window with it, and the port.
#include "form1.h"
#include "port_map.h"
#include "program_options.h"
#include "qt_serial_port.h"
#include "result_log.h"
#include "tarnvik_version.h"
#include "tracing_serial_port.h"
#include "traffic_trace.h"

#include <QApplication>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral(TARNVIK_COMPANY));
    QApplication::setApplicationName(QStringLiteral(TARNVIK_TITLE));
    QApplication::setApplicationVersion(QStringLiteral(TARNVIK_VERSION_STRING));

    ProgramOptions options;
    if (!options.parse(QCoreApplication::arguments()))
        return options.exitCode();

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
    Form1 window(panelPort, portMap);
    std::unique_ptr<ResultLog> results;
    if (!options.resultsPath().isEmpty()) {
        results = std::make_unique<ResultLog>(options.resultsPath(), window, panelPort);
        QObject::connect(&window.panel(), &BoardPanel::measurementEndShown, results.get(),
                         &ResultLog::record);
    }
    // exit(), not quit(): quit() would first offer every window a close,
    // which would run the exit sequence a second time.
    QObject::connect(&window, &Form1::programEnded, &app, [] { QCoreApplication::exit(0); });
    window.show();
    return QApplication::exec();
}
