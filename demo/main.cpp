// tarnvik-demo: the real main window on a machine without a board. COM1 is
// bound to a simulated board behind a pseudo-terminal and COM2 to COM8 to
// paths that do not exist, so no device of the machine is ever opened.
//
// With a display the operator drives the window; the board runs at real time
// unless --time-scale says otherwise. With --headless, or when there is no
// display at all, the demo starts itself again under a virtual X server
// (xvfb-run) or, without one, on Qt's offscreen platform, drives one complete
// measurement, saves two pictures of the window and the curve of the
// measurement (drawn from its traffic trace) and exits 0 (1 when the
// measurement did not complete). Every frame and line on the line is printed.
// A headless run writes its results file and trace into the output folder;
// --results and --trace choose other files (and also serve an interactive run).
#include "curve_picture.h"
#include "demo_driver.h"
#include "line_printer.h"
#include "main_window.h"
#include "port_table.h"
#include "qt_serial_port.h"
#include "result_log.h"
#include "simulated_boards.h"
#include "tarnvik_version.h"
#include "trace_reader.h"
#include "tracing_serial_port.h"
#include "traffic_trace.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kBoardPort = 1;
constexpr const char *kCurvePicture = "curve.png";
constexpr const char *kHeadlessOption = "--headless";
// Set in the environment of the copy that runs under xvfb-run.
constexpr const char *kUnderXvfb = "TARNVIK_DEMO_UNDER_XVFB";

bool hasOption(int argc, char *argv[], const char *option)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], option) == 0)
            return true;
    }
    return false;
}

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool offscreenChosen()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return platform.startsWith("offscreen") || platform.startsWith("minimal");
}

// Starts this program again under a virtual X server, with --headless.
// Returns only when that is not possible.
void execUnderXvfb(int argc, char *argv[])
{
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfbRun.isEmpty())
        return;
    const QByteArray program = xvfbRun.toLocal8Bit();
    std::vector<char *> args;
    args.push_back(const_cast<char *>(program.constData()));
    args.push_back(const_cast<char *>("-a"));
    args.push_back(const_cast<char *>("-s"));
    args.push_back(const_cast<char *>("-screen 0 1024x768x24 -dpi 96"));
    for (int i = 0; i < argc; ++i)
        args.push_back(argv[i]);
    if (!hasOption(argc, argv, kHeadlessOption))
        args.push_back(const_cast<char *>(kHeadlessOption));
    args.push_back(nullptr);
    qputenv(kUnderXvfb, "1");
    qputenv("QT_QPA_PLATFORM", "xcb");
    std::fflush(stdout);
    ::execv(program.constData(), args.data());
    std::perror("tarnvik-demo: cannot start xvfb-run");
    qunsetenv(kUnderXvfb);
}

void say(const QString &text)
{
    std::fputs(qPrintable(QStringLiteral("demo: %1\n").arg(text)), stdout);
    std::fflush(stdout);
}

// Draws the curves of the measurements in the trace at `tracePath` into `picturePath`.
bool saveCurve(const QString &tracePath, const QString &picturePath)
{
    QFile trace(tracePath);
    if (!trace.open(QIODevice::ReadOnly))
        return false;
    return CurvePicture::render(MeasurementCurve::fromTrace(TraceReader::read(trace)))
        .save(picturePath, "PNG");
}

// A positive number from an option, or nothing.
std::optional<double> positive(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value > 0.0) || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

