// SPDX-License-Identifier: MIT
#include "leak_run.h"

#include "robust_line_fit.h"

#include <algorithm>

namespace {

// A rate on the limit passes; the rate is derived in floating point.
constexpr double kSlack = 1e-9;

QString seconds(qint64 ms)
{
    return QString::number(ms / 1000.0, 'f', 1);
}

qint64 toMs(double seconds)
{
    return qRound64(seconds * 1000);
}

} // namespace

LeakRun::LeakRun(const CheckLimits &limits, const QString &port, qint64 startMs,
                 int curveMaxSamples)
    : m_limits(limits)
    , m_curveMaxSamples(curveMaxSamples)
{
    m_test.port = port;
    m_test.startMs = startMs;
    m_test.endMs = startMs;
}

std::optional<qint64> LeakRun::earliestWindowMs() const
{
    if (!m_test.holdMmHg)
        return std::nullopt;
    return m_test.holdMs + toMs(std::max(m_limits.leakSettleS, 2 * SettlingCheck::kBlockS));
}

qint64 LeakRun::latestWindowMs() const
{
    return m_test.holdMs + toMs(m_limits.leakSettleMaxS);
}

qint64 LeakRun::windowEndMs() const
{
    return m_test.windowStartMs.value_or(0) + toMs(m_limits.leakWindowS);
}

void LeakRun::note(const QString &reason)
{
    if (!m_reasons.contains(reason))
        m_reasons << reason;
}

void LeakRun::reading(qint64 ms, int mmHg)
{
    advance(ms);
    if (m_test.samples.size() < m_curveMaxSamples)
        m_test.samples.append({ms, mmHg});
    m_test.endMs = std::max(m_test.endMs, ms);
    if (m_test.complete || m_ended)
        return;
    if (m_lastMs && ms < *m_lastMs)
        note(QStringLiteral("time ran backwards at %1 s (from %2 s)")
                 .arg(seconds(ms), seconds(*m_lastMs)));
    m_lastMs = ms;
    m_risingNow = false;
    if (!m_test.windowStartMs)
        peakOrSettle(ms, mmHg);
    if (m_test.windowStartMs)
        windowReading(ms, mmHg);
}

// Before the window: a new peak starts the settling again; the window begins
// at the first reading at which the pressure is stable, or when the longest
// settling ran out.
void LeakRun::peakOrSettle(qint64 ms, int mmHg)
{
    if (mmHg > 0 && (!m_test.holdMmHg || mmHg > *m_test.holdMmHg)) {
        m_test.holdMmHg = mmHg;
        m_test.holdMs = ms;
        m_settling.restart();
        m_settling.add(ms, mmHg);
        m_risingNow = true;
        return;
    }
    if (!m_test.holdMmHg)
        return;
    m_settling.add(ms, mmHg);
    if (ms >= *earliestWindowMs() && m_settling.stable())
        startWindow(ms, true);
    else if (ms >= latestWindowMs())
        startWindow(latestWindowMs(), false);
}

void LeakRun::advance(qint64 ms)
{
    if (m_test.complete || m_ended)
        return;
    if (m_test.holdMmHg && !m_test.windowStartMs && ms > latestWindowMs())
        startWindow(latestWindowMs(), false);
    if (m_test.windowStartMs && ms >= windowEndMs())
        complete();
}

void LeakRun::startWindow(qint64 ms, bool settled)
{
    m_test.windowStartMs = ms;
    m_test.settleS = (ms - m_test.holdMs) / 1000.0;
    m_test.settled = settled;
    m_lastInWindowMs = ms;
    if (!settled)
        note(QStringLiteral("not settled: the pressure was not stable %1 s after the peak")
                 .arg(CheckLimits::text(m_limits.leakSettleMaxS)));
}

