// SPDX-License-Identifier: MIT
// tarnvik-archive: the archive of tarnvik's runs from the command line, for
// a QA lead or a production script: list and filter runs, show one in full
// and write its PDF, export them as CSV or JSON, push the bench's local
// archive to the line's PostgreSQL database, verify the chains, make the
// tables. No display is needed. Exit status 0 done, 1 verify found a chain
// that does not hold, 2 a bad command line (an option given twice among
// others) or an archive that cannot be reached or read, with the cause.
#include "archive_commands.h"
#include "archive_options.h"
#include "tarnvik_version.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // Past a file size limit (ulimit -f) a write fails and is reported
    // instead of the signal ending the tool.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef SIGPIPE
    // A reader that stops early (| head) ends the output, not the tool mid-write.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnvik-archive"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNVIK_VERSION_STRING));

    ArchiveOptions options;
    QString message;
    switch (ArchiveOptions::parse(QCoreApplication::arguments(), options, message)) {
    case ArchiveOptions::Outcome::Help:
        std::printf("%s", qPrintable(message));
        return ArchiveCommands::kDone;
    case ArchiveOptions::Outcome::Version:
        std::printf("tarnvik-archive %s\n", TARNVIK_VERSION_STRING);
        return ArchiveCommands::kDone;
    case ArchiveOptions::Outcome::Bad:
        std::fprintf(stderr, "tarnvik-archive: %s", qPrintable(message));
        return ArchiveCommands::kBad;
    case ArchiveOptions::Outcome::Run:
        break;
    }
    return ArchiveCommands(options).run();
}
