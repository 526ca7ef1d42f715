#include "memory_serial_port.h"

#include "port_table.h"

MemorySerialPort::MemorySerialPort(QObject *parent)
    : SerialPort(parent)
{}

void MemorySerialPort::setOpenable(int port, bool openable)
{
    refuseOpen(port, openable ? OpenFailure::None : OpenFailure::NotPresent);
}

void MemorySerialPort::setOnlyOpenable(const QSet<int> &ports)
{
    m_refused.clear();
    for (int port = 1; port <= PortTable::kPortCount; ++port) {
        if (!ports.contains(port))
            m_refused.insert(port, OpenFailure::NotPresent);
    }
}

void MemorySerialPort::refuseOpen(int port, OpenFailure kind)
{
    if (kind == OpenFailure::None)
        m_refused.remove(port);
    else
        m_refused.insert(port, kind);
}

QString MemorySerialPort::deviceName(int port) const
{
    return QStringLiteral("memory port %1").arg(port);
}

bool MemorySerialPort::deviceExists(int port) const
{
    const OpenFailure kind = m_refused.value(port, OpenFailure::None);
    return kind != OpenFailure::NotPresent && kind != OpenFailure::Unbound;
}

void MemorySerialPort::failWritesAfter(int count)
{
    m_writesLeft = count;
}

void MemorySerialPort::deliver(const QByteArray &bytes)
{
    m_receiveQueue.append(bytes);
    notify(ReceiveEvent);
}

void MemorySerialPort::queue(const QByteArray &bytes)
{
    m_receiveQueue.append(bytes);
}

void MemorySerialPort::notify(int eventKind)
{
    m_event = eventKind;
    emit commNotified();
    m_event = NoEvent;
}

void MemorySerialPort::clearWritten()
{
    m_written.clear();
    m_writtenByPort.clear();
}

bool MemorySerialPort::setCommPort(int port)
{
    m_operations << QStringLiteral("commPort %1").arg(port);
    if (port < 1 || port > PortTable::kPortCount)
        return fail(QStringLiteral("Invalid port number %1").arg(port));
    if (m_open)
        return fail(QStringLiteral("Port is already open"));
    m_port = port;
    return true;
}

bool MemorySerialPort::setSettings(const QString &settings)
{
    m_operations << QStringLiteral("settings %1").arg(settings);
    return true;
}

bool MemorySerialPort::setInputMode(int mode)
{
    m_operations << QStringLiteral("inputMode %1").arg(mode);
    return true;
}

bool MemorySerialPort::setRThreshold(int bytes)
{
    m_operations << QStringLiteral("rThreshold %1").arg(bytes);
    return true;
}

bool MemorySerialPort::setSThreshold(int bytes)
{
    m_operations << QStringLiteral("sThreshold %1").arg(bytes);
    return true;
}

bool MemorySerialPort::setOutBufferSize(int bytes)
{
    m_operations << QStringLiteral("outBufferSize %1").arg(bytes);
    return true;
}

bool MemorySerialPort::setInBufferSize(int bytes)
{
    m_operations << QStringLiteral("inBufferSize %1").arg(bytes);
    return true;
}

bool MemorySerialPort::open()
{
    m_operations << QStringLiteral("open %1").arg(m_port);
    if (m_open)
        return fail(QStringLiteral("Port is already open"));
    if (m_refused.contains(m_port)) {
        m_openFailure = m_refused.value(m_port);
        return fail(QStringLiteral("%1 could not be opened: %2")
                        .arg(PortTable::caption(m_port),
                             OpenFailureText::reason(m_openFailure,
                                                     QStringLiteral("refused by the test"))));
    }
    m_openFailure = OpenFailure::None;
    m_open = true;
    return true;
}

bool MemorySerialPort::close()
{
    m_operations << QStringLiteral("close %1").arg(m_port);
    if (!m_open)
        return fail(QStringLiteral("Port is not open"));
    m_open = false;
    m_receiveQueue.clear();
    return true;
}

bool MemorySerialPort::output(const QByteArray &bytes)
{
    ++m_outputCalls;
    if (!m_open)
        return fail(QStringLiteral("Port is not open"));
    if (m_writesLeft == 0)
        return fail(QStringLiteral("Write to %1 failed").arg(PortTable::caption(m_port)));
    if (m_writesLeft > 0)
        --m_writesLeft;
    m_written.append(bytes);
    m_writtenByPort[m_port].append(bytes);
    return true;
}

QByteArray MemorySerialPort::input()
{
    QByteArray bytes;
    bytes.swap(m_receiveQueue);
    return bytes;
}

bool MemorySerialPort::fail(const QString &reason)
{
    m_errorText = reason;
    return false;
}
