#include "tracing_serial_port.h"

#include "port_table.h"
#include "traffic_trace.h"

TracingSerialPort::TracingSerialPort(SerialPort &inner, TrafficTrace &trace, QObject *parent)
    : SerialPort(parent)
    , m_inner(inner)
    , m_trace(trace)
{
    connect(&m_inner, &SerialPort::bytesArrived, this, &SerialPort::bytesArrived);
    connect(&m_inner, &SerialPort::deviceLost, this, [this](const QString &reason) {
        m_trace.event(caption(), QStringLiteral("lost: %1").arg(reason));
        emit deviceLost(reason);
    });
}

bool TracingSerialPort::open()
{
    const bool opened = m_inner.open();
    m_trace.event(caption(), opened ? QStringLiteral("opened")
                                    : QStringLiteral("not opened: %1").arg(m_inner.errorText()));
    return opened;
}

bool TracingSerialPort::close()
{
    const bool closed = m_inner.close();
    m_trace.event(caption(), closed ? QStringLiteral("closed")
                                    : QStringLiteral("not closed: %1").arg(m_inner.errorText()));
    return closed;
}

bool TracingSerialPort::output(const QByteArray &bytes)
{
    const bool written = m_inner.output(bytes);
    if (written)
        m_trace.sent(caption(), bytes);
    return written;
}

QByteArray TracingSerialPort::input()
{
    const QByteArray bytes = m_inner.input();
    m_trace.received(caption(), bytes);
    return bytes;
}

QString TracingSerialPort::caption() const
{
    const int port = m_inner.commPort();
    return port >= 1 && port <= PortTable::kPortCount ? PortTable::caption(port)
                                                      : QStringLiteral("COM%1").arg(port);
}
