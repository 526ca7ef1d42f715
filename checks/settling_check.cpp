// SPDX-License-Identifier: MIT
#include "settling_check.h"

#include <algorithm>
#include <cmath>

namespace {

// The rounding of a whole-mmHg reading as a standard deviation.
const double kRoundingMmHg = 1.0 / std::sqrt(12.0);

struct Block
{
    int n = 0;
    double slopePerS = 0;
    double spreadSS = 0;   // sum of squared time deviations, s^2
    double residualSS = 0; // sum of squared residuals, mmHg^2
};

// The least-squares line of the readings from `begin` up to `end`.
template <typename It> Block fit(It begin, It end, qint64 originMs)
{
    Block b;
    double t = 0, p = 0;
    for (It i = begin; i != end; ++i, ++b.n) {
        t += (i->ms - originMs) / 1000.0;
        p += i->mmHg;
    }
    if (b.n == 0)
        return b;
    const double tMean = t / b.n, pMean = p / b.n;
    double tp = 0, pp = 0;
    for (It i = begin; i != end; ++i) {
        const double dt = (i->ms - originMs) / 1000.0 - tMean, dp = i->mmHg - pMean;
        b.spreadSS += dt * dt;
        tp += dt * dp;
        pp += dp * dp;
    }
    if (b.spreadSS > 1e-12) {
        b.slopePerS = tp / b.spreadSS;
        b.residualSS = std::max(0.0, pp - b.slopePerS * tp);
    }
    return b;
}

} // namespace

void SettlingCheck::restart()
{
    m_readings.clear();
}

void SettlingCheck::add(qint64 ms, int mmHg)
{
    m_readings.append({ms, mmHg});
    const qint64 oldest = ms - qRound64(2 * kBlockS * 1000);
    const auto keep = std::find_if(m_readings.begin(), m_readings.end(),
                                   [oldest](const PressureSample &s) { return s.ms >= oldest; });
    m_readings.erase(m_readings.begin(), keep);
}

bool SettlingCheck::stable() const
{
    if (m_readings.isEmpty())
        return false;
    const qint64 now = m_readings.constLast().ms;
    const qint64 split = now - qRound64(kBlockS * 1000);
    const auto middle = std::find_if(m_readings.begin(), m_readings.end(),
                                     [split](const PressureSample &s) { return s.ms >= split; });
    const Block before = fit(m_readings.begin(), middle, now);
    const Block last = fit(middle, m_readings.end(), now);
    if (before.n < kLeastReadings || last.n < kLeastReadings || before.spreadSS <= 1e-12 ||
        last.spreadSS <= 1e-12)
        return false;
    const double scatter = std::max(kRoundingMmHg, std::sqrt((before.residualSS + last.residualSS) /
                                                             std::max(1, before.n + last.n - 4)));
    const double error = scatter * std::sqrt(1 / before.spreadSS + 1 / last.spreadSS) * 60;
    const double tolerance = std::max(kLeastToleranceMmHgPerMin, 2 * error);
    return std::abs(last.slopePerS - before.slopePerS) * 60 <= tolerance;
}
