// SPDX-License-Identifier: MIT
#include "inflation_clock.h"

#include <algorithm>

InflationClock::InflationClock(const CheckReport::Stretch &stretch, const CheckLimits &limits)
{
    const bool adult = stretch.patient == PatientMode::Adult;
    m_record.kind = stretch.kind;
    m_record.port = stretch.port;
    m_record.patient = stretch.patient;
    m_record.startMs = stretch.startMs;
    m_record.endMs = stretch.startMs;
    m_record.thresholdMmHg = adult ? kAdultThresholdMmHg : kNeonateThresholdMmHg;
    m_record.limitS = adult ? limits.inflationAdultS : limits.inflationNeonateS;
}

bool InflationClock::advance(qint64 ms)
{
    m_record.endMs = std::max(m_record.endMs, ms);
    if (!m_aboveSinceMs || ms <= *m_aboveSinceMs)
        return false;
    m_aboveMs += ms - *m_aboveSinceMs;
    m_aboveSinceMs = ms;
    m_record.seconds = m_aboveMs / 1000.0;
    if (m_record.exceededMs || m_record.seconds <= m_record.limitS)
        return false;
    m_record.exceededMs = ms;
    m_record.verdict = Verdict::Fail;
    m_record.reason.clear();
    return true;
}

void InflationClock::reading(qint64 ms, int mmHg)
{
    const qint64 now = std::max(ms, m_record.endMs);
    if (mmHg > m_record.thresholdMmHg) {
        if (!m_aboveSinceMs)
            m_aboveSinceMs = now;
    } else {
        m_aboveSinceMs.reset();
    }
}

void InflationClock::interrupt(const QString &why)
{
    if (m_record.verdict == Verdict::Fail)
        return;
    m_record.verdict = Verdict::Incomplete;
    m_record.reason = why;
}

void InflationClock::restart(qint64 ms)
{
    m_record.startMs = ms;
    m_record.endMs = ms;
    m_record.seconds = 0;
    m_record.exceededMs.reset();
    m_record.verdict = Verdict::Pass;
    m_record.reason.clear();
    m_aboveMs = 0;
    if (m_aboveSinceMs)
        m_aboveSinceMs = ms;
}
