// SPDX-License-Identifier: MIT
#include "archive_options.h"

#include "port_map.h"

#include <QCommandLineParser>
#include <QDir>
#include <QMap>

namespace {

const char kDescription[] =
    "Lists, shows, exports, pushes and verifies the archive of tarnvik's runs.\n"
    "Commands:\n"
    "  list [--board ID] [--since DATE] [--verdict pass|fail|incomplete] [--station NAME] "
    "[--plan NAME] [--json]\n"
    "  show RUN [--pdf FILE]     one run in full (RUN: its UUID or its first 8 or more "
    "characters)\n"
    "  export --csv|--json [--since DATE] [the filters of list]\n"
    "  push                      copy the local archive to the line's PostgreSQL database\n"
    "  verify                    recompute every station's chain\n"
    "  init                      make or migrate the archive's tables (the database's owner)\n"
    "Without --database, the archive of the settings file's [archive] group.\n"
    "Exit status: 0 done, 1 verify found a chain that does not hold, 2 a bad command line, "
    "or an archive that cannot be reached or read (with the cause).";

const QMap<QString, ArchiveOptions::Command> kCommands = {
    {"list", ArchiveOptions::Command::List},     {"show", ArchiveOptions::Command::Show},
    {"export", ArchiveOptions::Command::Export}, {"push", ArchiveOptions::Command::Push},
    {"verify", ArchiveOptions::Command::Verify}, {"init", ArchiveOptions::Command::Init},
};

// The options each command takes beside --database and --settings.
QStringList optionsOf(ArchiveOptions::Command command)
{
    const QStringList filters = {"board", "since", "verdict", "station", "plan"};
    switch (command) {
    case ArchiveOptions::Command::List:
        return filters + QStringList{"json"};
    case ArchiveOptions::Command::Export:
        return filters + QStringList{"json", "csv"};
    case ArchiveOptions::Command::Show:
        return {"pdf"};
    case ArchiveOptions::Command::Push:
    case ArchiveOptions::Command::Verify:
    case ArchiveOptions::Command::Init:
        break;
    }
    return {};
}

// The first option given more than once, or one the command does not take.
QString misplacedOption(const QCommandLineParser &parser, const QString &command,
                        const QStringList &allowed)
{
    const QStringList given = parser.optionNames();
    for (const QString &name : given) {
        if (given.count(name) > 1)
            return QStringLiteral("--%1 is given more than once").arg(name);
        if (name != QLatin1String("database") && name != QLatin1String("settings") &&
            !allowed.contains(name))
            return QStringLiteral("%1 takes no --%2").arg(command, name);
    }
    return QString();
}

} // namespace

std::optional<QDateTime> ArchiveOptions::dateOf(const QString &text)
{
    const QDate day = QDate::fromString(text, Qt::ISODate);
    if (day.isValid() && text.size() == 10)
        return day.startOfDay();
    const QDateTime when = QDateTime::fromString(text, Qt::ISODate);
    if (when.isValid() && text.size() > 10)
        return when;
    return std::nullopt;
}

namespace {

void declareOptions(QCommandLineParser &parser)
{
    const auto option = [&](const char *name, const char *text, const char *value = nullptr) {
        parser.addOption(
            value ? QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(text),
                                       QString::fromLatin1(value))
                  : QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(text)));
    };
    option("database",
           "The archive: sqlite:PATH or postgresql://USER@HOST/DBNAME (a password "
           "in it is refused).",
           "uri");
    option("settings", "The settings file with the [archive] group.", "file");
    option("board", "list, export: the board's runs only.", "id");
    option("since",
           "list, export: runs started on or after DATE (YYYY-MM-DD or ISO 8601 "
           "with offset).",
           "date");
    option("verdict", "list, export: runs of this verdict only (pass, fail, incomplete).",
           "verdict");
    option("station", "list, export: the station's runs only.", "name");
    option("plan", "list, export: runs of this plan only (\"free check\" for free checks).",
           "name");
    option("json", "list: print JSON; export: export as JSON.");
    option("csv", "export: export as CSV.");
    option("pdf", "show: write the run's PDF to FILE (a regular file or a new one).", "file");
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("list, show, export, push, verify or init."));
    parser.addPositionalArgument(QStringLiteral("run"), QStringLiteral("show: the run."),
                                 QStringLiteral("[run]"));
}

