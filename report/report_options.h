// SPDX-License-Identifier: MIT
// The command line of tarnvik-report:
//   tarnvik-report TRACE -o REPORT.pdf [--json FILE] [--board ID] [--operator NAME]
//       [--instrument TEXT] [--reference-bp SYS/DIA[/MAP]] [--reference-pulse N]
//       [--settings FILE]
// TRACE `-` is standard input. parse() gives the options, or the reason the
// command line is bad: among others an option given twice, or an output
// named `-` or like an option. What the named files are is main's to check.
#pragma once

#include "check_report.h"

#include <QString>
#include <QStringList>

#include <optional>

class ReportOptions
{
public:
    QString trace; // "-" for standard input
    QString pdf;
    QString json;     // beside the PDF unless given
    QString settings; // the program's settings file unless given
    bool settingsGiven = false;
    QString board;
    QString operatorName;
    QString instrument;
    std::optional<SetPoint> setPoint;

    enum class Outcome { Run, Help, Version, Bad };
    // `message` gets the help or version text, or the reason with the usage.
    static Outcome parse(const QStringList &arguments, ReportOptions &options, QString &message);
};
