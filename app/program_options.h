// SPDX-License-Identifier: MIT
// The program's command line: --help, --version, --trace FILE, --results FILE
// and --no-results. Qt's own options (-platform, -style, ...) have been taken
// out of the arguments by QApplication before these are parsed. Parsing
// happens before any port is made: --help and --version print and end the
// program with 0, an unknown option, a missing value or a contradiction
// prints the usage and ends it with 2. So does a trace or results file given
// that is no plain file (a folder, a FIFO, a device: nothing the program
// would wait on), a trace in the results file or in the standard results
// file, an option given twice, and a file name that is itself an option
// ("--trace --no-results"). The standard results file never stops the
// program: the window names what keeps it from being written.
#pragma once

#include "failure.h"

#include <QString>
#include <QStringList>

class ProgramOptions
{
public:
    static constexpr int kUsageError = 2;

    // Parses the arguments (the program's name first). True: run the program
    // with what was chosen. False: the program ends now with exitCode(), the
    // help, the version or the error having been printed.
    bool parse(const QStringList &arguments);
    int exitCode() const { return m_exitCode; }

    // Where to write the traffic trace; empty for none.
    QString tracePath() const { return m_tracePath; }
    // Where to append results; empty when --no-results was given.
    QString resultsPath() const { return m_resultsPath; }

private:
    Failure pathProblem(bool traceGiven, bool resultsGiven) const;

    QString m_tracePath;
    QString m_resultsPath;
    int m_exitCode = 0;
};
