// The operator's binding of the port entries "COM1" to "COM8" to devices: the
// [ports] group of the program's settings file (INI text, organisation
// "Velsorin", application "tarnvik"; ~/.config/Velsorin/tarnvik.conf on Linux,
// %APPDATA%\Velsorin\tarnvik.ini on Windows) laid over a table of defaults.
//
//   [ports]
//   COM5=/dev/ttyACM0
//   COM8=
//
// binds COM5 to /dev/ttyACM0 and leaves COM8 unbound (its entry stays disabled).
//
// An entry the file does not name keeps its default. The file is only read,
// never written. Bad content never stops the program: each problem is named
// once in problems() and the entries it touches keep their defaults (an
// unreadable file, a value that is no device name) or stay unbound (two
// entries on the same device). The result is a PortTable for QtSerialPort.
#pragma once

#include "port_table.h"

#include <QString>
#include <QStringList>

class PortMap
{
public:
    // How device names look: paths on POSIX systems, "COMnn" on Windows.
    enum class Syntax { Posix, Windows };
    static Syntax hostSyntax();

    // The settings file in the platform's standard place, whether or not it exists.
    static QString standardFile();
    // The standard file over the platform's table.
    static PortMap load();
    // `file` over `defaults`; a file that does not exist leaves the defaults
    // as they are and is no problem.
    static PortMap load(const QString &file, const PortTable &defaults,
                        Syntax syntax = hostSyntax());

    // No file: an empty table and no problems.
    PortMap();

    const PortTable &table() const { return m_table; }
    QString file() const { return m_file; }
    // One line per problem, in words for the operator; empty when all is well.
    QStringList problems() const { return m_problems; }

private:
    static bool isDeviceName(const QString &value, Syntax syntax);
    static QString sameDeviceKey(const QString &device, Syntax syntax);
    void unbindDuplicates(const QStringList &fromFile, Syntax syntax);

    PortTable m_table;
    QString m_file;
    QStringList m_problems;
};
