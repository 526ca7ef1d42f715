// SPDX-License-Identifier: MIT
// How the command-line tools (tarnvik-report, tarnvik-run) speak of their
// options: an option by every name it may be written with, and an option
// given twice, which they refuse because which of the two was meant is
// unclear.
#pragma once

#include "failure.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

class OptionNames
{
public:
    // "-o or --output": how the user may have written `option`.
    static QString spelt(const QCommandLineOption &option);
    // "-o or --output is given more than once" for the first of `options`
    // given twice; none when none is.
    static Failure repeated(const QCommandLineParser &parser,
                            const QList<QCommandLineOption> &options);
};
