// SPDX-License-Identifier: MIT
#include "manometer_bench.h"

#include <algorithm>
#include <cmath>

namespace {

double towards(double from, double to)
{
    return from < to ? std::min(to, from + ManometerBench::kStep)
                     : std::max(to, from - ManometerBench::kStep);
}

} // namespace

ManometerBench::ManometerBench(double maxPressure)
    : m_maxPressure(maxPressure)
{}

void ManometerBench::setHolds(const QList<Hold> &holds)
{
    m_holds.clear();
    for (const Hold &hold : holds) {
        const double p = std::isfinite(hold.pressure) ? hold.pressure : 0.0;
        m_holds << Hold{std::clamp(p, 0.0, m_maxPressure), std::max(1, hold.steps)};
    }
    m_index = 0;
    m_heldSteps = 0;
}

void ManometerBench::holdAt(double pressure)
{
    if (!std::isfinite(pressure))
        return;
    const double p = std::clamp(pressure, 0.0, m_maxPressure);
    if (m_requested && *m_requested == p)
        return;
    m_requested = p;
    m_heldSteps = 0;
}

void ManometerBench::release()
{
    m_requested.reset();
    m_heldSteps = 0;
}

void ManometerBench::restart()
{
    m_rising = true;
    m_index = 0;
    m_heldSteps = 0;
}

double ManometerBench::step(double pressure)
{
    if (m_requested)
        return stepRequested(pressure);
    if (!m_holds.isEmpty())
        return stepList(pressure);
    return stepRamp(pressure);
}

int ManometerBench::holdIndex() const
{
    return !m_requested && m_index < m_holds.size() ? m_index : -1;
}

bool ManometerBench::isSteady() const
{
    return m_heldSteps > 0 && (m_requested || m_index < m_holds.size());
}

double ManometerBench::stepRequested(double pressure)
{
    const double next = towards(pressure, *m_requested);
    m_heldSteps = next == *m_requested ? m_heldSteps + 1 : 0;
    return next;
}

// From hold to hold; the step that reaches a hold is its first steady step.
double ManometerBench::stepList(double pressure)
{
    const qsizetype count = m_holds.size();
    const auto target = [&] {
        return m_index < count ? m_holds.at(m_index).pressure : 0.0;
    };
    if (pressure == target()) {
        if (m_index >= count) {
            m_index = 0;
        } else if (m_heldSteps >= m_holds.at(m_index).steps) {
            ++m_index;
            m_heldSteps = 0;
        }
    }
    const double to = target();
    const double next = towards(pressure, to);
    if (next == to && m_index < count)
        ++m_heldSteps;
    return next;
}

double ManometerBench::stepRamp(double pressure)
{
    const double next = towards(pressure, m_rising ? kTop : 0.0);
    m_rising = m_rising ? next != kTop : next <= 0.0;
    return next;
}
