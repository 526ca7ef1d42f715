// SPDX-License-Identifier: MIT
#include "option_names.h"

#include <QStringList>

QString OptionNames::spelt(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : option.names())
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    return names.join(QStringLiteral(" or "));
}

Failure OptionNames::repeated(const QCommandLineParser &parser,
                              const QList<QCommandLineOption> &options)
{
    const QStringList given = parser.optionNames();
    for (const QCommandLineOption &option : options) {
        qsizetype times = 0;
        for (const QString &name : option.names())
            times += given.count(name);
        if (times > 1)
            return Failure::refused(
                QStringLiteral("%1 is given more than once").arg(spelt(option)));
    }
    return Failure();
}
