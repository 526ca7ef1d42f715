// SPDX-License-Identifier: MIT
// The logging category of port events and failures: the port map's problems,
// failed opens, lost devices, lost ports opened again once their device is
// back, and entries enabled again by the Port menu's re-check. Enable with
// QT_LOGGING_RULES="tarnvik.ports.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPorts)
