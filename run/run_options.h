// SPDX-License-Identifier: MIT
// The command line of tarnvik-run:
//   tarnvik-run PLAN --port DEVICE --board ID -o DIR [--operator NAME]
//       [--instrument TEXT] [--calibration-due YYYY-MM-DD] [--reference-from FILE|-]
//       [--settings FILE]
//   tarnvik-run --print-plan standard
// PLAN is a plan file or `standard` (the built-in plan; ./standard names a
// file of that name). parse() gives the options, or the reason the command
// line is bad: among others an option given twice, a missing --port,
// --board or -o, a blank value, or --print-plan with anything beside it.
// What the named files and the device are is main's to check.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

class RunOptions
{
public:
    QString plan; // a file, or TestPlan::kStandardName
    QString device;
    QString board;
    QString folder; // -o: the folder the files go into
    QString operatorName;
    QString instrument;
    QDate calibrationDue; // of the instrument; invalid when not given
    QString readingsFrom; // "-" standard input; empty when not given
    QString settings;     // the program's settings file unless given
    bool settingsGiven = false;

    enum class Outcome { Run, PrintPlan, Help, Version, Bad };
    // `message` gets the help text, or the reason with the usage.
    static Outcome parse(const QStringList &arguments, RunOptions &options, QString &message);
};
