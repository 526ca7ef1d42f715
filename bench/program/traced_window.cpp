// SPDX-License-Identifier: MIT
#include "traced_window.h"

#include "monotonic_clock.h"
#include "trace_log.h"

TracedWindow::TracedWindow(BoardPanel &panel, TraceLog &log)
    : MainWindow(panel)
    , m_log(log)
    , m_map(panel.state().text(BoardState::Field::MeanPressure))
{
    connect(&panel.state(), &BoardState::textChanged, this, &TracedWindow::traceMap);
}

void TracedWindow::traceMap(BoardState::Field field, const QString &text)
{
    if (field != BoardState::Field::MeanPressure || text == m_map)
        return;
    m_map = text;
    m_log.event("map", MonotonicClock::nowNs(), text);
}