void LeakRun::windowReading(qint64 ms, int mmHg)
{
    if (ms - m_lastInWindowMs > toMs(kLongestSilenceS))
        note(QStringLiteral("no pressure line from %1 s to %2 s")
                 .arg(seconds(m_lastInWindowMs), seconds(ms)));
    m_lastInWindowMs = std::max(m_lastInWindowMs, ms);
    m_window.append({ms, mmHg});
    m_test.windowReadings = m_window.size();
    const double at = (ms - *m_test.windowStartMs) / 1000.0;
    m_running.add(at, mmHg);
    m_test.windowS = std::max(m_test.windowS, at);
    m_test.dropMmHg = m_window.constFirst().mmHg - mmHg;
    if (const std::optional<LeakFit::Line> line = m_running.line()) {
        m_test.rateMmHgPerMin = -line->slopePerSecond * 60.0;
        m_test.fitStartMmHg = line->offset;
    }
}

void LeakRun::complete()
{
    m_test.complete = true;
    const qint64 end = windowEndMs();
    if (end - m_lastInWindowMs > toMs(kLongestSilenceS))
        note(QStringLiteral("no pressure line from %1 s to %2 s")
                 .arg(seconds(m_lastInWindowMs), seconds(end)));
    m_test.windowS = m_limits.leakWindowS;
    judge();
}

// The rate, offset, drop and outliers of the robust line.
void LeakRun::fitWindow()
{
    const std::optional<RobustLineFit::Result> fit =
        RobustLineFit::of(m_window, *m_test.windowStartMs);
    if (!fit)
        return;
    m_test.rateMmHgPerMin = -fit->line.slopePerSecond * 60.0;
    m_test.fitStartMmHg = fit->line.offset;
    m_test.outliers.clear();
    for (int i : fit->leftOut)
        m_test.outliers.append(m_window.at(i));
    QList<int> kept;
    for (int i = 0, out = 0; i < m_window.size(); ++i) {
        if (out < fit->leftOut.size() && fit->leftOut.at(out) == i)
            ++out;
        else
            kept.append(m_window.at(i).mmHg);
    }
    m_test.dropMmHg = kept.isEmpty() ? 0 : kept.constFirst() - kept.constLast();
    m_rose = fit->rose;
}

void LeakRun::judge()
{
    fitWindow();
    if (!m_test.rateMmHgPerMin) {
        note(QStringLiteral("too few pressure lines in the window"));
    } else {
        if (m_rose || *m_test.rateMmHgPerMin < kLowestRateMmHgPerMin)
            note(QStringLiteral("the pressure rose: did the pump run?"));
        if (m_test.outliers.size() > kMostLeftOut * m_test.windowReadings)
            note(QStringLiteral("unsteady readings: %1 of %2 left out of the fit")
                     .arg(m_test.outliers.size())
                     .arg(m_test.windowReadings));
    }
    if (!m_reasons.isEmpty()) {
        m_test.verdict = Verdict::Incomplete;
        m_test.reason = m_reasons.join(QStringLiteral("; "));
        return;
    }
    const bool within = *m_test.rateMmHgPerMin <= m_limits.leakMmHgPerMin + kSlack;
    m_test.verdict = within ? Verdict::Pass : Verdict::Fail;
}

void LeakRun::interrupt(const QString &what)
{
    if (!m_test.complete && !m_ended)
        note(what);
}

QString LeakRun::unfinished() const
{
    if (!m_test.holdMmHg)
        return QStringLiteral("no pressure after the Leak Test frame");
    if (!m_test.windowStartMs)
        return QStringLiteral("the pressure had not settled");
    return QStringLiteral("the window ran %1 s of %2 s")
        .arg(QString::number(m_test.windowS, 'f', 1), CheckLimits::text(m_limits.leakWindowS));
}

void LeakRun::end(qint64 ms, const QString &endedBy)
{
    advance(ms);
    m_test.endMs = std::max(m_test.endMs, ms);
    m_test.endedBy = endedBy;
    if (m_test.complete || m_ended) {
        m_ended = true;
        return;
    }
    if (m_test.windowStartMs)
        fitWindow();
    note(unfinished());
    m_test.verdict = Verdict::Incomplete;
    m_test.reason = m_reasons.join(QStringLiteral("; "));
    m_ended = true;
}

CheckReport::LeakTest LeakRun::test() const
{
    CheckReport::LeakTest test = m_test;
    if (!m_test.complete && !m_ended) {
        QStringList reasons = m_reasons;
        reasons << unfinished();
        test.reason = reasons.join(QStringLiteral("; "));
    }
    return test;
}