// The filters and formats; why they are bad, or empty.
QString takeFilters(const QCommandLineParser &parser, ArchiveOptions &options)
{
    RunFilter &filter = options.filter;
    filter.board = parser.value(QStringLiteral("board"));
    filter.station = parser.value(QStringLiteral("station"));
    filter.plan = parser.value(QStringLiteral("plan"));
    filter.verdict = parser.value(QStringLiteral("verdict"));
    if (parser.isSet(QStringLiteral("verdict")) &&
        !QStringList{"pass", "fail", "incomplete"}.contains(filter.verdict))
        return QStringLiteral("--verdict %1 is not pass, fail or incomplete").arg(filter.verdict);
    if (parser.isSet(QStringLiteral("since"))) {
        const std::optional<QDateTime> since = ArchiveOptions::dateOf(parser.value("since"));
        if (!since)
            return QStringLiteral("--since %1 is no date (YYYY-MM-DD, or ISO 8601 with a time)")
                .arg(parser.value("since"));
        filter.since = *since;
    }
    for (const char *name : {"board", "station", "plan", "pdf", "database", "settings"}) {
        if (parser.isSet(QLatin1String(name)) && parser.value(QLatin1String(name)).isEmpty())
            return QStringLiteral("--%1 needs a value").arg(QLatin1String(name));
    }
    options.json = parser.isSet(QStringLiteral("json"));
    options.csv = parser.isSet(QStringLiteral("csv"));
    if (options.command == ArchiveOptions::Command::Export && options.json == options.csv)
        return QStringLiteral("export takes one of --csv and --json");
    return QString();
}

// The command and its run; why they are bad, or empty.
QString takeCommand(const QStringList &positional, ArchiveOptions &options)
{
    if (positional.isEmpty())
        return QStringLiteral("give a command: list, show, export, push, verify or init");
    const QString name = positional.constFirst();
    if (!kCommands.contains(name))
        return QStringLiteral("unknown command \"%1\"").arg(name);
    options.command = kCommands.value(name);
    const bool show = options.command == ArchiveOptions::Command::Show;
    if (show && positional.size() != 2)
        return QStringLiteral("show takes one run: show RUN");
    if (!show && positional.size() > 1)
        return QStringLiteral("%1 takes no argument \"%2\"").arg(name, positional.at(1));
    if (show)
        options.run = positional.at(1);
    return QString();
}

} // namespace

ArchiveOptions::Outcome ArchiveOptions::parse(const QStringList &arguments, ArchiveOptions &options,
                                              QString &message)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    declareOptions(parser);
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
    QString why = takeCommand(parser.positionalArguments(), options);
    if (why.isEmpty())
        why = misplacedOption(parser, parser.positionalArguments().constFirst(),
                              optionsOf(options.command));
    if (why.isEmpty())
        why = takeFilters(parser, options);
    if (why.isEmpty() && parser.isSet(QStringLiteral("database"))) {
        Failure refused;
        options.database = ArchiveLocation::parse(parser.value(QStringLiteral("database")),
                                                  QDir::currentPath(), &refused);
        why = refused.text;
        if (!options.database && why.isEmpty())
            why = QStringLiteral("--database cannot be used");
    }
    if (!why.isEmpty())
        return bad(why);
    options.settingsGiven = parser.isSet(QStringLiteral("settings"));
    options.settings =
        options.settingsGiven ? parser.value(QStringLiteral("settings")) : PortMap::standardFile();
    options.pdf = parser.value(QStringLiteral("pdf"));
    return Outcome::Run;
}
