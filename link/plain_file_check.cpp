// SPDX-License-Identifier: MIT
#include "plain_file_check.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace {

#ifdef Q_OS_UNIX
PlainFileCheck::Kind kindOfMode(mode_t mode)
{
    using Kind = PlainFileCheck::Kind;
    if (S_ISREG(mode))
        return Kind::Regular;
    if (S_ISDIR(mode))
        return Kind::Folder;
    if (S_ISFIFO(mode))
        return Kind::Fifo;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return Kind::Device;
    if (S_ISSOCK(mode))
        return Kind::Socket;
    return Kind::Unknown;
}
#endif

} // namespace

PlainFileCheck::PlainFileCheck(const QString &path)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    struct stat target = {};
    if (::stat(name.constData(), &target) == 0) {
        m_kind = kindOfMode(target.st_mode);
        if (m_kind == Kind::Unknown)
            m_systemReason = QStringLiteral("it is no regular file");
        return;
    }
    const int error = errno;
    struct stat link = {};
    const bool isLink = ::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode);
    if (error == ELOOP)
        m_kind = Kind::LinkLoop;
    else if (error == ENOENT)
        m_kind = isLink ? Kind::DanglingLink : Kind::Missing;
    else
        m_systemReason = QString::fromLocal8Bit(std::strerror(error));
#else
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists())
        m_kind = Kind::DanglingLink;
    else if (!info.exists())
        m_kind = Kind::Missing;
    else if (info.isDir())
        m_kind = Kind::Folder;
    else if (info.isFile())
        m_kind = Kind::Regular;
    else
        m_systemReason = QStringLiteral("it is no regular file");
#endif
}

QString PlainFileCheck::reason() const
{
    switch (m_kind) {
    case Kind::Regular:
    case Kind::Missing:
        return QString();
    case Kind::Folder:
        return QStringLiteral("it is a folder");
    case Kind::Fifo:
        return QStringLiteral("it is a FIFO, not a file");
    case Kind::Device:
        return QStringLiteral("it is a device, not a file");
    case Kind::Socket:
        return QStringLiteral("it is a socket, not a file");
    case Kind::LinkLoop:
        return QStringLiteral("it is a symbolic link that loops");
    case Kind::DanglingLink:
        return QStringLiteral("it is a symbolic link to nothing");
    case Kind::Unknown:
        break;
    }
    return m_systemReason;
}

bool PlainFileCheck::sameFile(const QString &first, const QString &second)
{
#ifdef Q_OS_UNIX
    struct stat a = {};
    struct stat b = {};
    if (::stat(QFile::encodeName(first).constData(), &a) == 0 &&
        ::stat(QFile::encodeName(second).constData(), &b) == 0)
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    return resolvedPath(first) == resolvedPath(second);
#else
    return resolvedPath(first).compare(resolvedPath(second), Qt::CaseInsensitive) == 0;
#endif
}

QString PlainFileCheck::resolvedPath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                            : QDir(folder).filePath(info.fileName());
}

bool PlainFileCheck::openForReading(QFile &file, const QString &path, Failure *reason)
{
    const auto refuse = [reason](const QString &why, Failure::Kind kind = Failure::Kind::Io) {
        return fail(reason, {kind, why});
    };
    const PlainFileCheck check(path);
    if (check.kind() == Kind::Missing)
        return refuse(QStringLiteral("it does not exist"), Failure::Kind::NotFound);
    if (check.kind() != Kind::Regular)
        return refuse(check.reason(), Failure::Kind::Refused);
#ifdef Q_OS_UNIX
    // Non-blocking, so that even a FIFO put there since the check opens at once.
    const int handle =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (handle < 0)
        return fail(reason, Failure::fromErrno(errno));
    struct stat opened = {};
    if (::fstat(handle, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(handle);
        return refuse(QStringLiteral("it is no regular file"), Failure::Kind::Refused);
    }
    ::fcntl(handle, F_SETFL, ::fcntl(handle, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return refuse(file.errorString());
    }
    return true;
#else
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly) || refuse(file.errorString());
#endif
}
