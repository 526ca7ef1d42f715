#include "port_map.h"

#include "port_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <map>

namespace {

const QString kGroup = QStringLiteral("ports");

QString keyOf(int port)
{
    return PortTable::caption(port);
}

QString describeDefault(const QString &device)
{
    return device.isEmpty() ? QStringLiteral("stays unbound")
                            : QStringLiteral("keeps %1").arg(device);
}

} // namespace

PortMap::Syntax PortMap::hostSyntax()
{
#ifdef Q_OS_WIN
    return Syntax::Windows;
#else
    return Syntax::Posix;
#endif
}

QString PortMap::standardFile()
{
    // INI text everywhere: the native format is already INI on Linux (.conf),
    // on Windows it would be the registry.
#ifdef Q_OS_WIN
    const QSettings::Format format = QSettings::IniFormat;
#else
    const QSettings::Format format = QSettings::NativeFormat;
#endif
    return QSettings(format, QSettings::UserScope, QStringLiteral("Velsorin"),
                     QStringLiteral("tarnvik"))
        .fileName();
}

PortMap PortMap::load()
{
    return load(standardFile(), PortTable::system());
}

PortMap::PortMap()
    : m_table(QStringList())
{}

PortMap PortMap::load(const QString &file, const PortTable &defaults, Syntax syntax)
{
    PortMap map;
    map.m_file = file;
    QStringList devices = defaults.devices();
    map.m_table = PortTable(devices);

    const QFileInfo info(file);
    if (!info.exists())
        return map;
    QFile probe(file);
    if (info.isDir() || !probe.open(QIODevice::ReadOnly)) {
        map.m_problems << QStringLiteral("the file could not be read (%1); every entry keeps "
                                         "its default")
                              .arg(info.isDir() ? QStringLiteral("it is a folder")
                                                : probe.errorString());
        qCWarning(lcPorts).noquote() << file << map.m_problems.constLast();
        return map;
    }
    probe.close();

    const QSettings settings(file, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        map.m_problems << QStringLiteral(
            "the file is not a readable settings file; every entry keeps its default");
        qCWarning(lcPorts).noquote() << file << map.m_problems.constLast();
        return map;
    }

    QStringList fromFile; // keys the file bound, in the order of the entries
    const QString prefix = kGroup + QLatin1Char('/');
    for (const QString &key : settings.allKeys()) {
        // Letter case is forgiven, as on Windows. Other groups belong to other
        // parts of the program, but an entry name above every group is a
        // forgotten [ports] line.
        const bool inGroup = key.startsWith(prefix, Qt::CaseInsensitive);
        const QString name = inGroup ? key.mid(prefix.size()) : key;
        int port = 0;
        for (int n = 1; n <= PortTable::kPortCount; ++n) {
            if (name.compare(keyOf(n), Qt::CaseInsensitive) == 0)
                port = n;
        }
        if (!inGroup) {
            if (port != 0)
                map.m_problems << QStringLiteral("%1 stands outside the [ports] group and was "
                                                 "ignored")
                                      .arg(name);
            continue;
        }
        if (port == 0) {
            map.m_problems << QStringLiteral("unknown entry \"%1\" in [ports] (only COM1 to "
                                             "COM8 can be bound)")
                                  .arg(name);
            continue;
        }
        // An unquoted comma makes QSettings split the value into a list.
        const QVariant raw = settings.value(key);
        const QString value = raw.typeId() == QMetaType::QStringList
                                  ? raw.toStringList().join(QLatin1Char(','))
                                  : raw.toString();
        if (value.isEmpty()) {
            devices[port - 1] = QString();
        } else if (isDeviceName(value, syntax)) {
            devices[port - 1] = value;
        } else {
            map.m_problems << QStringLiteral("%1=%2 is not a device name; %1 %3")
                                  .arg(keyOf(port), value, describeDefault(devices.at(port - 1)));
            continue;
        }
        fromFile << keyOf(port);
    }
    map.m_table = PortTable(devices);
    map.unbindDuplicates(fromFile, syntax);
    for (const QString &problem : std::as_const(map.m_problems))
        qCWarning(lcPorts).noquote() << file << problem;
    return map;
}

// A device can stand behind one entry only, or a second entry would open the
// board already open on the first. When the file binds a device that another
// entry keeps by default, the file's entry wins; when the file binds one
// device to two entries, neither gets it.
void PortMap::unbindDuplicates(const QStringList &fromFile, Syntax syntax)
{
    std::map<QString, QList<int>> byDevice;
    for (int port = 1; port <= PortTable::kPortCount; ++port) {
        const QString device = m_table.device(port);
        if (!device.isEmpty())
            byDevice[sameDeviceKey(device, syntax)] << port;
    }
    QStringList devices = m_table.devices();
    for (const auto &[key, ports] : byDevice) {
        if (ports.size() < 2)
            continue;
        QStringList named;
        QStringList unbound;
        QList<int> configured;
        for (int port : ports) {
            named << keyOf(port);
            if (fromFile.contains(keyOf(port)))
                configured << port;
        }
        for (int port : ports) {
            if (configured.size() == 1 && configured.first() == port)
                continue;
            devices[port - 1] = QString();
            unbound << keyOf(port);
        }
        m_problems << QStringLiteral("%1 are bound to the same device %2; %3 %4 left unbound")
                          .arg(named.join(QStringLiteral(" and ")), m_table.device(ports.first()),
                               unbound.join(QStringLiteral(" and ")),
                               unbound.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"));
    }
    m_table = PortTable(devices);
}

bool PortMap::isDeviceName(const QString &value, Syntax syntax)
{
    if (syntax == Syntax::Windows) {
        static const QRegularExpression com(
            QStringLiteral("^(\\\\\\\\\\.\\\\)?COM[1-9][0-9]{0,2}$"),
            QRegularExpression::CaseInsensitiveOption);
        return com.match(value).hasMatch();
    }
    // An absolute, clean path: "ttyACM0", "COM5" or "/dev/../tty" are slips.
    for (const QChar c : value) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return false;
    }
    return value.startsWith(QLatin1Char('/')) && value.size() > 1 &&
           QDir::cleanPath(value) == value;
}

// Two names for one device: the same text (letter case aside on Windows), or
// on POSIX systems two paths that lead to the same device, such as a
// /dev/serial/by-id link and the node it points at.
QString PortMap::sameDeviceKey(const QString &device, Syntax syntax)
{
    if (syntax == Syntax::Windows) {
        QString name = device.toUpper();
        if (name.startsWith(QLatin1String("\\\\.\\")))
            name = name.mid(4);
        return name;
    }
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? device : canonical;
}
