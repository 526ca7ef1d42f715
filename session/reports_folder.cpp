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

QString ReportsFolder::named(const QString &settingsFile, Failure *why)
{
    const PlainFileCheck check(settingsFile);
    if (settingsFile.isEmpty() || check.kind() == PlainFileCheck::Kind::Missing)
        return standard();
    Failure problem;
    if (!check.isPlain())
        problem = Failure::refused(check.reason());
    else if (!QFileInfo(settingsFile).isReadable())
        problem = {Failure::Kind::PermissionDenied, QStringLiteral("it cannot be read")};
    const QSettings settings(settingsFile, QSettings::IniFormat);
    if (!problem.failed() && settings.status() != QSettings::NoError)
        problem = Failure::refused(QStringLiteral("it is not in the settings format"));
    if (problem.failed()) {
        fail(why, problem.within(QStringLiteral("the settings file %1 that names the reports "
                                                "folder cannot be used")
                                     .arg(QDir::toNativeSeparators(settingsFile))));
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

QString ReportsFolder::ready(const QString &settingsFile, Failure *why)
{
    const QString folder = named(settingsFile, why);
    if (folder.isEmpty())
        return folder;
    const QString shown = QDir::toNativeSeparators(folder);
    Failure problem;
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        const PlainFileCheck check(folder);
        problem = Failure::refused(check.kind() == PlainFileCheck::Kind::Regular
                                       ? QStringLiteral("it is a file")
                                       : check.reason());
    } else if (!info.exists() && !QDir().mkpath(folder)) {
        problem = {Failure::Kind::Io, QStringLiteral("it could not be made")};
    } else if (!QFileInfo(folder).isWritable()) {
        problem = {Failure::Kind::PermissionDenied, QStringLiteral("it cannot be written")};
    }
    if (!problem.failed())
        return folder;
    fail(why, problem.within(QStringLiteral("the reports folder %1 cannot be used").arg(shown)));
    return QString();
}
