// SPDX-License-Identifier: MIT
#include "port_failure_text.h"

#include <QtGlobal>

namespace PortFailureText {

QString reason(Failure::Kind kind, const QString &systemReason)
{
    switch (kind) {
    case Failure::Kind::PermissionDenied:
#ifdef Q_OS_LINUX
        // Serial devices belong to the dialout group; membership counts from
        // the next login.
        return QStringLiteral(
            "permission denied; add your user to the dialout group and log in again");
#else
        return QStringLiteral("permission denied");
#endif
    case Failure::Kind::Other:
        return systemReason.isEmpty() ? brief(kind) : systemReason;
    default:
        return brief(kind);
    }
}

QString brief(Failure::Kind kind)
{
    switch (kind) {
    case Failure::Kind::None:
        return QString();
    case Failure::Kind::Unbound:
        return QStringLiteral("not bound to a device");
    case Failure::Kind::NotFound:
        return QStringLiteral("not present");
    case Failure::Kind::PermissionDenied:
        return QStringLiteral("permission denied");
    case Failure::Kind::InUse:
        return QStringLiteral("in use by another program");
    default:
        break;
    }
    return QStringLiteral("could not be opened");
}

} // namespace PortFailureText
