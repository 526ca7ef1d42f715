// SPDX-License-Identifier: MIT
// The program's entry: the command line, then a bench core (BenchCore) on
// the serial port of the port map (the operator's port settings over the
// platform's port table), with the trace file when --trace is given and the
// results file, the main window on the core, and the event loop. The options are parsed before any
// port is made, so a bad option never opens one. Exit codes: 0 when the window's exit sequence ends
// the program (and for --help and --version), 2 for a bad command line (an unknown -platform among
// it), 1 when the program cannot run (no display, a trace file that cannot be written). When the
// exit sequence has run, the loop ends at once; the record's writer gets a bounded time to write
// what it holds, and what it could not write goes to stderr; leaving main then takes the windows
// down (the About and Bench checks windows with the main window), then the core and its port.
// Where the archive is built, the archive of runs (ProgramArchive, from the settings file's
// [archive]) is opened before the window is made: runs are stored in it before their verdict
// shows, and its push to a line's database starts with the window, never holding it up.
#include "bench_core.h"
#include "main_window.h"
#include "platform_choice.h"
#include "port_map.h"
#ifdef TARNVIK_ARCHIVE
#include "archive_settings.h"
#include "program_archive.h"
#include "run_saver.h"
#endif
#include "program_options.h"
#include "qt_serial_port.h"
#include "tarnvik_version.h"

#include <QApplication>

#include <csignal>
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
#ifdef SIGXFSZ
    // Past a file size limit a write fails and is reported instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // An unknown -platform would abort inside Qt; end with Qt's list instead.
    if (!PlatformChoice::check(argc, argv))
        return ProgramOptions::kUsageError;
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

    BenchCore core;
    Failure why;
    if (!options.tracePath().isEmpty() && !core.openTrace(options.tracePath(), &why)) {
        std::fprintf(stderr, "tarnvik: cannot write the trace %s\n", qPrintable(why.text));
        return 1;
    }

    const PortMap portMap = PortMap::load();
    core.start(std::make_unique<QtSerialPort>(portMap.table()), portMap, options.resultsPath());
#ifdef TARNVIK_ARCHIVE
    const ArchiveSettings archiveSettings = ArchiveSettings::load();
    ProgramArchive archive(archiveSettings);
#endif
    MainWindow window(core);
#ifdef TARNVIK_ARCHIVE
    window.offerHistory(archiveSettings);
    window.setRunSaver(RunSaver::make(&archive.archiver()));
    archive.start(window);
#endif
    // exit(), not quit(): quit() would first offer every window a close,
    // which would run the exit sequence a second time.
    QObject::connect(&window, &MainWindow::programEnded, &app, [] { QCoreApplication::exit(0); });
    window.show();
    const int code = QApplication::exec();
    for (const QString &line : core.finishRecord())
        std::fprintf(stderr, "tarnvik: %s\n", qPrintable(line));
    return code;
}
