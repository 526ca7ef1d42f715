// SPDX-License-Identifier: MIT
// tarnvik-demo: the real main window on a machine without a board. COM1 is
// bound to a simulated board behind a pseudo-terminal and COM2 to COM8 to
// paths that do not exist, so no device of the machine is ever opened.
//
// With a display the operator drives the window; the board runs at real time
// unless --time-scale says otherwise. With --headless, or when there is no
// display at all, the demo starts itself again under a virtual X server
// (xvfb-run) or, without one, on Qt's offscreen platform, drives one complete
// measurement, saves two pictures of the window and the curve of the
// measurement (drawn from its traffic trace), then runs a short bench check
// in the Bench checks window and saves its report (report.pdf, report.json)
// and a picture of that window, then runs the built-in test plan through the
// plan runner and leaves the run's PDF, JSON and trace in plan/, and exits 0
// (1 when the measurement, the bench check or the plan did not complete, or
// the board did not pass). Every frame and
// line on the line is printed. The trace and the checks take their times
// from the board's clock, so they show the board's timing at any time scale.
// A headless run writes its results file and trace into the output folder;
// --results and --trace choose other files (and also serve an interactive run).
// Runs are archived as in the program, in the demo's own archive (DemoArchive:
// archive.sqlite in the output folder of a headless run, a temporary file for
// an interactive one), never in the user's.
#include "bench_check_driver.h"
#include "bench_core.h"
#include "checks_engine.h"
#include "curve_picture.h"
#ifdef TARNVIK_ARCHIVE
#include "demo_archive.h"
#endif
#include "demo_driver.h"
#include "line_printer.h"
#include "main_window.h"
#include "plan_driver.h"
#include "plan_page.h"
#include "port_map.h"
#include "port_table.h"
#include "qt_serial_port.h"
#include "simulated_boards.h"
#include "tarnvik_version.h"
#include "trace_reader.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
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
    // The demo's measurement: what comes before the bench check clears the checks.
    QList<TrafficEntry> entries = TraceReader::read(trace);
    const auto cleared =
        std::find_if(entries.begin(), entries.end(), [](const TrafficEntry &entry) {
            return entry.kind == QLatin1String(ChecksEngine::kClearedEvent);
        });
    entries.erase(cleared, entries.end());
    return CurvePicture::render(MeasurementCurve::fromTrace(entries)).save(picturePath, "PNG");
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

// What the command line chose.
struct DemoOptions
{
    double scale = 1.0;
    double timeout = 60.0;
    quint32 seed = 1;
    double failureRate = 0.1;
    QDir output;
    QString tracePath;   // empty: no trace
    QString resultsPath; // empty: no results file
};

// The demo's options, as QCommandLineParser takes them.
struct DemoCommandLine
{
    const QCommandLineOption headless{
        QStringLiteral("headless"),
        QStringLiteral("Drive one measurement, a bench check and the built-in test plan "
                       "without a display, save pictures and reports and exit (the default "
                       "when there is no display).")};
    const QCommandLineOption output{
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Directory for the pictures of a headless run (default demo-output)."),
        QStringLiteral("dir"),
        QStringLiteral("demo-output")};
    const QCommandLineOption scale{
        {QStringLiteral("s"), QStringLiteral("time-scale")},
        QStringLiteral("Run the board <factor> times faster than real time (default 1, "
                       "headless 10)."),
        QStringLiteral("factor")};
    const QCommandLineOption seed{QStringLiteral("seed"),
                                  QStringLiteral("Seed of the board's values (default 1)."),
                                  QStringLiteral("n"), QStringLiteral("1")};
    const QCommandLineOption failure{
        {QStringLiteral("f"), QStringLiteral("failure-rate")},
        QStringLiteral("Share of measurements that end with 999, 0 to 1 (default 0.1; a "
                       "headless run never fails)."),
        QStringLiteral("rate"),
        QStringLiteral("0.1")};
    const QCommandLineOption timeout{
        QStringLiteral("timeout"),
        QStringLiteral("Seconds each part of a headless run (the measurement, the bench check, "
                       "the test plan) may take (default 60)."),
        QStringLiteral("s"), QStringLiteral("60")};
    const QCommandLineOption trace{
        QStringLiteral("trace"),
        QStringLiteral("Write the traffic trace to <file> (headless default: trace.txt in the "
                       "output directory)."),
        QStringLiteral("file")};
    const QCommandLineOption results{
        QStringLiteral("results"),
        QStringLiteral("Append the results to <file> (headless default: results.csv in the "
                       "output directory)."),
        QStringLiteral("file")};
};

