// The serial port as the board link uses it: the small set of operations that
// port selection, command writing and reply assembly need, and one notification.
// Implementations: QtSerialPort (a real device through QSerialPort) and
// MemorySerialPort (in memory, for tests and tools without a device).
//
// Every operation that can fail returns false and leaves a readable reason in
// errorText(); callers stop at the failed step and report it. A failed open
// also says what kind of failure it was (openFailure()).
#pragma once

#include "open_failure.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class SerialPort : public QObject
{
    Q_OBJECT

public:
    // Kinds of event that commEvent() reports while a notification is handled.
    enum EventKind : int {
        NoEvent = 0,
        SendEvent = 1,    // the transmit queue fell below the send threshold
        ReceiveEvent = 2, // data is waiting to be read
        LineEvent = 3,    // a modem line changed
        ErrorEvent = 1000 // a receive error (overrun, parity, framing, break)
    };
    // Losing the device is not an event kind: it comes as deviceLost().

    explicit SerialPort(QObject *parent = nullptr)
        : QObject(parent)
    {}
    ~SerialPort() override = default;

    // Port number for the next open: 1 to 8 are accepted whether or not the
    // device exists; 0 and anything outside 1..8 are refused.
    virtual bool setCommPort(int port) = 0;
    virtual int commPort() const = 0;

    // Line settings such as "4800,n,8,1", applied by the next open.
    virtual bool setSettings(const QString &settings) = 0;
    virtual bool setInputMode(int mode) = 0;
    virtual bool setRThreshold(int bytes) = 0;
    virtual bool setSThreshold(int bytes) = 0;
    virtual bool setOutBufferSize(int bytes) = 0;
    virtual bool setInBufferSize(int bytes) = 0;

    virtual bool open() = 0;
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;

    // Hands the bytes to the transmit queue, in order; does not wait for them
    // to leave the line.
    virtual bool output(const QByteArray &bytes) = 0;

    // The kind of event being reported; valid while commNotified() is handled.
    virtual int commEvent() const = 0;
    virtual int inBufferCount() const = 0;
    // All waiting bytes, in order of arrival, removed from the receive queue.
    virtual QByteArray input() = 0;

    // Why the last failed operation failed, in words for the operator.
    virtual QString errorText() const = 0;
    // The kind of the last failed open; None once an open has worked.
    virtual OpenFailure openFailure() const = 0;

    // The device behind port number 1..8, for the operator; empty when unbound.
    virtual QString deviceName(int port) const = 0;
    // Whether that device is there now. Looks without opening it: an open
    // raises DTR, which resets some boards.
    virtual bool deviceExists(int port) const = 0;

signals:
    // The port reports an event; commEvent() tells which.
    void commNotified();
    // The device of the open port went away (hung up, unplugged). The port has
    // been closed, once; `reason` names the port and what happened, and
    // errorText() says the same. Opening it again works once the device is back.
    void deviceLost(const QString &reason);
};
