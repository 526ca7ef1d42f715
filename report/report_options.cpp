// SPDX-License-Identifier: MIT
#include "report_options.h"

#include "bench_input.h"
#include "option_names.h"
#include "port_map.h"
#include "report_files.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

const char kDescription[] =
    "Makes the bench check report (PDF and JSON) of a tarnvik traffic trace.\n"
    "A trace given as - is read from standard input; a FIFO, a device or a folder is refused.\n"
    "Exit status: 0 pass, 1 fail, 3 incomplete or nothing to judge, 2 a bad command line, a "
    "trace that cannot be read or holds no trace line, or a report that cannot be written "
    "(then nothing has changed).";

// The set point of --reference-bp SYS/DIA[/MAP] and --reference-pulse N, as
// BenchInput takes it from the Bench checks window's fields.
std::optional<SetPoint> setPointOf(const QString &bp, const QString &pulse, Failure *why)
{
    if (bp.isEmpty()) {
        if (!pulse.isEmpty())
            fail(why, Failure::refused(QStringLiteral("--reference-pulse needs --reference-bp")));
        return std::nullopt;
    }
    if (!pulse.isEmpty() && !BenchInput::setPointValue(pulse)) {
        fail(why, Failure::refused(
                      QStringLiteral("--reference-pulse %1 is not a pulse rate").arg(pulse)));
        return std::nullopt;
    }
    const QStringList parts = bp.split(QLatin1Char('/'));
    const BenchInput::SetPointCheck check =
        (parts.size() == 2 || parts.size() == 3) && !parts.contains(QString())
            ? BenchInput::checkSetPoint(
                  BenchInput::TypedSetPoint{parts.at(0), parts.at(1), parts.value(2), pulse})
            : BenchInput::SetPointCheck{};
    if (check.outcome != BenchInput::SetPointCheck::Outcome::Given) {
        fail(why, Failure::refused(QStringLiteral("--reference-bp %1 is not SYS/DIA or SYS/DIA/MAP "
                                                  "in mmHg with systolic above diastolic")
                                       .arg(bp)));
        return std::nullopt;
    }
    return check.setPoint;
}

// What is wrong with the name of a file to write, or none. A name that
// looks like an option is most likely the next option taken as the name.
Failure outputProblem(const QCommandLineOption &option, const QString &value)
{
    if (value.isEmpty())
        return Failure::refused(
            QStringLiteral("%1 needs a file name").arg(OptionNames::spelt(option)));
    if (value == QLatin1String("-"))
        return Failure::refused(
            QStringLiteral("%1 -: the report is written to files, not to standard output "
                           "(write ./- for a file named -)")
                .arg(OptionNames::spelt(option).section(QLatin1Char(' '), 0, 0)));
    if (value.startsWith(QLatin1Char('-')))
        return Failure::refused(
            QStringLiteral("%1 needs a file name, not '%2' (write ./%2 for a file of that "
                           "name)")
                .arg(OptionNames::spelt(option), value));
    return Failure();
}

} // namespace

ReportOptions::Outcome ReportOptions::parse(const QStringList &arguments, ReportOptions &options,
                                            QString &message)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    QList<QCommandLineOption> declared;
    const auto option = [&](const QStringList &names, const char *text, const char *value) {
        declared << QCommandLineOption(names, QString::fromLatin1(text),
                                       QString::fromLatin1(value));
        parser.addOption(declared.constLast());
        return declared.constLast();
    };
    const auto output = option({"o", "output"}, "The PDF to write.", "pdf");
    const auto json = option({"json"}, "The JSON file to write (default: beside the PDF).", "file");
    const auto board = option({"board"}, "The board's ID (serial number).", "id");
    const auto operatorName = option({"operator"}, "Who ran the checks.", "name");
    const auto instrument = option({"instrument"}, "The reference instrument.", "text");
    const auto bp = option({"reference-bp"}, "The simulator's set point in mmHg.", "sys/dia[/map]");
    const auto pulse = option({"reference-pulse"}, "The simulator's pulse rate.", "n");
    const auto settings =
        option({"settings"}, "The settings file with the [checks] limits.", "file");
    parser.addPositionalArgument(QStringLiteral("trace"),
                                 QStringLiteral("The trace to read, or - for standard input."));

    const auto bad = [&](const QString &why) {
        message = QStringLiteral("%1\n\n%2").arg(why, parser.helpText());
        return Outcome::Bad;
    };
    if (!parser.parse(arguments))
        return bad(parser.errorText());
    if (parser.isSet(help)) {
        message = parser.helpText();
        return Outcome::Help;
    }
    if (parser.isSet(version))
        return Outcome::Version;
    if (parser.positionalArguments().size() != 1 || !parser.isSet(output))
        return bad(QStringLiteral("give one trace and -o REPORT.pdf"));
    Failure why = OptionNames::repeated(parser, declared);
    for (const QCommandLineOption &file : {output, json}) {
        if (!why.failed() && parser.isSet(file))
            why = outputProblem(file, parser.value(file));
    }
    if (why.failed())
        return bad(why.text);
    options.trace = parser.positionalArguments().constFirst();
    options.pdf = parser.value(output);
    options.json = parser.isSet(json) ? parser.value(json) : ReportFiles::jsonBeside(options.pdf);
    options.settingsGiven = parser.isSet(settings);
    options.settings = options.settingsGiven ? parser.value(settings) : PortMap::standardFile();
    options.board = parser.value(board);
    options.operatorName = parser.value(operatorName);
    options.instrument = parser.value(instrument);
    options.setPoint = setPointOf(parser.value(bp), parser.value(pulse), &why);
    if (why.failed())
        return bad(why.text);
    return Outcome::Run;
}
