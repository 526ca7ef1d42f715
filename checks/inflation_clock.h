// SPDX-License-Identifier: MIT
// The inflation time of one measurement stretch as it runs: the time the
// cuff stays above the threshold of the patient mode (15 mmHg adult, 5 mmHg
// neonate), added up over the stretch. From a reading above the threshold
// the time counts until the next reading at or below it, or the stretch's
// end; a reading on the threshold does not count. Over the longest inflation
// time of the mode (inflation_adult_s, inflation_neonate_s) the stretch
// fails, from the first entry after the limit was passed.
//
// ChecksEngine runs one for each measurement stretch (leak-test and
// manometer stretches hold pressure on purpose and have none): it hands on
// the passing time of every entry, so a cuff held up is caught while it is
// held, not only when the stretch ends.
#pragma once

#include "check_report.h"

class InflationClock
{
public:
    static constexpr double kAdultThresholdMmHg = 15;
    static constexpr double kNeonateThresholdMmHg = 5;

    // For `stretch` (its kind, port, patient and start), judged by `limits`.
    InflationClock(const CheckReport::Stretch &stretch, const CheckLimits &limits);

    // Time has reached `ms` (any entry). True the first time the time above
    // the threshold passes the limit: the stretch has just failed.
    bool advance(qint64 ms);
    // A pressure reading at `ms`; advance(ms) first.
    void reading(qint64 ms, int mmHg);
    // Traffic was lost while it ran; a stretch already failed stays failed.
    void interrupt(const QString &why);
    // Starts counting afresh at `ms` (checks cleared); a cuff above stays above.
    void restart(qint64 ms);

    const CheckReport::Inflation &record() const { return m_record; }

private:
    CheckReport::Inflation m_record;
    qint64 m_aboveMs = 0;                 // time above so far
    std::optional<qint64> m_aboveSinceMs; // the last reading was above, counted up to here
};
