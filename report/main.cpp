// SPDX-License-Identifier: MIT
// tarnvik-report: the bench check report of a traffic trace (tarnvik
// --trace FILE), as a PDF and its JSON form, with the same verdicts the
// program gives live. Runs without a display: it uses Qt's offscreen
// platform unless another one is chosen. The exit status is the overall
// verdict, for a production script: 0 pass, 1 fail, 3 incomplete or nothing
// to judge, 2 a bad command line, a trace that cannot be read or holds no
// trace line, or a report that cannot be written (nothing is left behind
// then, and a previous report stays as it was).
//
// Made to run unattended, as root too: the trace (`-` for standard input)
// must be a regular file and is looked at before it is opened, so a FIFO or
// a device is refused at once instead of waited on; it is read an entry at a
// time straight into the checks engine, so memory does not grow with its
// length, only with what the engine keeps (320 bytes a measurement), and
// the JSON, which lists every measurement, is streamed into its file. The
// outputs are checked before the trace is read (ReportFiles::refusal: no
// FIFO, device or folder, neither the trace nor each other, however spelt or
// linked) and written all or nothing (ReportFiles::save).
#include "check_limits.h"
#include "checks_engine.h"
#include "plain_file_check.h"
#include "report_files.h"
#include "report_header.h"
#include "report_options.h"
#include "tarnvik_version.h"
#include "trace_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kPass = 0;
constexpr int kFail = 1;
constexpr int kBad = 2;
constexpr int kIncomplete = 3;

int complain(const QString &what)
{
    std::fprintf(stderr, "tarnvik-report: %s\n", qPrintable(what));
    return kBad;
}

bool isStandardInput(const QString &trace)
{
    return trace == QLatin1String("-");
}

QString traceName(const QString &trace)
{
    return isStandardInput(trace) ? QStringLiteral("standard input") : trace;
}

// Opens the trace: `-` is standard input, anything else a regular file.
bool openTrace(QFile &file, const QString &trace)
{
    if (isStandardInput(trace)) {
        // As a stream (FILE *), so that a pipe is read to its end, not to its first pause.
        if (file.open(stdin, QIODevice::ReadOnly))
            return true;
        complain(QStringLiteral("cannot read standard input: %1").arg(file.errorString()));
        return false;
    }
    Failure why;
    if (PlainFileCheck::openForReading(file, trace, &why))
        return true;
    const PlainFileCheck::Kind kind = PlainFileCheck(trace).kind();
    const bool stream = kind == PlainFileCheck::Kind::Fifo ||
                        kind == PlainFileCheck::Kind::Device ||
                        kind == PlainFileCheck::Kind::Socket;
    complain(QStringLiteral("cannot read the trace %1: %2%3")
                 .arg(trace, why.text,
                      stream ? QStringLiteral(" (to read a pipe, give - and the trace on standard "
                                              "input: ... | tarnvik-report - -o REPORT.pdf)")
                             : QString()));
    return false;
}

// Feeds the trace into the engine an entry at a time; false, said why, when
// it cannot be read or holds no trace line (not even tarnvik's header line).
bool feedTrace(QFile &file, const QString &trace, ChecksEngine &engine,
               std::optional<TraceHeader> &header)
{
    TraceReader reader(file);
    qint64 entries = 0;
    for (TrafficEntry entry; reader.next(entry); ++entries)
        engine.feed(entry);
    header = reader.header();
    if (file.error() != QFileDevice::NoError) {
        complain(QStringLiteral("cannot read the trace %1: %2")
                     .arg(traceName(trace), file.errorString()));
        return false;
    }
    if (entries == 0 && !header) {
        complain(QStringLiteral("%1 is no traffic trace: it holds no trace line (%2 other "
                                "line(s))")
                     .arg(traceName(trace))
                     .arg(reader.skipped()));
        return false;
    }
    if (reader.skipped() > 0)
        std::fprintf(stderr,
                     "tarnvik-report: %lld line(s) of %s are no trace lines and were skipped\n",
                     static_cast<long long>(reader.skipped()), qPrintable(traceName(trace)));
    return true;
}

