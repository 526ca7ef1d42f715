// SPDX-License-Identifier: MIT
#include "record_disk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef Q_OS_WIN
#include <io.h>
#include <share.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
bool isPlain(const QString &path, int &error)
{
    struct _stat64 info;
    if (::_wstat64(reinterpret_cast<const wchar_t *>(path.utf16()), &info) != 0)
        return errno == ENOENT; // a file not yet there is created
    error = (info.st_mode & _S_IFMT) == _S_IFDIR ? EISDIR : RecordDisk::kNotPlain;
    return (info.st_mode & _S_IFMT) == _S_IFREG;
}
#else
bool isPlain(const QString &path, int &error)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT;
    error = S_ISDIR(info.st_mode) ? EISDIR : RecordDisk::kNotPlain;
    return S_ISREG(info.st_mode);
}

bool isPlain(int handle, int &error)
{
    struct stat info;
    if (::fstat(handle, &info) != 0) {
        error = errno;
        return false;
    }
    error = S_ISDIR(info.st_mode) ? EISDIR : RecordDisk::kNotPlain;
    return S_ISREG(info.st_mode);
}
#endif

} // namespace

bool RecordDisk::makeFolder(const QString &path, int &error)
{
    if (QDir().mkpath(path))
        return true;
    error = QFileInfo(path).exists() ? ENOTDIR : EACCES;
    return false;
}

#ifdef Q_OS_WIN

int RecordDisk::open(const QString &path, bool empty, int &error)
{
    if (!isPlain(path, error))
        return -1;
    const int flags = _O_RDWR | _O_CREAT | _O_APPEND | _O_BINARY | (empty ? _O_TRUNC : 0);
    int handle = -1;
    error = ::_wsopen_s(&handle, reinterpret_cast<const wchar_t *>(path.utf16()), flags, _SH_DENYNO,
                        _S_IREAD | _S_IWRITE);
    return error == 0 ? handle : -1;
}

qint64 RecordDisk::size(int handle, int &error)
{
    const qint64 length = ::_filelengthi64(handle);
    if (length < 0)
        error = errno;
    return length;
}

int RecordDisk::byteAt(int handle, qint64 offset)
{
    unsigned char byte = 0;
    if (::_lseeki64(handle, offset, SEEK_SET) != offset || ::_read(handle, &byte, 1) != 1)
        return -1;
    return byte;
}

qint64 RecordDisk::write(int handle, const char *data, qint64 length, int &error)
{
    qint64 done = 0;
    while (done < length) {
        const unsigned int chunk = unsigned(qMin<qint64>(length - done, 1 << 30));
        const int n = ::_write(handle, data + done, chunk);
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    return done;
}

bool RecordDisk::truncate(int handle, qint64 length, int &error)
{
    error = ::_chsize_s(handle, length);
    return error == 0;
}

bool RecordDisk::sync(int handle, int &error)
{
    if (::_commit(handle) == 0)
        return true;
    error = errno;
    return false;
}

void RecordDisk::close(int handle)
{
    ::_close(handle);
}

#else

int RecordDisk::open(const QString &path, bool empty, int &error)
{
    if (!isPlain(path, error))
        return -1;
    // Non-blocking, so that a FIFO put in place since the check fails at once
    // instead of waiting for a reader; the kind is checked again below.
    const QByteArray name = QFile::encodeName(path);
    int flags = O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (empty ? O_TRUNC : 0);
    int handle = ::open(name.constData(), flags | O_RDWR, 0666);
    if (handle < 0 && errno == EACCES) // write-only is enough to append
        handle = ::open(name.constData(), flags | O_WRONLY, 0666);
    if (handle < 0) {
        error = errno;
        return -1;
    }
    if (!isPlain(handle, error)) {
        ::close(handle);
        return -1;
    }
    return handle;
}

qint64 RecordDisk::size(int handle, int &error)
{
    struct stat info;
    if (::fstat(handle, &info) != 0) {
        error = errno;
        return -1;
    }
    return info.st_size;
}

int RecordDisk::byteAt(int handle, qint64 offset)
{
    unsigned char byte = 0;
    return ::pread(handle, &byte, 1, off_t(offset)) == 1 ? byte : -1;
}

qint64 RecordDisk::write(int handle, const char *data, qint64 length, int &error)
{
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::write(handle, data + done, size_t(length - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    return done;
}

bool RecordDisk::truncate(int handle, qint64 length, int &error)
{
    if (::ftruncate(handle, off_t(length)) == 0)
        return true;
    error = errno;
    return false;
}

bool RecordDisk::sync(int handle, int &error)
{
    // A file system that cannot sync a regular file has nothing to lose.
    if (::fsync(handle) == 0 || errno == EINVAL)
        return true;
    error = errno;
    return false;
}

void RecordDisk::close(int handle)
{
    ::close(handle);
}

#endif

QString RecordDisk::reason(int error)
{
    if (error == kNotPlain)
        return QStringLiteral("not a regular file (a FIFO or a device)");
    return QString::fromLocal8Bit(std::strerror(error));
}
