// SPDX-License-Identifier: MIT
// tarnvik-report: the bench check report of a traffic trace (tarnvik
// --trace FILE), as a PDF and its JSON form, with the same verdicts the
// program gives live. Runs without a display: it uses Qt's offscreen
// platform unless another one is chosen. The exit status is the overall
// verdict, for a production script: 0 pass, 1 fail, 3 incomplete or nothing
// to judge, 2 a bad command line, an unreadable trace or a report that
// cannot be written (nothing is left behind then).
#include "check_limits.h"
#include "checks_engine.h"
#include "report_files.h"
#include "report_options.h"
#include "tarnvik_version.h"
#include "trace_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

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

// The trace's entries; no value when it cannot be read or holds no trace at all.
std::optional<QList<TrafficEntry>> readTrace(const QString &path,
                                                   std::optional<TraceHeader> &header)
{
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        complain(QStringLiteral("cannot read the trace %1: %2")
                     .arg(path, QFileInfo(path).isDir() ? QStringLiteral("it is a folder")
                                                        : file.errorString()));
        return std::nullopt;
    }
    int skipped = 0;
    QList<TrafficEntry> entries = TraceReader::read(file, &skipped, &header);
    if (entries.isEmpty() && !header && skipped > 0) {
        complain(QStringLiteral("%1 is no traffic trace: none of its %2 line(s) is a trace line")
                     .arg(path)
                     .arg(skipped));
        return std::nullopt;
    }
    if (skipped > 0)
        std::fprintf(stderr,
                     "tarnvik-report: %d line(s) of %s are no trace lines and were skipped\n",
                     skipped, qPrintable(path));
    return entries;
}

CheckReport judge(const QList<TrafficEntry> &entries,
                  const std::optional<TraceHeader> &header, const CheckLimits &limits,
                  const ReportOptions &options)
{
    ChecksEngine engine(limits);
    engine.setSetPoint(options.setPoint);
    for (const TrafficEntry &entry : entries)
        engine.feed(entry);
    CheckReport report = engine.report();
    report.session.program =
        QStringLiteral("tarnvik %1").arg(QStringLiteral(TARNVIK_VERSION_STRING));
    report.session.board = options.board;
    report.session.operatorName = options.operatorName;
    report.session.instrument = options.instrument;
    if (header)
        report.session.started = header->started;
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

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("tarnvik-report"));
    QGuiApplication::setApplicationVersion(QStringLiteral(TARNVIK_VERSION_STRING));

    ReportOptions options;
    QString message;
    switch (ReportOptions::parse(QCoreApplication::arguments(), options, message)) {
    case ReportOptions::Outcome::Help:
        std::printf("%s", qPrintable(message));
        return 0;
    case ReportOptions::Outcome::Version:
        std::printf("tarnvik-report %s\n", TARNVIK_VERSION_STRING);
        return 0;
    case ReportOptions::Outcome::Bad:
        std::fprintf(stderr, "tarnvik-report: %s", qPrintable(message));
        return kBad;
    case ReportOptions::Outcome::Run:
        break;
    }

    if (options.settingsGiven && !QFileInfo::exists(options.settings))
        return complain(
            QStringLiteral("the settings file %1 does not exist").arg(options.settings));
    QStringList problems;
    const CheckLimits limits = CheckLimits::load(options.settings, &problems);
    for (const QString &problem : std::as_const(problems))
        std::fprintf(stderr, "tarnvik-report: settings %s: %s\n", qPrintable(options.settings),
                     qPrintable(problem));

    std::optional<TraceHeader> header;
    const std::optional<QList<TrafficEntry>> entries = readTrace(options.trace, header);
    if (!entries)
        return kBad;

    const CheckReport report = judge(*entries, header, limits, options);

    QString error;
    if (!ReportFiles::save(report, options.pdf, options.json, QDateTime::currentDateTime(), &error))
        return complain(error);
    printSummary(report, options);
    switch (report.verdict) {
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
