// SPDX-License-Identifier: MIT
// One leak test as it runs, from the Leak Test frame to its end. The hold
// pressure is the peak after pump-up; every new peak starts the settling
// again. The window of leak_window_s begins once the pressure is stable
// (SettlingCheck), no sooner than leak_settle_s after the peak and no later
// than leak_settle_max_s ("not settled" then). Its rate is the slope of the
// robust line through its readings (RobustLineFit). The verdict is
// incomplete, with the reason in words, when the window did not run out, the
// pressure had not settled, a pressure line is missing for more than
// kLongestSilenceS in it (its end included), time ran backwards, traffic was
// lost, the pressure rose, or the fit left out more than kMostLeftOut of the
// readings; else pass up to leak_mmHg_per_min.
//
// ChecksEngine feeds it the pressure lines, the passing time of every entry
// and the traffic it lost; test() is its record for the report, what still
// runs included.
#pragma once

#include "check_report.h"
#include "leak_fit.h"
#include "settling_check.h"

#include <QStringList>

#include <optional>

class LeakRun
{
public:
    static constexpr double kLongestSilenceS = 2;
    static constexpr double kMostLeftOut = 0.05;
    // A leak rate below it is a rise, not a tight cuff.
    static constexpr double kLowestRateMmHgPerMin = -1;

    // Keeps at most `curveMaxSamples` readings of the whole stretch.
    LeakRun(const CheckLimits &limits, const QString &port, qint64 startMs, int curveMaxSamples);

    void reading(qint64 ms, int mmHg);
    // Time has reached `ms` (any entry): the settling may run out, the window end.
    void advance(qint64 ms);
    // Traffic was lost while it ran (the words say what and when).
    void interrupt(const QString &what);
    // Break, another mode, a port change or loss.
    void end(qint64 ms, const QString &endedBy);

    // The record as it stands; one still running is incomplete and says why.
    CheckReport::LeakTest test() const;
    // The last reading was a new peak.
    bool risingNow() const { return m_risingNow; }
    // The earliest time the window can begin; none before the peak.
    std::optional<qint64> earliestWindowMs() const;

private:
    void peakOrSettle(qint64 ms, int mmHg);
    void startWindow(qint64 ms, bool settled);
    void windowReading(qint64 ms, int mmHg);
    void complete();
    void fitWindow();
    void judge();
    void note(const QString &reason);
    QString unfinished() const;
    qint64 latestWindowMs() const;
    qint64 windowEndMs() const;

    CheckLimits m_limits;
    int m_curveMaxSamples = 0;
    CheckReport::LeakTest m_test;
    SettlingCheck m_settling;
    LeakFit m_running;              // the window so far, for the live rate
    QList<PressureSample> m_window; // the window's readings
    std::optional<qint64> m_lastMs; // of the last reading
    qint64 m_lastInWindowMs = 0;
    bool m_risingNow = false;
    bool m_rose = false;
    bool m_ended = false;
    QStringList m_reasons; // why it cannot be judged, as found
};