// Parses the command line; --help prints and exits here. Nothing when the
// values are wrong (said on stderr).
std::optional<DemoOptions> parseOptions(const QApplication &app, bool headless)
{
    const DemoCommandLine line;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The tarnvik main window with a simulated board on COM1."));
    parser.addHelpOption();
    parser.addOptions({line.headless, line.output, line.scale, line.seed, line.failure,
                       line.timeout, line.trace, line.results});
    parser.process(app);

    const std::optional<double> scale =
        positive(parser.isSet(line.scale) ? parser.value(line.scale)
                                          : QString::fromLatin1(headless ? "10" : "1"));
    const std::optional<double> timeout = positive(parser.value(line.timeout));
    bool seedOk = false;
    bool rateOk = false;
    DemoOptions options;
    options.seed = parser.value(line.seed).toUInt(&seedOk);
    options.failureRate = parser.value(line.failure).toDouble(&rateOk);
    if (!scale || !timeout || !seedOk || !rateOk || options.failureRate < 0.0 ||
        options.failureRate > 1.0) {
        std::fputs("tarnvik-demo: the time scale and the timeout must be numbers above 0, the "
                   "seed a whole number, the failure rate a number from 0 to 1\n",
                   stderr);
        return std::nullopt;
    }
    options.scale = *scale;
    options.timeout = *timeout;
    options.output = QDir(parser.value(line.output));
    // A headless run writes its files into the output folder unless told otherwise.
    const auto fileOption = [&](const QCommandLineOption &option, const char *headlessName) {
        if (parser.isSet(option))
            return parser.value(option);
        return headless ? options.output.absoluteFilePath(QString::fromLatin1(headlessName))
                        : QString();
    };
    options.tracePath = fileOption(line.trace, "trace.txt");
    options.resultsPath = fileOption(line.results, ResultLog::kFileName);
    return options;
}

// The platform is chosen before the application object exists: a headless
// run starts again under xvfb-run when it can, else on the offscreen platform.
bool choosePlatform(int argc, char *argv[])
{
    const bool headless =
        hasOption(argc, argv, kHeadlessOption) || !hasDisplay() || offscreenChosen();
    if (headless && !offscreenChosen() && qgetenv(kUnderXvfb) != "1" &&
        !hasOption(argc, argv, "--help") && !hasOption(argc, argv, "-h"))
        execUnderXvfb(argc, argv);
    if (headless && qgetenv(kUnderXvfb) != "1")
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return headless;
}

// The simulated board as the options say, its traffic printed, and a word on
// what is bound where.
void setUpBoard(SimulatedBoards &boards, const DemoOptions &options, bool headless,
                LinePrinter &printer)
{
    SimulatedBoard &board = boards.board(kBoardPort);
    board.setTimeScale(options.scale);
    board.setSeed(options.seed);
    board.setFailureRate(headless ? 0.0 : options.failureRate);
    printer.watch(board, kBoardPort);
    say(QStringLiteral("%1 is a simulated board on %2 (time scale %3, seed %4); %5 to %6 "
                       "are bound to nothing")
            .arg(PortTable::caption(kBoardPort), boards.devicePaths().at(kBoardPort - 1))
            .arg(options.scale)
            .arg(options.seed)
            .arg(PortTable::caption(2), PortTable::caption(PortTable::kPortCount)));
}