int main(int argc, char *argv[])
{
    // The platform is chosen before the application object exists.
    const bool headless =
        hasOption(argc, argv, kHeadlessOption) || !hasDisplay() || offscreenChosen();
    if (headless && !offscreenChosen() && qgetenv(kUnderXvfb) != "1" &&
        !hasOption(argc, argv, "--help") && !hasOption(argc, argv, "-h"))
        execUnderXvfb(argc, argv);
    if (headless && qgetenv(kUnderXvfb) != "1")
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarnvik-demo"));
    QApplication::setApplicationVersion(QStringLiteral(TARNVIK_VERSION_STRING));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The tarnvik main window with a simulated board on COM1."));
    parser.addHelpOption();
    const QCommandLineOption headlessOption(
        QStringLiteral("headless"),
        QStringLiteral("Drive one measurement without a display, save pictures and exit "
                       "(the default when there is no display)."));
    const QCommandLineOption outputOption(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Directory for the pictures of a headless run (default demo-output)."),
        QStringLiteral("dir"), QStringLiteral("demo-output"));
    const QCommandLineOption scaleOption(
        {QStringLiteral("s"), QStringLiteral("time-scale")},
        QStringLiteral("Run the board <factor> times faster than real time (default 1, "
                       "headless 10)."),
        QStringLiteral("factor"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the board's values (default 1)."),
                                        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption failureOption(
        {QStringLiteral("f"), QStringLiteral("failure-rate")},
        QStringLiteral("Share of measurements that end with 999, 0 to 1 (default 0.1; a "
                       "headless run never fails)."),
        QStringLiteral("rate"), QStringLiteral("0.1"));
    const QCommandLineOption timeoutOption(
        QStringLiteral("timeout"), QStringLiteral("Seconds a headless run may take (default 60)."),
        QStringLiteral("s"), QStringLiteral("60"));
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QStringLiteral("Write the traffic trace to <file> (headless default: trace.txt in the "
                       "output directory)."),
        QStringLiteral("file"));
    const QCommandLineOption resultsOption(
        QStringLiteral("results"),
        QStringLiteral("Append the results to <file> (headless default: results.csv in the "
                       "output directory)."),
        QStringLiteral("file"));
    parser.addOptions({headlessOption, outputOption, scaleOption, seedOption, failureOption,
                       timeoutOption, traceOption, resultsOption});
    parser.process(app);

    const std::optional<double> scale =
        positive(parser.isSet(scaleOption) ? parser.value(scaleOption)
                                           : QString::fromLatin1(headless ? "10" : "1"));
    const std::optional<double> timeout = positive(parser.value(timeoutOption));
    bool seedOk = false;
    const quint32 seed = parser.value(seedOption).toUInt(&seedOk);
    bool rateOk = false;
    const double failureRate = parser.value(failureOption).toDouble(&rateOk);
    if (!scale || !timeout || !seedOk || !rateOk || failureRate < 0.0 || failureRate > 1.0) {
        std::fputs("tarnvik-demo: the time scale and the timeout must be numbers above 0, the "
                   "seed a whole number, the failure rate a number from 0 to 1\n",
                   stderr);
        return 2;
    }
    const QDir output(parser.value(outputOption));
    if (headless && !output.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "tarnvik-demo: cannot create %s\n", qPrintable(output.absolutePath()));
        return 2;
    }

    SimulatedBoards boards({kBoardPort});
    if (!boards.isValid()) {
        std::fputs("tarnvik-demo: cannot create a pseudo-terminal\n", stderr);
        return 2;
    }
    SimulatedBoard &board = boards.board(kBoardPort);
    board.setTimeScale(*scale);
    board.setSeed(seed);
    board.setFailureRate(headless ? 0.0 : failureRate);

    LinePrinter printer(stdout);
    printer.watch(board, kBoardPort);
    say(QStringLiteral("%1 is a simulated board on %2 (time scale %3, seed %4); %5 to %6 "
                       "are bound to nothing")
            .arg(PortTable::caption(kBoardPort), boards.devicePaths().at(kBoardPort - 1))
            .arg(*scale)
            .arg(seed)
            .arg(PortTable::caption(2), PortTable::caption(PortTable::kPortCount)));

    const auto fileOption = [&](const QCommandLineOption &option, const char *headlessName) {
        if (parser.isSet(option))
            return parser.value(option);
        return headless ? output.absoluteFilePath(QString::fromLatin1(headlessName)) : QString();
    };
    const QString tracePath = fileOption(traceOption, "trace.txt");
    const QString resultsPath = fileOption(resultsOption, ResultLog::kFileName);
    std::unique_ptr<TrafficTrace> trace;
    if (!tracePath.isEmpty()) {
        trace = std::make_unique<TrafficTrace>(tracePath);
        if (!trace->isOpen()) {
            std::fprintf(stderr, "tarnvik-demo: cannot write %s\n", qPrintable(tracePath));
            return 2;
        }
    }

    // The port goes before the boards' terminals, the window before the port.
    const PortTable ports(boards.devicePaths());
    QtSerialPort port(ports);
    std::unique_ptr<TracingSerialPort> tracing;
    if (trace)
        tracing = std::make_unique<TracingSerialPort>(port, *trace);
    SerialPort &panelPort = tracing ? static_cast<SerialPort &>(*tracing) : port;
    MainWindow window(panelPort);
    std::unique_ptr<ResultLog> results;
    if (!resultsPath.isEmpty()) {
        results = std::make_unique<ResultLog>(resultsPath, window, panelPort);
        QObject::connect(&window.panel(), &BoardPanel::measurementEndShown, results.get(),
                         &ResultLog::record);
    }
    std::unique_ptr<DemoDriver> driver;
    if (headless)
        driver = std::make_unique<DemoDriver>(window, board, output, int(*timeout * 1000.0));
    QObject::connect(&window, &MainWindow::programEnded, &app,
                     [&driver] { QCoreApplication::exit(driver ? driver->exitCode() : 0); });

    window.show();
    boards.start();
    if (driver) {
        say(QStringLiteral("headless run on Qt's %1 platform%2; clicking START once the board "
                           "has answered")
                .arg(QGuiApplication::platformName(),
                     qgetenv(kUnderXvfb) == "1" ? QStringLiteral(" under xvfb-run") : QString()));
        driver->start();
    } else
        say(QStringLiteral("click START to measure; close the window to end"));
    int rc = QApplication::exec();
    say(QStringLiteral("%1 frames to the board, %2 lines from it")
            .arg(printer.framesPrinted())
            .arg(printer.linesPrinted()));
    if (results)
        say(QStringLiteral("%1 result row(s) appended to %2")
                .arg(results->rowsWritten())
                .arg(results->path()));
    if (driver && !tracePath.isEmpty()) {
        const QString curvePath = output.absoluteFilePath(QString::fromLatin1(kCurvePicture));
        if (saveCurve(tracePath, curvePath)) {
            say(QStringLiteral("saved %1").arg(curvePath));
        } else {
            say(QStringLiteral("cannot draw the curve into %1").arg(curvePath));
            rc = 1;
        }
    }
    return rc;
}
