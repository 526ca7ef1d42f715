// SPDX-License-Identifier: MIT
#include "open_failure.h"

#include <QtGlobal>

namespace OpenFailureText {

QString reason(OpenFailure kind, const QString &systemReason)
{
    switch (kind) {
    case OpenFailure::PermissionDenied:
#ifdef Q_OS_LINUX
        // Serial devices belong to the dialout group; membership counts from
        // the next login.
        return QStringLiteral(
            "permission denied; add your user to the dialout group and log in again");
#else
        return QStringLiteral("permission denied");
#endif
    case OpenFailure::Other:
        return systemReason.isEmpty() ? brief(kind) : systemReason;
    default:
        return brief(kind);
    }
}

QString brief(OpenFailure kind)
{
    switch (kind) {
    case OpenFailure::None:
        return QString();
    case OpenFailure::Unbound:
        return QStringLiteral("not bound to a device");
    case OpenFailure::NotPresent:
        return QStringLiteral("not present");
    case OpenFailure::PermissionDenied:
        return QStringLiteral("permission denied");
    case OpenFailure::InUse:
        return QStringLiteral("in use by another program");
    case OpenFailure::Other:
        break;
    }
    return QStringLiteral("could not be opened");
}

} // namespace OpenFailureText
