// SPDX-License-Identifier: MIT
#include "platform_choice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QPluginLoader>
#include <QStaticPlugin>

#include <cstdio>
#include <cstring>

namespace {

const char *const kPlatformInterface = "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface";

// The value after a Qt option such as -platform or --platform; empty when absent.
QString argumentValue(int argc, char *argv[], const char *option)
{
    for (int i = 1; i + 1 < argc; ++i) {
        const char *name = argv[i];
        if (std::strncmp(name, "--", 2) == 0)
            ++name;
        if (std::strcmp(name, option) == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    }
    return QString();
}

void addKeys(const QJsonObject &metaData, QStringList &keys)
{
    if (!metaData.value(QLatin1String("IID"))
             .toString()
             .startsWith(QLatin1String(kPlatformInterface)))
        return;
    const QJsonArray pluginKeys =
        metaData.value(QLatin1String("MetaData")).toObject().value(QLatin1String("Keys")).toArray();
    for (const QJsonValue &key : pluginKeys) {
        if (!keys.contains(key.toString(), Qt::CaseInsensitive))
            keys << key.toString();
    }
}

} // namespace

bool PlatformChoice::check(int argc, char *argv[])
{
#ifdef Q_OS_LINUX
    const QString request = requested(argc, argv);
    if (request.isEmpty())
        return true;
    const QStringList keys = available(pluginFolders(argc, argv));
    if (keys.isEmpty() || canStart(request, keys))
        return true;
    std::fprintf(stderr,
                 "%s: no Qt platform plugin for the platform \"%s\".\n"
                 "Available platform plugins are: %s.\n",
                 argc > 0 ? qPrintable(QFileInfo(QString::fromLocal8Bit(argv[0])).fileName())
                          : "tarnvik",
                 qPrintable(request), qPrintable(keys.join(QStringLiteral(", "))));
    return false;
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return true;
#endif
}

QString PlatformChoice::requested(int argc, char *argv[])
{
    const QString argument = argumentValue(argc, argv, "-platform");
    return argument.isEmpty() ? qEnvironmentVariable("QT_QPA_PLATFORM") : argument;
}

QStringList PlatformChoice::available(const QStringList &folders)
{
    QStringList keys;
    for (const QStaticPlugin &plugin : QPluginLoader::staticPlugins())
        addKeys(plugin.metaData(), keys);
    for (const QString &folder : folders) {
        const QDir dir(folder);
        for (const QString &file : dir.entryList(QDir::Files)) {
            if (!QLibrary::isLibrary(file))
                continue;
            addKeys(QPluginLoader(dir.filePath(file)).metaData(), keys);
        }
    }
    return keys;
}

bool PlatformChoice::canStart(const QString &request, const QStringList &keys)
{
    for (const QString &item : request.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (keys.contains(item.section(QLatin1Char(':'), 0, 0), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// Where Qt looks for platform plugins: the folder given with -platformpluginpath
// or QT_QPA_PLATFORM_PLUGIN_PATH, and "platforms" under each plugin folder
// (Qt's own, QT_PLUGIN_PATH's and the program's folder).
QStringList PlatformChoice::pluginFolders(int argc, char *argv[])
{
    QStringList folders;
    const QString given = argumentValue(argc, argv, "-platformpluginpath");
    folders << (given.isEmpty() ? qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH") : given);
    QStringList roots{QLibraryInfo::path(QLibraryInfo::PluginsPath)};
    roots
        << qEnvironmentVariable("QT_PLUGIN_PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    roots << QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    for (const QString &root : std::as_const(roots))
        folders << QDir(root).filePath(QStringLiteral("platforms"));
    folders.removeAll(QString());
    return folders;
}
