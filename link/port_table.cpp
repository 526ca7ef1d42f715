// SPDX-License-Identifier: MIT
#include "port_table.h"

#include <QtGlobal>

PortTable PortTable::system()
{
#ifdef Q_OS_WIN
    return PortTable({"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"});
#else
    return PortTable({"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3", "/dev/ttyUSB0",
                      "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB3"});
#endif
}

PortTable::PortTable(const QStringList &devices)
    : m_devices(devices.mid(0, kPortCount))
{}

QString PortTable::device(int port) const
{
    if (port < 1 || port > m_devices.size())
        return {};
    return m_devices.at(port - 1);
}

QStringList PortTable::devices() const
{
    QStringList all;
    for (int port = 1; port <= kPortCount; ++port)
        all << device(port);
    return all;
}

QString PortTable::caption(int port)
{
    return QStringLiteral("COM%1").arg(port);
}
