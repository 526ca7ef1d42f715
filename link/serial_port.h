// SPDX-License-Identifier: MIT
// The serial port as the board link uses it: the small set of operations that
// port selection, command writing and reply assembly need, and two
// notifications: bytes arrived, and the device went away.
// Implementations: QtSerialPort (a real device through QSerialPort),
// MemorySerialPort (in memory, for tests and tools without a device) and
// TracingSerialPort (passes everything on to another port and records it).
//
// Every operation that can fail returns false and leaves its kind and a
// readable reason in failure(); callers stop at the failed step and report it.
#pragma once

#include "failure.h"
#include "line_settings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class SerialPort : public QObject
{
    Q_OBJECT

public:
    explicit SerialPort(QObject *parent = nullptr)
        : QObject(parent)
    {}
    ~SerialPort() override = default;

    // Port number for the next open: 1 to 8 are accepted whether or not the
    // device exists; 0 and anything outside 1..8 are refused.
    virtual bool setCommPort(int port) = 0;
    virtual int commPort() const = 0;

    // Line settings for the next open; refused when the port cannot use them.
    virtual bool setLineSettings(const LineSettings &settings) = 0;

    virtual bool open() = 0;
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;

    // Hands the bytes to the transmit queue, in order; does not wait for them
    // to leave the line.
    virtual bool output(const QByteArray &bytes) = 0;

    // All waiting bytes, in order of arrival, removed from the receive queue;
    // empty when none wait.
    virtual QByteArray input() = 0;

    // The last failed operation: its kind (for an open: NotFound, Unbound,
    // PermissionDenied, InUse or Other) and why, in words for the operator.
    virtual Failure failure() const = 0;

    // The device behind port number 1..8, for the operator; empty when unbound.
    virtual QString deviceName(int port) const = 0;
    // Whether that device is there now. Looks without opening it: an open
    // raises DTR, which resets some boards.
    virtual bool deviceExists(int port) const = 0;

signals:
    // Bytes have arrived and wait for input(). Nothing is said about sent
    // bytes or receive errors: the panel has no use for them.
    void bytesArrived();
    // The device of the open port went away (hung up, unplugged). The port has
    // been closed, once; `reason` names the port and what happened, and
    // failure() says the same. Opening it again works once the device is back.
    void deviceLost(const QString &reason);
};
