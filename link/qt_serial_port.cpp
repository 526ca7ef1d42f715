// SPDX-License-Identifier: MIT
#include "qt_serial_port.h"

#include "port_failure_text.h"
#include "port_log.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

QtSerialPort::QtSerialPort(const PortTable &table, QObject *parent)
    : SerialPort(parent)
    , m_table(table)
{
    connect(&m_serial, &QSerialPort::readyRead, this, &QtSerialPort::onReadyRead);
    connect(&m_serial, &QSerialPort::errorOccurred, this, &QtSerialPort::onErrorOccurred);
}

QtSerialPort::~QtSerialPort()
{
    if (m_serial.isOpen()) {
        m_serial.flush();
        m_serial.close();
    }
}

bool QtSerialPort::setCommPort(int port)
{
    if (port < 1 || port > PortTable::kPortCount)
        return fail(QStringLiteral("Invalid port number %1").arg(port), Failure::Kind::Refused);
    if (m_serial.isOpen())
        return fail(QStringLiteral("Cannot change the port while %1 is open")
                        .arg(PortTable::caption(m_port)),
                    Failure::Kind::Refused);
    m_port = port;
    return true;
}

bool QtSerialPort::setLineSettings(const LineSettings &settings)
{
    if (settings.baudRate <= 0)
        return fail(QStringLiteral("Invalid baud rate %1").arg(settings.baudRate),
                    Failure::Kind::Refused);
    m_settings = settings;
    return true;
}

bool QtSerialPort::open()
{
    const QString caption = PortTable::caption(m_port);
    if (m_serial.isOpen())
        return fail(QStringLiteral("%1 is already open").arg(caption), Failure::Kind::Refused);
    const QString device = m_table.device(m_port);
    if (device.isEmpty())
        return failOpen(Failure::Kind::Unbound, QString());

    m_serial.setPortName(device);
    m_serial.setBaudRate(m_settings.baudRate);
    m_serial.setParity(m_settings.parity);
    m_serial.setDataBits(m_settings.dataBits);
    m_serial.setStopBits(m_settings.stopBits);
    m_serial.setFlowControl(m_settings.flowControl);
    if (!m_serial.open(QIODevice::ReadWrite))
        return failOpen(kindOf(m_serial.error(), device), m_serial.errorString());
    if (!lockDevice()) {
        m_serial.close();
        return failOpen(Failure::Kind::InUse, QString());
    }
    ++m_openCount;
    m_lossPending = false;
    m_readRefusedSinceData = false;
    return true;
}

bool QtSerialPort::failOpen(Failure::Kind kind, const QString &systemReason)
{
    const QString device = m_table.device(m_port);
    const QString port = device.isEmpty() ? PortTable::caption(m_port) : describePort();
    fail(QStringLiteral("%1 could not be opened: %2")
             .arg(port, PortFailureText::reason(kind, systemReason)),
         kind);
    qCDebug(lcPorts).noquote() << m_failure.text;
    return false;
}

// QSerialPort gives PermissionError both for a device this user may not open
// and for one another opener holds (its lock file, or EBUSY from TIOCEXCL).
// Whether this user may open the device at all tells the two apart. On
// Windows, access is denied to a port that another program has open.
Failure::Kind QtSerialPort::kindOf(QSerialPort::SerialPortError error, const QString &device) const
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return Failure::Kind::NotFound;
    case QSerialPort::PermissionError:
#ifdef Q_OS_UNIX
        if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0 && errno == EACCES)
            return Failure::Kind::PermissionDenied;
#else
        Q_UNUSED(device);
#endif
        return Failure::Kind::InUse;
    default:
        return Failure::Kind::Other;
    }
}

bool QtSerialPort::deviceExists(int port) const
{
    const QString device = m_table.device(port);
    if (device.isEmpty())
        return false;
#ifdef Q_OS_WIN
    // COM names live in the DOS device namespace, not in the file system.
    QString name = device;
    if (name.startsWith(QLatin1String("\\\\.\\")))
        name = name.mid(4);
    wchar_t target[512];
    return ::QueryDosDeviceW(reinterpret_cast<const wchar_t *>(name.utf16()), target, 512) != 0;
#else
    return QFileInfo::exists(device); // follows links: a dangling by-id link is no device
#endif
}

// QSerialPort's own lock is a file named after the path as given, which a
// second path to the same device (a symlink) bypasses and which it removes as
// stale when another tool wrote it without an application name; TIOCEXCL does
// not hold against root. A flock on the open descriptor covers all of these.
// Only a lock held elsewhere refuses the open; a device without flock support
// opens as before.
bool QtSerialPort::lockDevice()
{
#ifdef Q_OS_UNIX
    const int fd = int(m_serial.handle());
    int rc = -1;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 || errno != EWOULDBLOCK;
#else
    return true;
#endif
}

bool QtSerialPort::close()
{
    if (!m_serial.isOpen())
        return fail(QStringLiteral("%1 is not open").arg(PortTable::caption(m_port)),
                    Failure::Kind::Refused);
    // QSerialPort keeps written bytes in its own buffer until the event loop
    // turns, and close() discards them: hand them to the driver first.
    m_serial.flush();
    m_serial.close();
    return true;
}

bool QtSerialPort::isOpen() const
{
    return m_serial.isOpen();
}

