// SPDX-License-Identifier: MIT
#include "run_options.h"

#include "option_names.h"
#include "port_map.h"
#include "test_plan.h"

#include <QCommandLineParser>

namespace {

const char kDescription[] =
    "Runs a test plan on the NIBP board at DEVICE (4800 baud, 8N1) and writes its report (PDF "
    "and JSON) and traffic trace into DIR, named after the board and the run's start.\n"
    "PLAN is a plan file or 'standard', the built-in Standard NIBP bench check.\n"
    "For each static point, once the board reads steady near it, the gauge's reading is asked "
    "for on standard error and one line read from --reference-from.\n"
    "Exit status: 0 pass, 1 fail, 3 incomplete or stopped (SIGINT, SIGTERM: Break is sent "
    "first), 2 a bad plan or command line, a device that cannot be opened or files that cannot "
    "be written, 4 the board did not answer.";

// A value that is blank, or that looks like the next option taken as the value.
Failure valueProblem(const QCommandLineParser &parser, const QCommandLineOption &option)
{
    if (!parser.isSet(option))
        return Failure();
    const QString value = parser.value(option);
    if (value.trimmed().isEmpty())
        return Failure::refused(QStringLiteral("%1 needs a value").arg(OptionNames::spelt(option)));
    if (value.startsWith(QLatin1Char('-')) && value != QLatin1String("-"))
        return Failure::refused(
            QStringLiteral("%1 needs a value, not '%2' (write ./%2 for a file of that name)")
                .arg(OptionNames::spelt(option), value));
    return Failure();
}

} // namespace

RunOptions::Outcome RunOptions::parse(const QStringList &arguments, RunOptions &options,
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
    const auto port = option({"port"}, "The board's serial device, e.g. /dev/ttyUSB0.", "device");
    const auto board = option({"board"}, "The board's ID (serial number).", "id");
    const auto output = option({"o", "output"}, "The folder the report and trace go into.", "dir");
    const auto operatorName = option({"operator"}, "Who runs the plan.", "name");
    const auto instrument = option({"instrument"}, "The reference instrument.", "text");
    const auto readings = option({"reference-from"},
                                 "The gauge's readings in mmHg, one a line: a file, or - for "
                                 "standard input. Needed by a plan with a static step.",
                                 "file");
    const auto settings = option(
        {"settings"}, "The settings file with the [checks] limits and the [archive].", "file");
    const auto calibration = option({"calibration-due"},
                                    "The reference instrument's calibration due date "
                                    "(YYYY-MM-DD), kept in the run's record.",
                                    "date");
    const auto print =
        option({"print-plan"}, "Print the built-in plan as a file and exit.", "standard");
    parser.addPositionalArgument(QStringLiteral("plan"),
                                 QStringLiteral("The plan file, or standard."));

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
    Failure why = OptionNames::repeated(parser, declared);
    if (why.failed())
        return bad(why.text);
    if (parser.isSet(print)) {
        if (parser.value(print) != QLatin1String(TestPlan::kStandardName))
            return bad(QStringLiteral("--print-plan knows the plan standard only"));
        if (parser.optionNames().size() > 1 || !parser.positionalArguments().isEmpty())
            return bad(QStringLiteral("--print-plan takes nothing beside it"));
        return Outcome::PrintPlan;
    }
    if (parser.positionalArguments().size() != 1 || !parser.isSet(port) || !parser.isSet(board) ||
        !parser.isSet(output))
        return bad(QStringLiteral("give one plan, --port DEVICE, --board ID and -o DIR"));
    for (const QCommandLineOption &given : std::as_const(declared)) {
        if (!why.failed())
            why = valueProblem(parser, given);
    }
    if (!why.failed() && parser.positionalArguments().constFirst().isEmpty())
        why = Failure::refused(QStringLiteral("the plan needs a file name, or standard"));
    options.calibrationDue = QDate::fromString(parser.value(calibration), Qt::ISODate);
    if (!why.failed() && parser.isSet(calibration) &&
        (!options.calibrationDue.isValid() || parser.value(calibration).size() != 10))
        why = Failure::refused(
            QStringLiteral("--calibration-due takes a date as YYYY-MM-DD, not \"%1\"")
                .arg(parser.value(calibration)));
    if (why.failed())
        return bad(why.text);
    options.plan = parser.positionalArguments().constFirst();
    options.device = parser.value(port);
    options.board = parser.value(board).trimmed();
    options.folder = parser.value(output);
    options.operatorName = parser.value(operatorName);
    options.instrument = parser.value(instrument);
    options.readingsFrom = parser.value(readings);
    options.settingsGiven = parser.isSet(settings);
    options.settings = options.settingsGiven ? parser.value(settings) : PortMap::standardFile();
    return Outcome::Run;
}