// The core on the boards' terminals, its trace and results where the options
// say, its times from the board's clock. False, said why, when the trace
// cannot be written.
bool startCore(BenchCore &core, const SimulatedBoards &boards, const DemoOptions &options)
{
    Failure why;
    if (!options.tracePath.isEmpty() && !core.openTrace(options.tracePath, &why)) {
        std::fprintf(stderr, "tarnvik-demo: cannot write the trace %s\n", qPrintable(why.text));
        return false;
    }
    const SimulatedBoard &board = boards.board(kBoardPort);
    core.recorder().setClock([&board] { return board.elapsedSteps() * SimulatedBoard::kTickMs; });
    core.start(std::make_unique<QtSerialPort>(PortTable(boards.devicePaths())), PortMap(),
               options.resultsPath);
    return true;
}

// What went over the line, the results written and, after a headless run,
// the curve of its measurement. Returns the exit code, given `rc` so far.
int reportRun(int rc, const LinePrinter &printer, const BenchCore &core, const DemoOptions &options,
              bool headless)
{
    say(QStringLiteral("%1 frames to the board, %2 lines from it")
            .arg(printer.framesPrinted())
            .arg(printer.linesPrinted()));
    if (const ResultLog *results = core.results())
        say(QStringLiteral("%1 result row(s) appended to %2")
                .arg(results->rowsWritten())
                .arg(results->path()));
    if (!headless || options.tracePath.isEmpty())
        return rc;
    const QString curvePath = options.output.absoluteFilePath(QString::fromLatin1(kCurvePicture));
    if (!saveCurve(options.tracePath, curvePath)) {
        say(QStringLiteral("cannot draw the curve into %1").arg(curvePath));
        return 1;
    }
    say(QStringLiteral("saved %1").arg(curvePath));
    return rc;
}

} // namespace

int main(int argc, char *argv[])
{
    const bool headless = choosePlatform(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarnvik-demo"));
    QApplication::setApplicationVersion(QStringLiteral(TARNVIK_VERSION_STRING));

    const std::optional<DemoOptions> options = parseOptions(app, headless);
    if (!options)
        return 2;
    if (headless && !options->output.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "tarnvik-demo: cannot create %s\n",
                     qPrintable(options->output.absolutePath()));
        return 2;
    }

    SimulatedBoards boards({kBoardPort});
    if (!boards.isValid()) {
        std::fputs("tarnvik-demo: cannot create a pseudo-terminal\n", stderr);
        return 2;
    }
    SimulatedBoard &board = boards.board(kBoardPort);
    LinePrinter printer(stdout);
    setUpBoard(boards, *options, headless, printer);

    // The core (and its port) and the window on it go before the boards' terminals.
    BenchCore core;
    if (!startCore(core, boards, *options))
        return 2;
#ifdef TARNVIK_ARCHIVE
    DemoArchive archive(headless ? options->output.absolutePath() : QString());
    if (archive.failure().failed())
        say(archive.failure().text);
#endif
    MainWindow window(core);
#ifdef TARNVIK_ARCHIVE
    // The History window searches the demo's own archive, never the user's.
    window.offerHistory(archive.settings());
    window.setArchive(archive.windowArchive());
    window.setRunSaver(archive.saver(PlanPage::plainSaver()));
#endif
    std::unique_ptr<DemoDriver> driver;
    std::unique_ptr<BenchCheckDriver> benchCheck;
    std::unique_ptr<PlanDriver> plan;
    if (headless) {
        const int timeoutMs = int(options->timeout * 1000.0);
        driver = std::make_unique<DemoDriver>(window, board, options->output, timeoutMs);
        benchCheck =
            std::make_unique<BenchCheckDriver>(window, core, board, options->output, timeoutMs);
        PlanRunner::Saver saver = PlanPage::plainSaver();
#ifdef TARNVIK_ARCHIVE
        benchCheck->setArchive(archive.windowArchive());
        saver = archive.saver(std::move(saver));
#endif
        plan =
            std::make_unique<PlanDriver>(core, board, options->output, timeoutMs, std::move(saver));
        driver->thenRun(*benchCheck);
        driver->thenRun(*plan);
    }
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
    const int rc = QApplication::exec();
    for (const QString &line : core.finishRecord())
        std::fprintf(stderr, "tarnvik-demo: %s\n", qPrintable(line));
    return reportRun(rc, printer, core, *options, headless);
}
