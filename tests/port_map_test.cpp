// SPDX-License-Identifier: MIT
// The operator's port settings file: the device each entry ends up bound to
// and the problems named, for good files and each kind of bad one.
#include "port_map.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using Syntax = PortMap::Syntax;

namespace {

bool placeFile(const QString &file, const QString &content)
{
    const QDir dir = QFileInfo(file).dir();
    if (content == QLatin1String("<folder>"))
        return dir.mkdir(QFileInfo(file).fileName());
#ifdef Q_OS_UNIX
    if (content == QLatin1String("<fifo>"))
        return ::mkfifo(QFile::encodeName(file).constData(), 0600) == 0;
#endif
    if (content == QLatin1String("<loop>"))
        return QFile::link(file, file);
    if (content == QLatin1String("<dangling>"))
        return QFile::link(dir.filePath(QStringLiteral("nowhere")), file);
    if (content.isNull())
        return true;
    QByteArray bytes = content.toUtf8();
    if (content == QLatin1String("<binary>"))
        bytes = QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x01\0", 20);
    else if (content == QLatin1String("<nuls>"))
        bytes = QByteArray(64, '\0');
    else if (content.startsWith(QLatin1String("<utf16>")))
        bytes =
            QByteArray("\xff\xfe") + QByteArray(reinterpret_cast<const char *>(content.utf16() + 7),
                                                (content.size() - 7) * 2);
    else if (content.startsWith(QLatin1String("<latin1>")))
        bytes = content.mid(8).toLatin1();
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

} // namespace

class PortMapTest : public QObject
{
    Q_OBJECT

private slots:
    void fileBindsEntries_data();
    void fileBindsEntries();
#ifdef Q_OS_UNIX
    void standardFileIsNamedWithoutOpeningIt_data();
    void standardFileIsNamedWithoutOpeningIt();
#endif
};

// "%DIR%" stands for a temporary folder holding a file "node" and a link
// "by-id" to it. `changed` lists the entries that differ from the defaults.
// Content in angle brackets puts something else in the file's place: a
// folder, a FIFO nobody writes, a link that loops or leads nowhere, bytes of a
// picture, NULs, or the text after the marker as UTF-16 or Latin-1.
void PortMapTest::fileBindsEntries_data()
{
    QTest::addColumn<QString>("content"); // null: no file
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
    QTest::newRow("a picture's bytes")
        << "<binary>" << Syntax::Posix << none << QStringList{"not a settings text (it holds NUL"};
    QTest::newRow("nothing but NULs")
        << "<nuls>" << Syntax::Posix << none << QStringList{"nothing but NUL bytes"};
    QTest::newRow("UTF-16 text") << "<utf16>[ports]\nCOM5=/dev/ttyACM0\n"
                                 << Syntax::Posix << none
                                 << QStringList{"it is UTF-16 text; save it as UTF-8"};
    QTest::newRow("Latin-1 text") << "<latin1>[ports]\nCOM5=/dev/tty\u00e4\n"
                                  << Syntax::Posix << none << QStringList{"it is not UTF-8 text"};
    QTest::newRow("a group without its closing bracket")
        << "[ports\nCOM5=/dev/ttyACM0\n"
        << Syntax::Posix << none << QStringList{"line 1 \"[ports\" has no closing ]"};
    QTest::newRow("an entry given twice: named, the last line counts")
        << "[ports]\nCOM5=/dev/ttyACM0\ncom5=/dev/ttyACM1\n"
        << Syntax::Posix << QStringList{"COM5=/dev/ttyACM1"}
        << QStringList{"COM5 is given more than once in [ports]; the last one counts: "
                       "COM5=/dev/ttyACM1"};
    QTest::newRow("a value with a comma stays whole")
        << "[ports]\nCOM5=/dev/serial/by-id/usb-Board,_Rev_2-if00\n"
        << Syntax::Posix << QStringList{"COM5=/dev/serial/by-id/usb-Board,_Rev_2-if00"} << none;
    QTest::newRow("a path through .. is a slip")
        << "[ports]\nCOM5=/dev/../dev/ttyACM0\n"
        << Syntax::Posix << none
        << QStringList{"COM5=/dev/../dev/ttyACM0 is not a device name; COM5 keeps /dev/ttyUSB0"};
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
    QTest::newRow("a FIFO in the file's place")
        << "<fifo>" << Syntax::Posix << none << QStringList{"could not be read (it is a FIFO"};
    QTest::newRow("a link that loops")
        << "<loop>" << Syntax::Posix << none << QStringList{"a symbolic link that loops"};
    QTest::newRow("a link to nothing")
        << "<dangling>" << Syntax::Posix << none << QStringList{"a symbolic link to nothing"};
#endif
    QTest::newRow("Windows: adapter on COM12 as COM5")
        << "[ports]\nCOM5=COM12\nCOM6=/dev/ttyUSB1\n"
        << Syntax::Windows << QStringList{"COM5=COM12"}
        << QStringList{"COM6=/dev/ttyUSB1 is not a device name"};
    QTest::newRow("Windows: the \\\\.\\COMn form as Windows spells it or escaped")
        << "[ports]\nCOM5=\\\\.\\COM12\nCOM6=\\\\\\\\.\\\\COM13\n"
        << Syntax::Windows << QStringList{"COM5=\\\\.\\COM12", "COM6=\\\\.\\COM13"} << none;
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
    QVERIFY(placeFile(file, content.replace("%DIR%", dir.path())));

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
    // Read, never written.
    QCOMPARE(QFileInfo(file).isSymLink() || QFile::exists(file), !content.isNull());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("nowhere"))));
}

#ifdef Q_OS_UNIX
void PortMapTest::standardFileIsNamedWithoutOpeningIt_data()
{
    QTest::addColumn<QString>("configHome"); // XDG_CONFIG_HOME under the home; null: unset
    QTest::addColumn<QString>("file");       // the file expected, under the home
    QTest::newRow("XDG_CONFIG_HOME moves it") << "settings"
                                              << "settings/Velsorin/tarnvik.conf";
    QTest::newRow("without XDG_CONFIG_HOME in ~/.config")
        << QString() << ".config/Velsorin/tarnvik.conf";
}

// A FIFO nobody writes to stands in the file's place: naming the file must
// not open it. Should it, the FIFO gets a writer after a while, so the test
// fails instead of waiting for ever.
void PortMapTest::standardFileIsNamedWithoutOpeningIt()
{
    QFETCH(QString, configHome);
    QFETCH(QString, file);
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const bool hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", oldHome);
        hadConfig ? qputenv("XDG_CONFIG_HOME", oldConfig) : qunsetenv("XDG_CONFIG_HOME");
    });
    qputenv("HOME", QFile::encodeName(home.path()));
    if (configHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(configHome)));
    const QString expected = home.filePath(file);
    QVERIFY(QDir().mkpath(QFileInfo(expected).path()));
    QCOMPARE(::mkfifo(QFile::encodeName(expected).constData(), 0600), 0);

    QString named;
    QThread *asking = QThread::create([&named] { named = PortMap::standardFile(); });
    asking->start();
    const bool answered = asking->wait(3000);
    if (!answered) { // let the open that waits for a writer go on
        const int writer = ::open(QFile::encodeName(expected).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        asking->wait();
    }
    delete asking;
    QVERIFY2(answered, "naming the settings file opened it");
    QCOMPARE(named, expected);
}
#endif

QTEST_GUILESS_MAIN(PortMapTest)
#include "port_map_test.moc"
