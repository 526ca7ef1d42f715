// SPDX-License-Identifier: MIT
#include "pty_bench.h"

PtyBench::PtyBench(const Setup &setup, double timeScale, int timeoutMs, int pollMs)
    : m_rig(setup.boards, timeScale, setup.failureRate, setup.portSettings)
    , m_timeoutMs(timeoutMs)
    , m_pollMs(pollMs)
{}

bool PtyBench::waitFor(const std::function<bool()> &done, int timeoutMs) const
{
    return PtyRig::waitFor(done, timeoutMs > 0 ? timeoutMs : m_timeoutMs, m_pollMs);
}

bool PtyBench::waitForStartUp(int port)
{
    return m_rig.waitForStartUp(
        port, [this] { return text(BoardState::Field::MeanPressure); }, m_timeoutMs, m_pollMs);
}

void PtyBench::noteTick()
{
    using Field = BoardState::Field;
    m_ticks.append(Tick{text(Field::MeanPressure), text(Field::Systolic),
                        text(Field::OperatingState), barValue()});
}
