#include "program_options.h"

#include "result_log.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

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

    QString error;
    if (!parser.parse(arguments))
        error = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        error =
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
    else if (parser.isSet(results) && parser.isSet(noResults))
        error = QStringLiteral("--results and --no-results exclude each other.");
    else if (parser.isSet(trace) && parser.value(trace).isEmpty())
        error = QStringLiteral("--trace needs a file name.");
    else if (parser.isSet(results) && parser.value(results).isEmpty())
        error = QStringLiteral("--results needs a file name.");
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n\n%s", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(error), qPrintable(parser.helpText()));
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
    m_tracePath = parser.value(trace);
    m_resultsPath = parser.isSet(noResults) ? QString()
                    : parser.isSet(results) ? parser.value(results)
                                            : ResultLog::defaultPath();
    return true;
}
