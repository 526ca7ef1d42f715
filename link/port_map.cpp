// SPDX-License-Identifier: MIT
#include "port_map.h"

#include "plain_file_check.h"
#include "port_log.h"
#include "tarnvik_version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shlobj.h>
#endif

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

// The port number 1..8 of an entry name "COM1".."COM8" in any letter case; 0 for others.
int portOf(const QString &name)
{
    for (int port = 1; port <= PortTable::kPortCount; ++port) {
        if (name.compare(keyOf(port), Qt::CaseInsensitive) == 0)
            return port;
    }
    return 0;
}

// Why bytes are no settings text, or empty when they are UTF-8 text. UTF-16
// is told by its byte order mark or by the zero high bytes of its ASCII.
QString notTextReason(const QByteArray &bytes)
{
    const qsizetype nuls = bytes.count('\0');
    if (!bytes.isEmpty() && nuls == bytes.size())
        return QStringLiteral("it holds nothing but NUL bytes");
    qsizetype evenNuls = 0;
    for (qsizetype i = 0; i < bytes.size(); i += 2)
        evenNuls += bytes.at(i) == '\0' ? 1 : 0;
    const qsizetype pairs = bytes.size() / 2;
    const bool halfZero = pairs >= 2 && (evenNuls * 2 > pairs || (nuls - evenNuls) * 2 > pairs);
    if (bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff") || halfZero)
        return QStringLiteral("it is UTF-16 text; save it as UTF-8");
    if (nuls > 0)
        return QStringLiteral("it holds NUL bytes");
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(bytes);
    if (utf8.hasError())
        return QStringLiteral("it is not UTF-8 text");
    return QString();
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

// The path QSettings gives the program's INI file for the user, found
// without making a QSettings object, which would open the file (and wait
// for ever on a FIFO in its place): $XDG_CONFIG_HOME or ~/.config as Qt
// takes them on Linux, the roaming application data folder on Windows.
QString PortMap::standardFile()
{
#ifdef Q_OS_WIN
    QString folder;
    PWSTR path = nullptr;
    if (SUCCEEDED(
            ::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DONT_VERIFY, nullptr, &path)))
        folder = QDir::fromNativeSeparators(QString::fromWCharArray(path));
    ::CoTaskMemFree(path);
    if (folder.isEmpty())
        folder = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA"));
    const QString ending = QStringLiteral(".ini");
#else
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString ending = QStringLiteral(".conf");
#endif
    return QStringLiteral("%1/%2/%3%4")
        .arg(folder, QStringLiteral(TARNVIK_COMPANY), QStringLiteral(TARNVIK_TITLE), ending);
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
    map.m_table = defaults;

    std::optional<QString> text;
    const QString unusable = readText(file, text);
    if (!unusable.isEmpty()) {
        map.m_problems << QStringLiteral("%1; every entry keeps its default").arg(unusable);
    } else if (text) {
        const QSettings settings(file, QSettings::IniFormat);
        const RawEntries raw = scanText(*text);
        if (settings.status() != QSettings::NoError) {
            map.m_problems << QStringLiteral("the file is not a readable settings file (%1); "
                                             "every entry keeps its default")
                                  .arg(raw.brokenLine.isEmpty() ? QStringLiteral("format error")
                                                                : raw.brokenLine);
        } else {
            map.bindEntries(settings, raw, syntax);
        }
    }
    for (const QString &problem : std::as_const(map.m_problems))
        qCWarning(lcPorts).noquote() << file << problem;
    return map;
}

// The file's text; none when there is no file. Only a plain file is opened,
// so a FIFO or a device can never hold up the start. The return value says
// why the file cannot be used; empty when it can.
QString PortMap::readText(const QString &file, std::optional<QString> &text)
{
    const PlainFileCheck check(file);
    if (check.kind() == PlainFileCheck::Kind::Missing)
        return QString();
    if (!check.isPlain())
        return QStringLiteral("the file could not be read (%1)").arg(check.reason());
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("the file could not be read (%1)").arg(in.errorString());
    const QByteArray bytes = in.read(kMaxFileSize + 1);
    if (bytes.size() > kMaxFileSize)
        return QStringLiteral("the file is too large for a settings file (over %1 bytes)")
            .arg(kMaxFileSize);
    const QString notText = notTextReason(bytes);
    if (!notText.isEmpty())
        return QStringLiteral("the file is not a settings text (%1)").arg(notText);
    text = QString::fromUtf8(bytes);
    return QString();
}

void PortMap::bindEntries(const QSettings &settings, const RawEntries &raw, Syntax syntax)
{
    QStringList devices = m_table.devices();
    QStringList fromFile; // keys the file bound, in the order of the entries
    const QString prefix = kGroup + QLatin1Char('/');
    for (const QString &key : settings.allKeys()) {
        // Letter case is forgiven, as on Windows. Other groups belong to other
        // parts of the program, but an entry name above every group is a
        // forgotten [ports] line.
        const bool inGroup = key.startsWith(prefix, Qt::CaseInsensitive);
        const QString name = inGroup ? key.mid(prefix.size()) : key;
        const int port = portOf(name);
        if (!inGroup) {
            if (port != 0)
                m_problems << QStringLiteral("%1 stands outside the [ports] group and was "
                                             "ignored")
                                  .arg(name);
        } else if (port == 0) {
            m_problems << QStringLiteral("unknown entry \"%1\" in [ports] (only COM1 to "
                                         "COM8 can be bound)")
                              .arg(name);
        } else if (bindEntry(port, valueOf(settings.value(key), raw.values.value(port), syntax),
                             devices, syntax)) {
            fromFile << keyOf(port);
        }
    }
    for (int port = 1; port <= PortTable::kPortCount; ++port) {
        if (raw.count.value(port) > 1 && fromFile.contains(keyOf(port)))
            m_problems << QStringLiteral("%1 is given more than once in [ports]; the last one "
                                         "counts: %1=%2")
                              .arg(keyOf(port), devices.at(port - 1));
    }
    m_table = PortTable(devices);
    unbindDuplicates(fromFile, syntax);
}

// True when the file's value decides the entry: a device, or empty (unbound).
bool PortMap::bindEntry(int port, const QString &value, QStringList &devices, Syntax syntax)
{
    if (value.isEmpty()) {
        devices[port - 1] = QString();
    } else if (isDeviceName(value, syntax)) {
        devices[port - 1] = value;
    } else {
        m_problems << QStringLiteral("%1=%2 is not a device name; %1 %3")
                          .arg(keyOf(port), value, describeDefault(devices.at(port - 1)));
        return false;
    }
    return true;
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

// The file's [ports] lines as written: how often each entry is given and its
// last value, and the first line that has no settings file's form.
PortMap::RawEntries PortMap::scanText(const QString &text)
{
    RawEntries raw;
    bool inGroup = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            if (close < 0 && raw.brokenLine.isEmpty())
                raw.brokenLine =
                    QStringLiteral("line %1 \"%2\" has no closing ]").arg(i + 1).arg(line);
            inGroup = line.mid(1, close - 1).trimmed().compare(kGroup, Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const int port = equals > 0 && inGroup ? portOf(line.left(equals).trimmed()) : 0;
        if (port == 0)
            continue;
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
            value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        raw.values.insert(port, value);
        raw.count[port] += 1;
    }
    return raw;
}

// The value QSettings read, or the value as written where only that one is a
// device name: a backslash starts an escape for QSettings, so "\\.\COM12" as
// Windows spells it would lose its backslashes.
QString PortMap::valueOf(const QVariant &read, const QString &written, Syntax syntax)
{
    // An unquoted comma makes QSettings split the value into a list.
    const QString value = read.typeId() == QMetaType::QStringList
                              ? read.toStringList().join(QLatin1Char(','))
                              : read.toString();
    if (!isDeviceName(value, syntax) && isDeviceName(written, syntax))
        return written;
    return value;
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
