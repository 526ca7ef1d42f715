// SPDX-License-Identifier: MIT
#include "report_options.h"

#include "port_map.h"
#include "report_files.h"

#include <QCommandLineParser>
#include <QRegularExpression>

std::optional<double> ReportOptions::reading(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\d{1,3}(\\.\\d)?$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const double value = text.toDouble();
    if (value <= 0)
        return std::nullopt;
    return value;
}

namespace {

std::optional<SetPoint> setPointOf(const QString &bp, const QString &pulse, QString &why)
{
    if (bp.isEmpty()) {
        if (!pulse.isEmpty())
            why = QStringLiteral("--reference-pulse needs --reference-bp");
        return std::nullopt;
    }
    const QStringList parts = bp.split(QLatin1Char('/'));
    QList<double> values;
    for (const QString &part : parts) {
        if (const std::optional<double> v = ReportOptions::reading(part))
            values.append(*v);
    }
    if (parts.size() < 2 || parts.size() > 3 || values.size() != parts.size() ||
        values.at(0) <= values.at(1)) {
        why = QStringLiteral("--reference-bp %1 is not SYS/DIA or SYS/DIA/MAP in mmHg with "
                             "systolic above diastolic")
                  .arg(bp);
        return std::nullopt;
    }
    SetPoint point{values.at(0), values.at(1), std::nullopt, std::nullopt};
    if (values.size() == 3)
        point.mean = values.at(2);
    if (!pulse.isEmpty()) {
        point.pulse = ReportOptions::reading(pulse);
        if (!point.pulse) {
            why = QStringLiteral("--reference-pulse %1 is not a pulse rate").arg(pulse);
            return std::nullopt;
        }
    }
    return point;
}

} // namespace

ReportOptions::Outcome ReportOptions::parse(const QStringList &arguments, ReportOptions &options,
                                            QString &message)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes the bench check report (PDF and JSON) of a tarnvik traffic trace.\n"
                       "Exit status: 0 pass, 1 fail, 3 incomplete or nothing to judge, 2 a bad "
                       "command line, an unreadable trace or a report that cannot be written."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const auto option = [&parser](const QStringList &names, const char *text, const char *value) {
        QCommandLineOption o(names, QString::fromLatin1(text), QString::fromLatin1(value));
        parser.addOption(o);
        return o;
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
    parser.addPositionalArgument(QStringLiteral("trace"), QStringLiteral("The trace to read."));

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
    options.trace = parser.positionalArguments().constFirst();
    options.pdf = parser.value(output);
    options.json = parser.isSet(json) ? parser.value(json) : ReportFiles::jsonBeside(options.pdf);
    options.settingsGiven = parser.isSet(settings);
    options.settings = options.settingsGiven ? parser.value(settings) : PortMap::standardFile();
    options.board = parser.value(board);
    options.operatorName = parser.value(operatorName);
    options.instrument = parser.value(instrument);
    QString why;
    options.setPoint = setPointOf(parser.value(bp), parser.value(pulse), why);
    if (!why.isEmpty())
        return bad(why);
    return Outcome::Run;
}
