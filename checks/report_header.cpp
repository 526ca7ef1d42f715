// SPDX-License-Identifier: MIT
#include "report_header.h"

#include "tarnvik_version.h"

QString ReportHeader::program()
{
    return QStringLiteral("tarnvik %1").arg(QLatin1String(TARNVIK_VERSION_STRING));
}

void ReportHeader::fill(CheckReport &report, const DeviceLookup &deviceOf) const
{
    CheckReport::Session &session = report.session;
    session.program = program();
    session.board = board.trimmed();
    session.operatorName = operatorName.trimmed();
    session.instrument = instrument.trimmed();
    session.started = started;
    if (deviceOf && !session.port.isEmpty())
        session.device = deviceOf(session.port);
}
