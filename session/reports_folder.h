// SPDX-License-Identifier: MIT
// Where the window saves a test plan's run: the folder the [reports] group of
// the program's settings file names (the file PortMap and CheckLimits read),
//
//   [reports]
//   folder=/srv/bench/reports
//
// taken relative to the settings file's own folder when it is not absolute;
// without the entry, or without the file, "reports" in the program's data
// folder (QStandardPaths::AppDataLocation, ~/.local/share/Velsorin/tarnvik/
// reports on Linux). The settings file is looked at before it is opened
// (PlainFileCheck), so a FIFO in its place cannot hold the window up. The
// folder is made, with its parents, when it is missing. What cannot be used
// is refused with the reason, and a run is not started: a settings file that
// cannot be read, something in the folder's place that is no folder, a
// folder that cannot be made or written. tarnvik-run takes its folder from -o.
#pragma once

#include "failure.h"

#include <QString>

class ReportsFolder
{
public:
    // The settings file's key, group and name.
    static constexpr const char *kKey = "reports/folder";

    // "reports" in the program's data folder.
    static QString standard();
    // The folder `settingsFile` names, or standard(); looked at, not made.
    // Empty, with the reason in `why`, when the settings file cannot be read.
    static QString named(const QString &settingsFile, Failure *why);
    // named(), made when missing. Empty, with the reason in `why`, when it
    // cannot be used.
    static QString ready(const QString &settingsFile, Failure *why);
};
