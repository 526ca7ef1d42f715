// SPDX-License-Identifier: MIT
#include "hold_watch.h"

#include <algorithm>
#include <cmath>

HoldWatch::HoldWatch(const CheckLimits &limits)
    : m_windowMs(qRound64(limits.staticWindowS * 1000))
    , m_spreadMmHg(limits.staticSpreadMmHg)
    , m_nearMmHg(nearMmHg(limits))
{}

double HoldWatch::nearMmHg(const CheckLimits &limits)
{
    return std::max(kNearMmHg, 3 * limits.staticMmHg);
}

void HoldWatch::restart(qint64 ms)
{
    m_sinceMs = ms;
    m_lastMs = ms;
    m_window.clear();
}

void HoldWatch::reading(qint64 ms, int mmHg)
{
    m_lastMs = std::max(m_lastMs, ms);
    m_window.append({ms, mmHg});
    const qint64 oldest = m_lastMs - m_windowMs;
    while (!m_window.isEmpty() && m_window.constFirst().ms < oldest)
        m_window.removeFirst();
}

bool HoldWatch::isSteady() const
{
    if (m_window.size() < 2 || m_lastMs - m_sinceMs < m_windowMs)
        return false;
    const auto [low, high] = std::minmax_element(
        m_window.cbegin(), m_window.cend(),
        [](const PressureSample &a, const PressureSample &b) { return a.mmHg < b.mmHg; });
    return high->mmHg - low->mmHg <= m_spreadMmHg + kSlackMmHg;
}

std::optional<double> HoldWatch::mean() const
{
    if (m_window.isEmpty())
        return std::nullopt;
    double sum = 0;
    for (const PressureSample &sample : m_window)
        sum += sample.mmHg;
    return sum / m_window.size();
}

bool HoldWatch::isSteadyNear(double pointMmHg) const
{
    const std::optional<double> average = mean();
    return isSteady() && average && std::abs(*average - pointMmHg) <= m_nearMmHg + kSlackMmHg;
}

bool HoldWatch::isOverdue() const
{
    return m_lastMs - m_sinceMs > qint64(kLimitS) * 1000;
}
