// SPDX-License-Identifier: MIT
// The command line of tarnvik-archive:
//   tarnvik-archive [--database URI] [--settings FILE] COMMAND ...
//     list [--board ID] [--since DATE] [--verdict pass|fail|incomplete]
//          [--station NAME] [--plan NAME] [--json]
//     show RUN [--pdf FILE]
//     export --csv|--json [--since DATE] [filters as for list]
//     push
//     verify
//     init
// parse() gives the options, or why the command line is bad: among others an
// option given twice, an option the command does not take, a date that is
// no date, a password in the URI. Which archive a command reads is main's.
#pragma once

#include "archive_location.h"
#include "run_filter.h"

#include <QString>
#include <QStringList>

#include <optional>

class ArchiveOptions
{
public:
    enum class Command { List, Show, Export, Push, Verify, Init };
    enum class Outcome { Run, Help, Version, Bad };

    Command command = Command::List;
    std::optional<ArchiveLocation> database; // --database, when given
    QString settings;                        // the program's settings file unless given
    bool settingsGiven = false;
    RunFilter filter;
    bool json = false;
    bool csv = false;
    QString run; // show: the UUID or its start
    QString pdf; // show --pdf

    // `message` gets the help text, or the reason with the usage.
    static Outcome parse(const QStringList &arguments, ArchiveOptions &options, QString &message);
    // "2026-12-01" (the local day's start) or "2026-12-01T08:00:00+01:00".
    static std::optional<QDateTime> dateOf(const QString &text);
};
