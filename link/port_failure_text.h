// SPDX-License-Identifier: MIT
// The words for each kind of failure a serial port's open can end in
// (NotFound, Unbound, PermissionDenied, InUse, Other): QtSerialPort sorts its
// open failures into these kinds, MemorySerialPort reports them for tests, and
// the panel groups them in the notice it shows when no port opens at start-up.
#pragma once

#include "failure.h"

#include <QString>

namespace PortFailureText {

// The reason as the end of a sentence such as "COM5 (/dev/ttyACM0) could not
// be opened: <reason>". A denied permission carries its remedy where there is
// a well-known one; Other gives `systemReason`.
QString reason(Failure::Kind kind, const QString &systemReason);

// A few words for a one-line summary: "not present", "permission denied", ...
QString brief(Failure::Kind kind);

} // namespace PortFailureText
