// SPDX-License-Identifier: MIT
// The report's session header, filled the same way live (the bench core)
// and from a trace (tarnvik-report): the program and its version, the board
// ID, operator and reference instrument as given (spaces around them
// dropped), when the session began, and the device behind the port the
// checks saw last (the engine names the port; the device is known live only).
#pragma once

#include "check_report.h"

#include <QDateTime>
#include <QString>

#include <functional>

class ReportHeader
{
public:
    // The device behind a port caption ("COM1" -> "/dev/ttyUSB0"); empty when unknown.
    using DeviceLookup = std::function<QString(const QString &port)>;

    QString board;
    QString operatorName;
    QString instrument;
    QDateTime started; // invalid when unknown

    // "tarnvik 1.0.1".
    static QString program();
    // Fills `report`'s session with these fields; its port stays as the
    // engine set it, and its device comes from `deviceOf` when given.
    void fill(CheckReport &report, const DeviceLookup &deviceOf = {}) const;
};
