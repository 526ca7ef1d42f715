// SPDX-License-Identifier: MIT
// Opening the Port menu: the re-check of the entries that start-up disabled.
// The panel runs on the real serial port class over a table of eight paths in
// an empty temporary folder, so start-up disables every entry and each
// re-check looks for eight devices that are still not there: the most it does
// when nothing has changed. Nothing is opened by the re-check, and the paths
// lead to no device at all.
#include "board_panel.h"
#include "port_table.h"
#include "qt_serial_port.h"

#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void BM_PortMenu_RecheckEightAbsent(benchmark::State &state)
{
    QTemporaryDir dir;
    QStringList devices;
    for (int port = 1; port <= PortTable::kPortCount; ++port)
        devices << dir.filePath(QStringLiteral("ttyUSB%1").arg(port));
    QtSerialPort port{PortTable(devices)};
    BoardPanel panel(port);
    int failures = 0;
    QObject::connect(&panel.state(), &BoardState::failureChanged, &panel, [&] { ++failures; });
    panel.startUp();
    const int failuresAtStart = failures;
    for (auto _ : state)
        panel.recheckMissingPorts();
    if (!dir.isValid() || port.isOpen() || failuresAtStart != 1 || failures != 1)
        state.SkipWithError("start-up did not leave all eight entries disabled");
}

} // namespace

BENCHMARK(BM_PortMenu_RecheckEightAbsent);
