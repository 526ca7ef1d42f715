// SPDX-License-Identifier: MIT
// Which device stands behind each of the port numbers 1 to 8 ("COM1" to "COM8").
// The table is handed to the serial port. system() gives the platform's
// defaults, over which the program lays the operator's port settings file
// (PortMap). Tests and the demo build their own tables that point at
// pseudo-terminals or at nothing.
#pragma once

#include <QString>
#include <QStringList>

class PortTable
{
public:
    static constexpr int kPortCount = 8;

    // The platform's table: on Linux COM1..COM4 are /dev/ttyS0..3 and COM5..COM8
    // /dev/ttyUSB0..3; on Windows they are COM1..COM8.
    static PortTable system();

    // A table of up to eight device paths; missing entries stand for nothing.
    explicit PortTable(const QStringList &devices);

    // Device for port number 1..8; empty for numbers out of range or unbound.
    QString device(int port) const;
    // The devices of port numbers 1..8 in order, unbound ones empty.
    QStringList devices() const;
    // Menu caption of port number 1..8: "COM1" .. "COM8".
    static QString caption(int port);

private:
    QStringList m_devices;
};
