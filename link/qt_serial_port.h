// SPDX-License-Identifier: MIT
// The serial port on a real device, through QSerialPort. Port numbers 1 to 8
// map to devices through a PortTable. Arriving data is announced with
// bytesArrived(); sent data and receive errors are logged, not announced.
//
// A device that goes away (a hung-up line, an unplugged adapter) is closed
// once, from the event loop, and reported once through deviceLost(); QSerialPort
// would otherwise repeat its read error for as long as the port stays open.
// Errors that an operation's own result reports (open, close) raise no
// notification; a failed open says which kind of failure it was, and
// deviceExists() looks for a device without opening it. On POSIX systems an
// open also takes an exclusive flock on the device and gives up when another
// program holds one.
//
// The error kinds mean different things per platform. On POSIX a read error
// is a hang-up when poll() says so. On Windows a removed device shows as a
// resource error, or as a permission error on the open port; a write error is
// a frame the driver refused after output() had accepted it (a hung-up line
// answers "not ready"), and counts as losing the device; a read error is a
// refused read after which QSerialPort stops listening, so reception is
// started again once, and the port counts as lost only if the next read is
// refused too.
#pragma once

#include "port_table.h"
#include "serial_port.h"

#include <QSerialPort>

class QtSerialPort : public SerialPort
{
    Q_OBJECT

public:
    explicit QtSerialPort(const PortTable &table, QObject *parent = nullptr);
    ~QtSerialPort() override;

    bool setCommPort(int port) override;
    int commPort() const override { return m_port; }
    bool setLineSettings(const LineSettings &settings) override;
    bool open() override;
    bool close() override;
    bool isOpen() const override;
    bool output(const QByteArray &bytes) override;
    QByteArray input() override;
    Failure failure() const override { return m_failure; }
    QString deviceName(int port) const override { return m_table.device(port); }
    bool deviceExists(int port) const override;

private:
    void onReadyRead();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    bool fail(const QString &reason, Failure::Kind kind = Failure::Kind::Other);
    bool failOpen(Failure::Kind kind, const QString &systemReason);
    Failure::Kind kindOf(QSerialPort::SerialPortError error, const QString &device) const;
    bool lockDevice();
    bool deviceHungUp() const;
    void resumeReading();
    void loseDevice(const QString &what);
    void closeLostDevice(quint64 openCount, const QString &reason);
    QString describePort() const;

    PortTable m_table;
    QSerialPort m_serial;
    LineSettings m_settings;
    int m_port = 1;
    Failure m_failure;
    // Counts successful opens, so a loss noticed on one open never closes a later one.
    quint64 m_openCount = 0;
    bool m_lossPending = false;
    // A read was refused (Windows) and no data has come in since.
    bool m_readRefusedSinceData = false;
};
