// SPDX-License-Identifier: MIT
#include "leak_fit.h"

void LeakFit::add(double seconds, double mmHg)
{
    m_n += 1;
    m_t += seconds;
    m_p += mmHg;
    m_tt += seconds * seconds;
    m_tp += seconds * mmHg;
}

std::optional<LeakFit::Line> LeakFit::line() const
{
    const double spread = m_n * m_tt - m_t * m_t;
    if (m_n < 2 || spread <= 1e-12)
        return std::nullopt;
    const double slope = (m_n * m_tp - m_t * m_p) / spread;
    return Line{(m_p - slope * m_t) / m_n, slope};
}
