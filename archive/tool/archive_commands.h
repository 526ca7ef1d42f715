// SPDX-License-Identifier: MIT
// What tarnvik-archive's commands do, once the command line is parsed: each
// opens the archive it reads (the one --database names, else the settings
// file's), does its work and gives the tool's exit status: 0 done, 1 verify
// found a break, 2 the archive cannot be reached or read, a run that is not
// there, a PDF that cannot be written; the cause goes to standard error.
// push copies the local SQLite archive to the line's database (ArchivePush),
// init makes or migrates the tables of the archive named.
#pragma once

#include "archive_connection.h"
#include "archive_options.h"
#include "archive_settings.h"
#include "failure.h"

class ArchiveCommands
{
public:
    static constexpr int kDone = 0;
    static constexpr int kBreak = 1;
    static constexpr int kBad = 2;

    explicit ArchiveCommands(const ArchiveOptions &options);

    int run();

private:
    int list();
    int show();
    int exportRuns();
    int push();
    int verify();
    int init();

    // The archive the command reads: --database, else the settings file's.
    ArchiveLocation archive() const;
    // Opens an archive that exists, its schema current (a local file's migrated).
    bool openExisting(ArchiveConnection &connection, Failure *why);
    bool writePdf(const QVariantMap &run, const QString &archivePath, Failure *why);
    void printRun(const QVariantMap &run, const QList<QVariantMap> &acts);
    static int complain(const QString &what);

    ArchiveOptions m_options;
    ArchiveSettings m_settings;
};
