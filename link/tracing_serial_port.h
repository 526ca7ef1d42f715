// SPDX-License-Identifier: MIT
// A SerialPort that forwards every operation to another one and hands what
// passes to a TrafficRecorder: the bytes written, the bytes read, and
// opening, closing and losing the port. The panel logic runs on it unchanged;
// a session always puts it between the panel and the real port. Both the
// wrapped port and the recorder must outlive it.
#pragma once

#include "serial_port.h"

class TrafficRecorder;

class TracingSerialPort : public SerialPort
{
    Q_OBJECT

public:
    TracingSerialPort(SerialPort &inner, TrafficRecorder &recorder, QObject *parent = nullptr);

    bool setCommPort(int port) override { return m_inner.setCommPort(port); }
    int commPort() const override { return m_inner.commPort(); }
    bool setLineSettings(const LineSettings &settings) override
    {
        return m_inner.setLineSettings(settings);
    }

    bool open() override;
    bool close() override;
    bool isOpen() const override { return m_inner.isOpen(); }
    bool output(const QByteArray &bytes) override;
    QByteArray input() override;
    Failure failure() const override { return m_inner.failure(); }
    QString deviceName(int port) const override { return m_inner.deviceName(port); }
    bool deviceExists(int port) const override { return m_inner.deviceExists(port); }

private:
    QString caption() const;

    SerialPort &m_inner;
    TrafficRecorder &m_recorder;
};