bool QtSerialPort::output(const QByteArray &bytes)
{
    // QSerialPort::write() on a closed port returns -1, emits nothing and warns.
    if (!m_serial.isOpen())
        return fail(QStringLiteral("Writing to %1 failed: the port is not open")
                        .arg(PortTable::caption(m_port)),
                    Failure::Kind::Io);
    const qint64 written = m_serial.write(bytes);
    if (written != bytes.size())
        return fail(QStringLiteral("Writing to %1 failed: %2")
                        .arg(PortTable::caption(m_port), m_serial.errorString()),
                    Failure::Kind::Io);
    return true;
}

// Reads only what QSerialPort holds already; with nothing there it is not
// asked at all.
QByteArray QtSerialPort::input()
{
    if (m_serial.bytesAvailable() <= 0)
        return {};
    return m_serial.readAll();
}

void QtSerialPort::onReadyRead()
{
    m_readRefusedSinceData = false;
    emit bytesArrived();
}

void QtSerialPort::onErrorOccurred(QSerialPort::SerialPortError error)
{
    // Every error as QSerialPort reports it; QT_LOGGING_RULES="tarnvik.ports.debug=true"
    // shows them.
    if (error != QSerialPort::NoError)
        qCDebug(lcPorts) << describePort() << error << m_serial.errorString();
    switch (error) {
    case QSerialPort::NoError:             // every open() emits it
    case QSerialPort::DeviceNotFoundError: // open() returns false and says why
    case QSerialPort::OpenError:
    case QSerialPort::NotOpenError: // close() of a closed port
        return;
    case QSerialPort::PermissionError:
        // A refused open comes back from open() itself. On Windows an open
        // port reports it too, when the driver withdraws the handle of a
        // device that went away (an unplugged USB adapter).
#ifdef Q_OS_WIN
        loseDevice(QStringLiteral("the device is no longer available"));
#endif
        return;
    case QSerialPort::ResourceError:
        // On Windows also a removed device, an aborted or refused overlapped
        // operation, or a handle that is no longer valid.
        loseDevice(QStringLiteral("the device is no longer available"));
        return;
    case QSerialPort::ReadError:
#ifdef Q_OS_WIN
        resumeReading();
#else
        // A hang-up makes read() return 0; QSerialPort reports that as a read
        // error with a stale text, again at every turn of the event loop.
        if (deviceHungUp()) {
            loseDevice(QStringLiteral("the device hung up"));
        }
#endif
        return;
    case QSerialPort::WriteError:
#ifdef Q_OS_WIN
        // Windows hands the bytes to the driver after write() has returned, so
        // a refused write is known only here, and its frame is gone. A line
        // whose other end hung up answers so ("not ready"): the board is out
        // of reach.
        loseDevice(QStringLiteral("writing failed: %1").arg(m_serial.errorString()));
#endif
        return;
    default:
        // Parity, framing, overrun and the like: logged above; the panel
        // goes on with the bytes that do arrive.
        return;
    }
}

bool QtSerialPort::deviceHungUp() const
{
#ifdef Q_OS_UNIX
    if (!m_serial.isOpen())
        return false;
    pollfd p{int(m_serial.handle()), 0, 0};
    if (::poll(&p, 1, 0) < 0)
        return false;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false; // Windows names a device that went away with its own error kinds
#endif
}

// On Windows a read error means the driver refused to start a read after it
// had signalled data (a removed device shows as a resource or permission
// error instead). QSerialPort then stops waiting for data, so the port would
// stay open but deaf; purging the receive queue makes it wait again. That is
// tried once per arrival of data: a read refused again before any byte came
// in means the port no longer reads, and it is closed as lost.
void QtSerialPort::resumeReading()
{
    if (m_readRefusedSinceData) {
        loseDevice(QStringLiteral("the device refuses to be read"));
        return;
    }
    m_readRefusedSinceData = true;
    const quint64 openCount = m_openCount;
    QMetaObject::invokeMethod(
        this,
        [this, openCount] {
            if (openCount == m_openCount && m_serial.isOpen() && !m_lossPending &&
                !m_serial.clear(QSerialPort::Input))
                loseDevice(QStringLiteral("the device refuses to be read"));
        },
        Qt::QueuedConnection);
}

// Closing inside QSerialPort's own error signal would pull its notifier out
// from under it, so the close waits for the event loop. Until then further
// errors of the same loss are swallowed.
void QtSerialPort::loseDevice(const QString &what)
{
    if (m_lossPending || !m_serial.isOpen())
        return;
    m_lossPending = true;
    const quint64 openCount = m_openCount;
    const QString reason = QStringLiteral("Lost the device on %1: %2").arg(describePort(), what);
    QMetaObject::invokeMethod(
        this, [this, openCount, reason] { closeLostDevice(openCount, reason); },
        Qt::QueuedConnection);
}

void QtSerialPort::closeLostDevice(quint64 openCount, const QString &reason)
{
    if (openCount != m_openCount || !m_serial.isOpen())
        return; // closed or reopened meanwhile: nothing of this loss is left
    m_lossPending = false;
    m_serial.close();
    m_failure = {Failure::Kind::NotFound, reason};
    qCWarning(lcPorts).noquote() << reason;
    emit deviceLost(reason);
}

QString QtSerialPort::describePort() const
{
    return QStringLiteral("%1 (%2)").arg(PortTable::caption(m_port), m_table.device(m_port));
}

bool QtSerialPort::fail(const QString &reason, Failure::Kind kind)
{
    m_failure = {kind, reason};
    return false;
}
