// SPDX-License-Identifier: MIT
#include "tracing_serial_port.h"

#include "port_table.h"
#include "traffic_recorder.h"

TracingSerialPort::TracingSerialPort(SerialPort &inner, TrafficRecorder &recorder, QObject *parent)
    : SerialPort(parent)
    , m_inner(inner)
    , m_recorder(recorder)
{
    connect(&m_inner, &SerialPort::bytesArrived, this, &SerialPort::bytesArrived);
    connect(&m_inner, &SerialPort::deviceLost, this, [this](const QString &reason) {
        m_recorder.event(caption(), QStringLiteral("lost: %1").arg(reason));
        emit deviceLost(reason);
    });
}

bool TracingSerialPort::open()
{
    const bool opened = m_inner.open();
    m_recorder.event(caption(), opened
                                    ? QStringLiteral("opened")
                                    : QStringLiteral("not opened: %1").arg(m_inner.failure().text));
    return opened;
}

bool TracingSerialPort::close()
{
    const bool closed = m_inner.close();
    m_recorder.event(caption(), closed
                                    ? QStringLiteral("closed")
                                    : QStringLiteral("not closed: %1").arg(m_inner.failure().text));
    return closed;
}

bool TracingSerialPort::output(const QByteArray &bytes)
{
    const bool written = m_inner.output(bytes);
    if (written)
        m_recorder.sent(caption(), bytes);
    return written;
}

QByteArray TracingSerialPort::input()
{
    const QByteArray bytes = m_inner.input();
    m_recorder.received(caption(), bytes);
    return bytes;
}

QString TracingSerialPort::caption() const
{
    return PortTable::caption(m_inner.commPort());
}
