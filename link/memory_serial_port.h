// SPDX-License-Identifier: MIT
// A serial port in memory, for tests and for tools that run without a device.
// It records every operation and every byte written, can refuse to open chosen
// port numbers with a chosen kind of failure (by default: not present), can
// fail writes, lets the caller deliver bytes with or without announcing
// their arrival, and can lose the device of the open port as an unplugged
// adapter does.
#pragma once

#include "serial_port.h"

#include <QHash>
#include <QSet>
#include <QStringList>

class MemorySerialPort : public SerialPort
{
    Q_OBJECT

public:
    explicit MemorySerialPort(QObject *parent = nullptr);

    // Control by the test.
    void setOpenable(int port, bool openable);
    void setOnlyOpenable(const QSet<int> &ports);
    // Opening `port` fails with this kind, as a real device would report it;
    // None lets it open. Ports refused as not present or unbound do not exist.
    void refuseOpen(int port, Failure::Kind kind);
    // The next `count` single writes succeed, every one after that fails;
    // a negative count lets every write succeed.
    void failWritesAfter(int count);
    // Bytes arrive in the receive queue and their arrival is announced.
    void deliver(const QByteArray &bytes);
    // Bytes arrive in the receive queue without an announcement.
    void queue(const QByteArray &bytes);
    // The open port's device goes away: the port closes, the device no longer
    // exists (setOpenable(port, true) plugs it in again) and the loss is
    // announced. Nothing happens while no port is open.
    void loseDevice();
    // Announces an arrival, whatever is waiting.
    void announceArrival() { emit bytesArrived(); }
    // Bytes in the receive queue, not yet taken by input().
    int waitingBytes() const { return int(m_receiveQueue.size()); }

    // What happened, for the test to check.
    QByteArray written() const { return m_written; }
    QByteArray writtenTo(int port) const { return m_writtenByPort.value(port); }
    void clearWritten();
    QStringList operations() const { return m_operations; }
    void clearOperations() { m_operations.clear(); }
    int outputCalls() const { return m_outputCalls; }

    bool setCommPort(int port) override;
    int commPort() const override { return m_port; }
    bool setLineSettings(const LineSettings &settings) override;
    bool open() override;
    bool close() override;
    bool isOpen() const override { return m_open; }
    bool output(const QByteArray &bytes) override;
    QByteArray input() override;
    Failure failure() const override { return m_failure; }
    QString deviceName(int port) const override;
    bool deviceExists(int port) const override;

private:
    bool fail(const QString &reason, Failure::Kind kind);

    QHash<int, Failure::Kind> m_refused;
    int m_port = 1;
    bool m_open = false;
    int m_writesLeft = -1;
    int m_outputCalls = 0;
    QByteArray m_receiveQueue;
    QByteArray m_written;
    QHash<int, QByteArray> m_writtenByPort;
    QStringList m_operations;
    Failure m_failure;
};
