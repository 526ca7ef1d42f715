// SPDX-License-Identifier: MIT
#include "archive_settings.h"

#include "plain_file_check.h"
#include "port_map.h"
#include "tarnvik_version.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>

namespace {

const QString kGroup = QStringLiteral("archive");

} // namespace

QString ArchiveSettings::defaultArchiveFile()
{
    // The program's AppDataLocation, named without its QCoreApplication's
    // names so that the tools find the same file.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(
        QStringLiteral("%1/%2/archive.sqlite")
            .arg(QStringLiteral(TARNVIK_COMPANY), QStringLiteral(TARNVIK_TITLE)));
}

QString ArchiveSettings::defaultStation()
{
    const QString host = QSysInfo::machineHostName();
    return isStationName(host) ? host : QStringLiteral("bench");
}

bool ArchiveSettings::isStationName(const QString &name)
{
    if (name.isEmpty() || name.size() > 64 || name.trimmed() != name)
        return false;
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return false;
    }
    return true;
}

ArchiveSettings::ArchiveSettings()
    : m_local(ArchiveLocation::sqliteFile(defaultArchiveFile()))
    , m_station(defaultStation())
{}

ArchiveSettings ArchiveSettings::load()
{
    return load(PortMap::standardFile());
}

ArchiveSettings ArchiveSettings::load(const QString &file)
{
    ArchiveSettings settings;
    settings.m_file = file;
    settings.read(file);
    return settings;
}

void ArchiveSettings::read(const QString &file)
{
    const PlainFileCheck check(file);
    if (check.kind() == PlainFileCheck::Kind::Missing)
        return;
    if (!check.isPlain()) {
        m_problems << QStringLiteral("the settings file %1 cannot be read (%2); the archive "
                                     "keeps its defaults")
                          .arg(file, check.reason());
        return;
    }
    QSettings settings(file, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        m_problems << QStringLiteral("the settings file %1 is not a readable settings file; the "
                                     "archive keeps its defaults")
                          .arg(file);
        return;
    }
    for (const QString &key : settings.allKeys()) {
        if (!key.startsWith(kGroup + QLatin1Char('/'), Qt::CaseInsensitive))
            continue;
        const QVariant value = settings.value(key);
        // An unquoted comma makes QSettings split a value into a list.
        take(key.mid(kGroup.size() + 1), value.typeId() == QMetaType::QStringList
                                             ? value.toStringList().join(QLatin1Char(','))
                                             : value.toString());
    }
}

void ArchiveSettings::take(const QString &key, const QString &value)
{
    if (key == QLatin1String("station")) {
        if (isStationName(value.trimmed()))
            m_station = value.trimmed();
        else if (!value.trimmed().isEmpty())
            m_problems << QStringLiteral("[archive] station=%1 is no station name (1 to 64 "
                                         "characters); the station is %2")
                              .arg(value, m_station);
        return;
    }
    if (key != QLatin1String("database")) {
        m_problems << QStringLiteral("unknown entry \"%1\" in [archive] (database and station "
                                     "are known)")
                          .arg(key);
        return;
    }
    if (value.trimmed().isEmpty())
        return;
    Failure why;
    const std::optional<ArchiveLocation> location =
        ArchiveLocation::parse(value, QFileInfo(m_file).absolutePath(), &why);
    if (!location)
        m_problems << QStringLiteral("[archive] database: %1; runs are stored in %2 only")
                          .arg(why.text, m_local.path());
    else if (location->isSqlite())
        m_local = *location;
    else
        m_line = location;
}

ArchiveSettings ArchiveSettings::localOnly(const ArchiveLocation &local, const QString &station)
{
    ArchiveSettings settings;
    settings.m_local = local;
    settings.m_station = station;
    return settings;
}
