// SPDX-License-Identifier: MIT
#include "memory_serial_port.h"

#include "port_failure_text.h"
#include "port_table.h"

namespace {

// Line settings as operations() lists them: "4800 8N1", then the flow control when there is one:
// "9600 7E2 hardware".
QString notation(const LineSettings &settings)
{
    QChar parity = QLatin1Char('?');
    switch (settings.parity) {
    case QSerialPort::NoParity:
        parity = QLatin1Char('N');
        break;
    case QSerialPort::EvenParity:
        parity = QLatin1Char('E');
        break;
    case QSerialPort::OddParity:
        parity = QLatin1Char('O');
        break;
    case QSerialPort::SpaceParity:
        parity = QLatin1Char('S');
        break;
    case QSerialPort::MarkParity:
        parity = QLatin1Char('M');
        break;
    }
    const QString stop = settings.stopBits == QSerialPort::OneAndHalfStop
                             ? QStringLiteral("1.5")
                             : QString::number(int(settings.stopBits));
    QString text = QStringLiteral("%1 %2%3%4")
                       .arg(settings.baudRate)
                       .arg(int(settings.dataBits))
                       .arg(parity)
                       .arg(stop);
    if (settings.flowControl == QSerialPort::HardwareControl)
        text += QStringLiteral(" hardware");
    else if (settings.flowControl == QSerialPort::SoftwareControl)
        text += QStringLiteral(" software");
    return text;
}

} // namespace

MemorySerialPort::MemorySerialPort(QObject *parent)
    : SerialPort(parent)
{}

void MemorySerialPort::setOpenable(int port, bool openable)
{
    refuseOpen(port, openable ? Failure::Kind::None : Failure::Kind::NotFound);
}

void MemorySerialPort::setOnlyOpenable(const QSet<int> &ports)
{
    m_refused.clear();
    for (int port = 1; port <= PortTable::kPortCount; ++port) {
        if (!ports.contains(port))
            m_refused.insert(port, Failure::Kind::NotFound);
    }
}

void MemorySerialPort::refuseOpen(int port, Failure::Kind kind)
{
    if (kind == Failure::Kind::None)
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
    const Failure::Kind kind = m_refused.value(port, Failure::Kind::None);
    return kind != Failure::Kind::NotFound && kind != Failure::Kind::Unbound;
}

void MemorySerialPort::failWritesAfter(int count)
{
    m_writesLeft = count;
}

void MemorySerialPort::deliver(const QByteArray &bytes)
{
    m_receiveQueue.append(bytes);
    emit bytesArrived();
}

void MemorySerialPort::loseDevice()
{
    if (!m_open)
        return;
    m_operations << QStringLiteral("lost %1").arg(m_port);
    m_open = false;
    m_receiveQueue.clear();
    m_refused.insert(m_port, Failure::Kind::NotFound);
    fail(QStringLiteral("Lost the device on %1: the device is no longer available")
             .arg(PortTable::caption(m_port)),
         Failure::Kind::NotFound);
    emit deviceLost(m_failure.text);
}

void MemorySerialPort::queue(const QByteArray &bytes)
{
    m_receiveQueue.append(bytes);
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
        return fail(QStringLiteral("Invalid port number %1").arg(port), Failure::Kind::Refused);
    if (m_open)
        return fail(QStringLiteral("Port is already open"), Failure::Kind::Refused);
    m_port = port;
    return true;
}

bool MemorySerialPort::setLineSettings(const LineSettings &settings)
{
    m_operations << QStringLiteral("settings %1").arg(notation(settings));
    return true;
}

bool MemorySerialPort::open()
{
    m_operations << QStringLiteral("open %1").arg(m_port);
    if (m_open)
        return fail(QStringLiteral("Port is already open"), Failure::Kind::Refused);
    if (m_refused.contains(m_port)) {
        const Failure::Kind kind = m_refused.value(m_port);
        return fail(QStringLiteral("%1 could not be opened: %2")
                        .arg(PortTable::caption(m_port),
                             PortFailureText::reason(kind, QStringLiteral("refused by the test"))),
                    kind);
    }
    m_open = true;
    return true;
}

bool MemorySerialPort::close()
{
    m_operations << QStringLiteral("close %1").arg(m_port);
    if (!m_open)
        return fail(QStringLiteral("Port is not open"), Failure::Kind::Refused);
    m_open = false;
    m_receiveQueue.clear();
    return true;
}

bool MemorySerialPort::output(const QByteArray &bytes)
{
    ++m_outputCalls;
    if (!m_open)
        return fail(QStringLiteral("Port is not open"), Failure::Kind::Io);
    if (m_writesLeft == 0)
        return fail(QStringLiteral("Write to %1 failed").arg(PortTable::caption(m_port)),
                    Failure::Kind::Io);
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

bool MemorySerialPort::fail(const QString &reason, Failure::Kind kind)
{
    m_failure = {kind, reason};
    return false;
}
