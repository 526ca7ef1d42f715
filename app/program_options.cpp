// SPDX-License-Identifier: MIT
#include "program_options.h"

#include "plain_file_check.h"
#include "result_log.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

// What is wrong with the file an option names, or none. A value that looks
// like an option is most likely the next option taken as the file name.
Failure fileProblem(const QString &option, const QString &value)
{
    if (value.isEmpty())
        return Failure::refused(QStringLiteral("--%1 needs a file name.").arg(option));
    if (value.startsWith(QLatin1Char('-')))
        return Failure::refused(
            QStringLiteral("--%1 needs a file name, not '%2' (write ./%2 for a file of that "
                           "name).")
                .arg(option, value));
    const PlainFileCheck check(value);
    if (!check.isPlain())
        return Failure::refused(
            QStringLiteral("--%1 %2 cannot be used: %3.").arg(option, value, check.reason()));
    return Failure();
}

// The options that take effect once: given twice, which one was meant is unclear.
Failure repeatedOption(const QCommandLineParser &parser)
{
    const QStringList names = parser.optionNames();
    for (const char *once : {"trace", "results", "no-results"}) {
        if (names.count(QLatin1String(once)) > 1)
            return Failure::refused(
                QStringLiteral("--%1 is given more than once.").arg(QLatin1String(once)));
    }
    return Failure();
}

} // namespace

bool ProgramOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Bench test program for NIBP measuring boards on a serial port.\n"
                       "Results are appended to %1 unless --results or --no-results says "
                       "otherwise.")
            .arg(ResultLog::defaultPath()));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Write every frame sent and every line received, with the time in ms "
                       "and the port, to <file>."),
        QStringLiteral("file"));
    const QCommandLineOption results(
        QStringLiteral("results"),
        QStringLiteral("Append the results to <file> instead of the standard results file."),
        QStringLiteral("file"));
    const QCommandLineOption noResults(QStringLiteral("no-results"),
                                       QStringLiteral("Write no results file."));
    parser.addOptions({trace, results, noResults});

    Failure error;
    if (!parser.parse(arguments))
        error = Failure::refused(parser.errorText());
    else if (!parser.positionalArguments().isEmpty())
        error = Failure::refused(
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first()));
    else if (parser.isSet(results) && parser.isSet(noResults))
        error = Failure::refused(QStringLiteral("--results and --no-results exclude each other."));
    else
        error = repeatedOption(parser);
    if (!error.failed() && !parser.isSet(help) && !parser.isSet(version)) {
        m_tracePath = parser.value(trace);
        m_resultsPath = parser.isSet(noResults) ? QString()
                        : parser.isSet(results) ? parser.value(results)
                                                : ResultLog::defaultPath();
        error = pathProblem(parser.isSet(trace), parser.isSet(results));
    }
    if (error.failed()) {
        std::fprintf(stderr, "%s: %s\n\n%s", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(error.text), qPrintable(parser.helpText()));
        m_exitCode = kUsageError;
        return false;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        const QString text =
            parser.isSet(help)
                ? parser.helpText()
                : QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                QCoreApplication::applicationVersion());
        std::fputs(qPrintable(text), stdout);
        m_exitCode = 0;
        return false;
    }
    return true;
}

// The files of the command line must be plain files, and the trace must not
// be the results file, neither this session's nor the standard one: it would
// replace the results. The standard results file stops nothing: what keeps
// it from being written is told in the window while measuring goes on.
Failure ProgramOptions::pathProblem(bool traceGiven, bool resultsGiven) const
{
    Failure problem;
    if (traceGiven)
        problem = fileProblem(QStringLiteral("trace"), m_tracePath);
    if (!problem.failed() && resultsGiven)
        problem = fileProblem(QStringLiteral("results"), m_resultsPath);
    if (problem.failed() || !traceGiven)
        return problem;
    if (!m_resultsPath.isEmpty() && PlainFileCheck::sameFile(m_tracePath, m_resultsPath))
        return Failure::refused(
            QStringLiteral("the trace and the results would go to the same file %1.")
                .arg(m_resultsPath));
    if (PlainFileCheck::sameFile(m_tracePath, ResultLog::defaultPath()))
        return Failure::refused(
            QStringLiteral("--trace %1 is the standard results file; the trace would replace "
                           "the results in it.")
                .arg(m_tracePath));
    return Failure();
}
