// SPDX-License-Identifier: MIT
// The settings of a serial line, as QSerialPort takes them. A port applies
// them at its next open. The board's own settings are BoardPanel::kLineSettings.
#pragma once

#include <QSerialPort>

struct LineSettings
{
    qint32 baudRate = 9600;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QSerialPort::FlowControl flowControl = QSerialPort::NoFlowControl;

    friend bool operator==(const LineSettings &a, const LineSettings &b)
    {
        return a.baudRate == b.baudRate && a.dataBits == b.dataBits && a.parity == b.parity &&
               a.stopBits == b.stopBits && a.flowControl == b.flowControl;
    }
    friend bool operator!=(const LineSettings &a, const LineSettings &b) { return !(a == b); }
};
