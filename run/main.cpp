// SPDX-License-Identifier: MIT
// tarnvik-run: runs a test plan on a board without a window, exactly as the
// window runs it (PlanRunner on a BenchCore), and leaves its report (PDF and
// JSON) and traffic trace in a folder, for a production script. It opens the
// one device given, as "COM1" of a port table that binds no other port, at
// 4800 baud 8N1, sends the start-up frames and runs the plan; the settings
// file gives the [checks] limits under the plan's, and its [ports] group is
// not read. No display is needed: Qt's offscreen platform draws the PDF
// unless another platform is chosen; no widgets are linked.
//
// Everything a command line or a plan can get wrong is told before the
// device is opened (exit 2): a bad plan names its key; a plan with a static
// step needs --reference-from; -o must be a folder. SIGINT and SIGTERM send
// Break, end the run and save it (exit 3). See HeadlessRun for the output
// and the exit status.
//
// Each run is stored in the local archive (the settings file's [archive],
// by default archive.sqlite in the program's data folder) after its files
// are written, and only then are its verdict printed and its exit status
// returned; an archive that cannot be opened stops the tool before the
// device is opened (exit 2), one that cannot store the run gives the exit
// of a run not saved (2) and no verdict. The copy to the line's database is
// the program's push (or tarnvik-archive push).
#include "bench_core.h"
#ifdef TARNVIK_ARCHIVE
#include "archive_settings.h"
#include "archive_store.h"
#include "run_archiver.h"
#endif
#include "headless_run.h"
#include "port_table.h"
#include "qt_serial_port.h"
#include "reading_input.h"
#include "run_options.h"
#include "stop_signals.h"
#include "tarnvik_version.h"
#include "test_plan.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kBad = 2;

int complain(const QString &what)
{
    std::fprintf(stderr, "tarnvik-run: %s\n", qPrintable(what));
    return kBad;
}

// The command line's options; none when the tool ends here with `exit`.
std::optional<RunOptions> commandLine(int &exit)
{
    RunOptions options;
    QString message;
    switch (RunOptions::parse(QCoreApplication::arguments(), options, message)) {
    case RunOptions::Outcome::Help:
        std::printf("%s", qPrintable(message));
        exit = 0;
        return std::nullopt;
    case RunOptions::Outcome::Version:
        std::printf("tarnvik-run %s\n", TARNVIK_VERSION_STRING);
        exit = 0;
        return std::nullopt;
    case RunOptions::Outcome::PrintPlan:
        std::fwrite(TestPlan::standardText().constData(), 1,
                    size_t(TestPlan::standardText().size()), stdout);
        exit = 0;
        return std::nullopt;
    case RunOptions::Outcome::Bad:
        std::fprintf(stderr, "tarnvik-run: %s", qPrintable(message));
        exit = kBad;
        return std::nullopt;
    case RunOptions::Outcome::Run:
        break;
    }
    return options;
}

std::optional<TestPlan> loadPlan(const QString &name)
{
    if (name == QLatin1String(TestPlan::kStandardName))
        return TestPlan::standard();
    const TestPlan::Parsed parsed = TestPlan::load(name);
    if (!parsed.plan)
        complain(QStringLiteral("the plan %1 is refused: %2").arg(name, parsed.problem->text()));
    return parsed.plan;
}

// Why the one device did not open, from the panel's notice of the ports
// it tried ("COM1 (/dev/ttyUSB0) could not be opened: not present").
QString openFailure(const QString &notice)
{
    const QString opened = QStringLiteral(" could not be opened: ");
    for (const QString &line : notice.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("COM1 (")) && line.contains(opened))
            return line.mid(line.indexOf(opened) + opened.size());
    }
    return notice;
}

bool hasStaticStep(const TestPlan &plan)
{
    for (const TestPlan::Step &step : plan.steps()) {
        if (step.kind == TestPlan::Step::Kind::Static)
            return true;
    }
    return false;
}

