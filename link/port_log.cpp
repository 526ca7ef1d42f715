// SPDX-License-Identifier: MIT
#include "port_log.h"

Q_LOGGING_CATEGORY(lcPorts, "tarnvik.ports", QtInfoMsg)
