// SPDX-License-Identifier: MIT
#include "failure.h"

#include <QFileDevice>

#include <cerrno>
#include <cstring>

Failure::Kind Failure::kindOfErrno(int error)
{
    switch (error) {
    case 0:
        return Kind::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return Kind::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return Kind::PermissionDenied;
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return Kind::InUse;
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return Kind::NoSpace;
    case EIO:
        return Kind::Io;
    default:
        return Kind::Other;
    }
}

Failure::Kind Failure::kindOfFile(const QFileDevice &file)
{
    switch (file.error()) {
    case QFileDevice::ResourceError:
        return Kind::NoSpace;
    case QFileDevice::PermissionsError:
        return Kind::PermissionDenied;
    default:
        return Kind::Io;
    }
}

Failure Failure::fromErrno(int error, const QString &context)
{
    const QString words = QString::fromLocal8Bit(std::strerror(error));
    return {error == 0 ? Kind::Other : kindOfErrno(error),
            context.isEmpty() ? words : context + QLatin1String(": ") + words};
}

Failure Failure::within(const QString &context) const
{
    return {kind, context + QLatin1String(": ") + text};
}
