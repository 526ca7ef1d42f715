// The operator's port settings file: which device each entry ends up bound to,
// and which problems are named, for good files and for each kind of bad one.
#include "port_map.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using Syntax = PortMap::Syntax;

namespace {

const QStringList kPosixDefaults{"/dev/ttyS0",   "/dev/ttyS1",   "/dev/ttyS2",   "/dev/ttyS3",
                                 "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB3"};
const QStringList kWindowsDefaults{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"};

// The defaults with some entries replaced: {port, device}.
QStringList bound(const QStringList &defaults, const QList<QPair<int, QString>> &changes)
{
    QStringList devices = defaults;
    for (const auto &[port, device] : changes)
        devices[port - 1] = device;
    return devices;
}

} // namespace

class PortMapTest : public QObject
{
    Q_OBJECT

private slots:
    void fileBindsEntries_data();
    void fileBindsEntries();
};

// "%DIR%" in the content and the expectations stands for a temporary folder
// that holds a device node stand-in "node" and a link "by-id" to it.
void PortMapTest::fileBindsEntries_data()
{
    QTest::addColumn<QString>("content"); // null: no file; "<folder>": a folder in its place
    QTest::addColumn<Syntax>("syntax");
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("problems"); // a word or two of each problem, in order

    const QStringList posix = kPosixDefaults;
    QTest::newRow("no file: the defaults, no problem")
        << QString() << Syntax::Posix << posix << QStringList();
    QTest::newRow("board on /dev/ttyACM0 as COM5")
        << "[ports]\nCOM5=/dev/ttyACM0\n"
        << Syntax::Posix << bound(posix, {{5, "/dev/ttyACM0"}}) << QStringList();
    QTest::newRow("empty value leaves the entry unbound")
        << "[ports]\nCOM8=\n"
        << Syntax::Posix << bound(posix, {{8, ""}}) << QStringList();
    QTest::newRow("other groups are left alone")
        << "[window]\nCOM9=x\n[ports]\nCOM2=/dev/ttyUSB7\n"
        << Syntax::Posix << bound(posix, {{2, "/dev/ttyUSB7"}}) << QStringList();
    QTest::newRow("letter case forgiven")
        << "[Ports]\ncom5=/dev/ttyACM0\n"
        << Syntax::Posix << bound(posix, {{5, "/dev/ttyACM0"}}) << QStringList();
    QTest::newRow("entry above every group")
        << "COM5=/dev/ttyACM0\nBaud=9600\n"
        << Syntax::Posix << posix << QStringList{"COM5 stands outside the [ports] group"};
    QTest::newRow("file that cannot be read keeps every default")
        << "<folder>" << Syntax::Posix << posix << QStringList{"could not be read"};
    QTest::newRow("unknown key") << "[ports]\nCOM9=/dev/ttyUSB4\nCOM5=/dev/ttyACM0\n"
                                 << Syntax::Posix << bound(posix, {{5, "/dev/ttyACM0"}})
                                 << QStringList{"unknown entry \"COM9\""};
    QTest::newRow("relative name keeps the default")
        << "[ports]\nCOM5=ttyACM0\n"
        << Syntax::Posix << posix
        << QStringList{"COM5=ttyACM0 is not a device name; COM5 keeps /dev/ttyUSB0"};
    QTest::newRow("Windows name on Linux keeps the default")
        << "[ports]\nCOM6=COM12\n"
        << Syntax::Posix << posix << QStringList{"COM6=COM12"};
    QTest::newRow("two entries on one device: both unbound")
        << "[ports]\nCOM5=/dev/ttyACM0\nCOM6=/dev/ttyACM0\n"
        << Syntax::Posix << bound(posix, {{5, ""}, {6, ""}})
        << QStringList{"COM5 and COM6 are bound"};
    QTest::newRow("entry on another's default device: the default goes")
        << "[ports]\nCOM1=/dev/ttyUSB0\n"
        << Syntax::Posix << bound(posix, {{1, "/dev/ttyUSB0"}, {5, ""}})
        << QStringList{"COM5 is left unbound"};
    QTest::newRow("link and its node are one device")
        << "[ports]\nCOM5=%DIR%/by-id\nCOM6=%DIR%/node\n"
        << Syntax::Posix << bound(posix, {{5, ""}, {6, ""}})
        << QStringList{"COM5 and COM6 are bound"};
    QTest::newRow("each problem named once")
        << "[ports]\nCOM0=/dev/ttyUSB4\nCOM3=dev/ttyS9\nCOM4=/dev/ttyACM1\n"
        << Syntax::Posix << bound(posix, {{4, "/dev/ttyACM1"}})
        << QStringList{"unknown entry \"COM0\"", "COM3=dev/ttyS9"};
    QTest::newRow("Windows: adapter on COM12 as COM5")
        << "[ports]\nCOM5=COM12\n"
        << Syntax::Windows << bound(kWindowsDefaults, {{5, "COM12"}}) << QStringList();
    QTest::newRow("Windows: a path is no port name")
        << "[ports]\nCOM5=/dev/ttyUSB0\n"
        << Syntax::Windows << kWindowsDefaults << QStringList{"COM5=/dev/ttyUSB0"};
    QTest::newRow("Windows: letter case names the same port")
        << "[ports]\nCOM5=com2\n"
        << Syntax::Windows << bound(kWindowsDefaults, {{2, ""}, {5, "com2"}})
        << QStringList{"COM2 and COM5 are bound"};
}

void PortMapTest::fileBindsEntries()
{
    QFETCH(QString, content);
    QFETCH(Syntax, syntax);
    QFETCH(QStringList, devices);
    QFETCH(QStringList, problems);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile node(dir.filePath(QStringLiteral("node")));
    QVERIFY(node.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(node.fileName(), dir.filePath(QStringLiteral("by-id"))));
    const QString file = dir.filePath(QStringLiteral("tarnvik.conf"));
    if (content == QLatin1String("<folder>")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("tarnvik.conf")));
    } else if (!content.isNull()) {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(content.replace(QLatin1String("%DIR%"), dir.path()).toUtf8());
    }

    const PortMap map = PortMap::load(
        file, PortTable(syntax == Syntax::Posix ? kPosixDefaults : kWindowsDefaults), syntax);

    QStringList actual;
    for (int port = 1; port <= PortTable::kPortCount; ++port)
        actual << map.table().device(port);
    devices.replaceInStrings(QLatin1String("%DIR%"), dir.path());
    QCOMPARE(actual, devices);
    QCOMPARE(map.problems().size(), problems.size());
    for (int i = 0; i < problems.size(); ++i)
        QVERIFY2(map.problems().at(i).contains(problems.at(i)), qPrintable(map.problems().at(i)));
    QCOMPARE(map.file(), file);
    QCOMPARE(QFile::exists(file), !content.isNull()); // read, never written
}

QTEST_GUILESS_MAIN(PortMapTest)
#include "port_map_test.moc"
