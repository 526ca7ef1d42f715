// The operator's port settings file: the device each entry ends up bound to
// and the problems named, for good files and each kind of bad one.
#include "port_map.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using Syntax = PortMap::Syntax;

class PortMapTest : public QObject
{
    Q_OBJECT

private slots:
    void fileBindsEntries_data();
    void fileBindsEntries();
};

// "%DIR%" stands for a temporary folder holding a file "node" and a link
// "by-id" to it. `changed` lists the entries that differ from the defaults.
void PortMapTest::fileBindsEntries_data()
{
    QTest::addColumn<QString>("content"); // null: no file; "<folder>": a folder in its place
    QTest::addColumn<Syntax>("syntax");
    QTest::addColumn<QStringList>("changed");  // "COMn=device"
    QTest::addColumn<QStringList>("problems"); // part of each problem, in order

    const QStringList none;
    QTest::newRow("no file: the defaults") << QString() << Syntax::Posix << none << none;
    QTest::newRow("board on /dev/ttyACM0 as COM5")
        << "[ports]\nCOM5=/dev/ttyACM0\n"
        << Syntax::Posix << QStringList{"COM5=/dev/ttyACM0"} << none;
    QTest::newRow("empty value unbinds; other groups and letter case")
        << "[Ports]\ncom8=\n[window]\nCOM2=x\n"
        << Syntax::Posix << QStringList{"COM8="} << none;
    QTest::newRow("file that cannot be read")
        << "<folder>" << Syntax::Posix << none << QStringList{"could not be read"};
    QTest::newRow("unknown key") << "[ports]\nCOM9=/dev/ttyUSB4\n"
                                 << Syntax::Posix << none << QStringList{"unknown entry \"COM9\""};
    QTest::newRow("entry above every group")
        << "COM5=/dev/ttyACM0\n"
        << Syntax::Posix << none << QStringList{"COM5 stands outside the [ports]"};
    QTest::newRow("relative name keeps the default")
        << "[ports]\nCOM5=ttyACM0\nCOM6=COM12\n"
        << Syntax::Posix << none
        << QStringList{"COM5=ttyACM0 is not a device name; COM5 keeps /dev/ttyUSB0", "COM6=COM12"};
    QTest::newRow("two entries on one device") << "[ports]\nCOM5=/dev/ttyACM0\nCOM6=/dev/ttyACM0\n"
                                               << Syntax::Posix << QStringList{"COM5=", "COM6="}
                                               << QStringList{"COM5 and COM6 are left unbound"};
    QTest::newRow("entry on another's default device")
        << "[ports]\nCOM1=/dev/ttyUSB0\n"
        << Syntax::Posix << QStringList{"COM1=/dev/ttyUSB0", "COM5="}
        << QStringList{"COM5 is left unbound"};
#ifndef Q_OS_WIN // a link there is a shortcut file, not a second path to the device
    QTest::newRow("link and its node are one device")
        << "[ports]\nCOM5=%DIR%/by-id\nCOM6=%DIR%/node\n"
        << Syntax::Posix << QStringList{"COM5=", "COM6="}
        << QStringList{"COM5 and COM6 are left unbound"};
#endif
    QTest::newRow("Windows: adapter on COM12 as COM5")
        << "[ports]\nCOM5=COM12\nCOM6=/dev/ttyUSB1\n"
        << Syntax::Windows << QStringList{"COM5=COM12"}
        << QStringList{"COM6=/dev/ttyUSB1 is not a device name"};
}

void PortMapTest::fileBindsEntries()
{
    QFETCH(QString, content);
    QFETCH(Syntax, syntax);
    QFETCH(QStringList, changed);
    QFETCH(QStringList, problems);

    QTemporaryDir dir;
    QFile node(dir.filePath(QStringLiteral("node")));
    QVERIFY(node.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(node.fileName(), dir.filePath(QStringLiteral("by-id"))));
    const QString file = dir.filePath(QStringLiteral("tarnvik.conf"));
    QFile out(file);
    if (content == QLatin1String("<folder>"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("tarnvik.conf")));
    else if (!content.isNull())
        QVERIFY(out.open(QIODevice::WriteOnly) &&
                out.write(content.replace("%DIR%", dir.path()).toUtf8()) > 0);
    out.close();

    QStringList devices;
    for (int port = 1; port <= 8; ++port)
        devices << (syntax == Syntax::Windows ? QStringLiteral("COM%1").arg(port)
                    : port <= 4               ? QStringLiteral("/dev/ttyS%1").arg(port - 1)
                                              : QStringLiteral("/dev/ttyUSB%1").arg(port - 5));
    const PortMap map = PortMap::load(file, PortTable(devices), syntax);

    for (const QString &change : changed.replaceInStrings("%DIR%", dir.path()))
        devices[change.mid(3, 1).toInt() - 1] = change.section(QLatin1Char('='), 1);
    for (int port = 1; port <= 8; ++port)
        QCOMPARE(map.table().device(port), devices.at(port - 1));
    QCOMPARE(map.problems().size(), problems.size());
    for (int i = 0; i < problems.size(); ++i)
        QVERIFY2(map.problems().at(i).contains(problems.at(i)), qPrintable(map.problems().at(i)));
    QCOMPARE(QFile::exists(file), !content.isNull()); // read, never written
}

QTEST_GUILESS_MAIN(PortMapTest)
#include "port_map_test.moc"