// What is wrong before the device is opened; empty when nothing is.
Failure problemBeforeRun(const RunOptions &options, const TestPlan &plan)
{
    if (hasStaticStep(plan) && options.readingsFrom.isEmpty())
        return Failure::refused(QStringLiteral("the plan has a static step: give the gauge's "
                                               "readings with --reference-from FILE (or - for "
                                               "standard input)"));
    if (!QFileInfo(options.folder).isDir())
        return {Failure::Kind::NotFound, QStringLiteral("-o %1 is no folder").arg(options.folder)};
    if (options.settingsGiven && !QFileInfo::exists(options.settings))
        return {Failure::Kind::NotFound,
                QStringLiteral("the settings file %1 does not exist").arg(options.settings)};
    return Failure();
}

#ifdef TARNVIK_ARCHIVE
// The settings file's archive, opened; none (with the cause told) when it cannot be.
std::unique_ptr<ArchiveStore> openArchive(const RunOptions &options)
{
    const ArchiveSettings settings = ArchiveSettings::load(options.settings);
    for (const QString &problem : settings.problems())
        std::fprintf(stderr, "tarnvik-run: %s\n", qPrintable(problem));
    auto store = std::make_unique<ArchiveStore>(settings.local(), settings.station());
    if (!store->open()) {
        complain(QStringLiteral("the archive cannot be used: %1").arg(store->failure().text));
        return nullptr;
    }
    return store;
}
#endif

} // namespace

int main(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // Past a file size limit a write fails and is reported instead of ending the tool.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("tarnvik-run"));
    QGuiApplication::setApplicationVersion(QStringLiteral(TARNVIK_VERSION_STRING));

    // The panel's log of the ports it tries: the tool says itself what
    // became of its one device.
    QLoggingCategory::setFilterRules(QStringLiteral("tarnvik.ports=false"));

    int exit = kBad;
    const std::optional<RunOptions> options = commandLine(exit);
    if (!options)
        return exit;
    const std::optional<TestPlan> plan = loadPlan(options->plan);
    if (!plan)
        return kBad;
    if (const Failure problem = problemBeforeRun(*options, *plan); problem.failed())
        return complain(problem.text);
    std::unique_ptr<ReadingInput> readings;
    Failure why;
    if (!options->readingsFrom.isEmpty()) {
        readings = std::make_unique<ReadingInput>();
        if (!readings->open(options->readingsFrom, &why))
            return complain(why.text);
    }

    PlanRunner::Saver saver = &HeadlessRun::saveFiles;
#ifdef TARNVIK_ARCHIVE
    const std::unique_ptr<ArchiveStore> archive = openArchive(*options);
    if (!archive)
        return kBad;
    RunArchiver archiver(*archive);
    archiver.setCalibrationDue(options->calibrationDue);
    saver = archiver.saver(std::move(saver));
#endif

    StopSignals stops;
    BenchCore core;
    core.start(std::make_unique<QtSerialPort>(PortTable({options->device})), options->settings,
               QString());
    if (!core.panel().port().isOpen())
        return complain(
            QStringLiteral("cannot open %1: %2")
                .arg(options->device, openFailure(core.panel().state().failureNotice())));
    HeadlessRun run(core, *options, readings.get(), std::move(saver));
    QObject::connect(&stops, &StopSignals::stopAsked, &run, &HeadlessRun::stop);
    QObject::connect(&run, &HeadlessRun::done, &app, [](int status) {
        QMetaObject::invokeMethod(
            qApp, [status] { QCoreApplication::exit(status); }, Qt::QueuedConnection);
    });
    if (!run.start(*plan, &why))
        return complain(QStringLiteral("the run cannot start: %1").arg(why.text));
    exit = app.exec();
    core.panel().exitProgram();
    for (const QString &lost : core.finishRecord())
        complain(lost);
    return exit;
}
