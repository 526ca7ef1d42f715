// SPDX-License-Identifier: MIT
#include "traced_window.h"

#include "monotonic_clock.h"
#include "trace_log.h"

TracedWindow::TracedWindow(SerialPort &port, TraceLog &log)
    : MainWindow(port)
    , m_log(log)
{}

void TracedWindow::setText(Field field, const QString &text)
{
    const bool mapChanges =
        field == Field::MeanPressure && MainWindow::text(Field::MeanPressure) != text;
    MainWindow::setText(field, text);
    if (mapChanges)
        m_log.event("map", MonotonicClock::nowNs(), text);
}
