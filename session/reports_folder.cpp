// SPDX-License-Identifier: MIT
#include "reports_folder.h"

#include "plain_file_check.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

QString ReportsFolder::standard()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("reports"));
}

QString ReportsFolder::named(const QString &settingsFile, QString *why)
{
    const PlainFileCheck check(settingsFile);
    if (settingsFile.isEmpty() || check.kind() == PlainFileCheck::Kind::Missing)
        return standard();
    QString problem;
    if (!check.isPlain())
        problem = check.reason();
    else if (!QFileInfo(settingsFile).isReadable())
        problem = QStringLiteral("it cannot be read");
    const QSettings settings(settingsFile, QSettings::IniFormat);
    if (problem.isEmpty() && settings.status() != QSettings::NoError)
        problem = QStringLiteral("it is not in the settings format");
    if (!problem.isEmpty()) {
        if (why)
            *why = QStringLiteral("the settings file %1 that names the reports folder cannot be "
                                  "used: %2")
                       .arg(QDir::toNativeSeparators(settingsFile), problem);
        return QString();
    }
    // An unquoted comma makes QSettings split the value into a list.
    const QVariant value = settings.value(QLatin1String(kKey));
    const QString folder = value.typeId() == QMetaType::QStringList
                               ? value.toStringList().join(QLatin1Char(','))
                               : value.toString().trimmed();
    if (folder.isEmpty())
        return standard();
    return QDir::cleanPath(QFileInfo(settingsFile).absoluteDir().absoluteFilePath(folder));
}

QString ReportsFolder::ready(const QString &settingsFile, QString *why)
{
    const QString folder = named(settingsFile, why);
    if (folder.isEmpty())
        return folder;
    const QString shown = QDir::toNativeSeparators(folder);
    QString problem;
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        const PlainFileCheck check(folder);
        problem = check.kind() == PlainFileCheck::Kind::Regular ? QStringLiteral("it is a file")
                                                                : check.reason();
    } else if (!info.exists() && !QDir().mkpath(folder)) {
        problem = QStringLiteral("it could not be made");
    } else if (!QFileInfo(folder).isWritable()) {
        problem = QStringLiteral("it cannot be written");
    }
    if (problem.isEmpty())
        return folder;
    if (why)
        *why = QStringLiteral("the reports folder %1 cannot be used: %2").arg(shown, problem);
    return QString();
}