CheckReport sessionReport(const ChecksEngine &engine, const std::optional<TraceHeader> &header,
                          const ReportOptions &options)
{
    CheckReport report = engine.report();
    ReportHeader session{options.board, options.operatorName, options.instrument, QDateTime()};
    if (header)
        session.started = header->started;
    session.fill(report); // no device: the trace does not name one
    return report;
}

void printSummary(const CheckReport &report, const ReportOptions &options)
{
    const auto name = [](Verdict v) {
        return v == Verdict::None ? QStringLiteral("-") : verdictName(v);
    };
    std::printf("leak test       %s (%lld)\n", qPrintable(name(report.leakVerdict)),
                static_cast<long long>(report.leakTests.size()));
    std::printf("static pressure %s (%lld points)\n", qPrintable(name(report.staticVerdict)),
                static_cast<long long>(report.staticPoints.size()));
    std::printf("over-pressure   %s (%lld stretches)\n",
                qPrintable(name(report.overPressureVerdict)),
                static_cast<long long>(report.overPressure.size()));
    std::printf("measurements    %s (%d results, %d ended with 999)\n",
                qPrintable(name(report.measurements.verdict)), report.measurements.count,
                report.measurements.ended999);
    std::printf("overall         %s\n", report.verdict == Verdict::None
                                            ? "nothing to judge"
                                            : qPrintable(verdictName(report.verdict)));
    std::printf("report written to %s and %s\n", qPrintable(options.pdf), qPrintable(options.json));
}

// The command line's options; no value when the tool ends here with `exit`
// (--help and --version with 0, a bad command line with 2).
std::optional<ReportOptions> commandLine(int &exit)
{
    ReportOptions options;
    QString message;
    switch (ReportOptions::parse(QCoreApplication::arguments(), options, message)) {
    case ReportOptions::Outcome::Help:
        std::printf("%s", qPrintable(message));
        exit = kPass;
        return std::nullopt;
    case ReportOptions::Outcome::Version:
        std::printf("tarnvik-report %s\n", TARNVIK_VERSION_STRING);
        exit = kPass;
        return std::nullopt;
    case ReportOptions::Outcome::Bad:
        std::fprintf(stderr, "tarnvik-report: %s", qPrintable(message));
        exit = kBad;
        return std::nullopt;
    case ReportOptions::Outcome::Run:
        break;
    }
    return options;
}

int exitStatus(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return kPass;
    case Verdict::Fail:
        return kFail;
    case Verdict::Incomplete:
    case Verdict::None:
        break;
    }
    return kIncomplete;
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // Past a file size limit (ulimit -f) a write fails and is reported, the
    // temporary files removed, instead of the signal ending the tool.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("tarnvik-report"));
    QGuiApplication::setApplicationVersion(QStringLiteral(TARNVIK_VERSION_STRING));

    int exit = kBad;
    const std::optional<ReportOptions> options = commandLine(exit);
    if (!options)
        return exit;
    if (options->settingsGiven && !QFileInfo::exists(options->settings))
        return complain(
            QStringLiteral("the settings file %1 does not exist").arg(options->settings));
    QStringList problems;
    const CheckLimits limits = CheckLimits::load(options->settings, &problems);
    for (const QString &problem : std::as_const(problems))
        std::fprintf(stderr, "tarnvik-report: settings %s: %s\n", qPrintable(options->settings),
                     qPrintable(problem));

    // The outputs first: a report that cannot be written is told before a long trace is read.
    const QString input =
        isStandardInput(options->trace) ? QStringLiteral("/dev/stdin") : options->trace;
    if (const Failure refused = ReportFiles::refusal(options->pdf, options->json, input);
        refused.failed())
        return complain(refused.text);
    QFile file;
    ChecksEngine engine(limits);
    engine.setSetPoint(options->setPoint);
    std::optional<TraceHeader> header;
    if (!openTrace(file, options->trace) || !feedTrace(file, options->trace, engine, header))
        return kBad;

    const CheckReport report = sessionReport(engine, header, *options);
    Failure error;
    if (!ReportFiles::save(report, options->pdf, options->json, QDateTime::currentDateTime(),
                           &error))
        return complain(error.text);
    printSummary(report, *options);
    return exitStatus(report.verdict);
}
