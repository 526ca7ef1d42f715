// SPDX-License-Identifier: MIT
// Why a serial port did not open, in the few kinds an operator can act on, and
// the words used for each. QtSerialPort sorts its open failures into these
// kinds, MemorySerialPort reports them for tests, and the panel groups them in
// the notice it shows when no port opens at start-up.
#pragma once

#include <QString>

enum class OpenFailure {
    None,             // no open has failed since the last one that worked
    Unbound,          // the port number stands for no device
    NotPresent,       // there is no such device (not plugged in, wrong name)
    PermissionDenied, // the device is there but this user may not open it
    InUse,            // another program holds the device
    Other             // anything else: the system's own reason says what
};

namespace OpenFailureText {

// The reason as the end of a sentence such as "COM5 (/dev/ttyACM0) could not
// be opened: <reason>". A denied permission carries its remedy where there is
// a well-known one; Other gives `systemReason`.
QString reason(OpenFailure kind, const QString &systemReason);

// A few words for a one-line summary: "not present", "permission denied", ...
QString brief(OpenFailure kind);

} // namespace OpenFailureText
