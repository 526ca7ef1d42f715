// SPDX-License-Identifier: MIT
// Cuts a traffic trace into measurements as its entries come, one at a time,
// so a trace of any length can be drawn page by page: the measurements that
// have ended are taken out as they pile up, and only the one still running is
// kept. How a measurement begins and ends is told in measurement_curve.h.
// Received lines are read by BoardReply, so only a whole line (STX to CR)
// counts, as for the panel. A measurement keeps at most kMaxPoints pressures:
// one that runs on longer (a board that never ends it) is cut there, and the
// pressures after the cut begin a measurement of their own.
#pragma once

#include "measurement_curve.h"
#include "trace_reader.h"

#include <QList>

class MeasurementSplitter
{
public:
    static constexpr int kMaxPoints = 10000;

    void add(const TrafficEntry &entry);
    // The trace has ended: the measurement still running counts as ended too.
    void finish();
    // How many ended measurements wait to be taken.
    qsizetype endedCount() const;
    // Takes out up to `count` ended measurements, the oldest first.
    QList<MeasurementCurve> takeEnded(qsizetype count);

private:
    enum class Activity { Idle, Measuring, OtherMode, Venting };

    void sent(const TrafficEntry &entry);
    void received(const TrafficEntry &entry);
    void pressure(const TrafficEntry &entry, int value);
    void close();
    void begin(const TrafficEntry &entry);
    MeasurementCurve &current() { return m_curves.last(); }
    void mark(qint64 ms, MeasurementCurve::Mark mark);

    QList<MeasurementCurve> m_curves; // the ended ones, then the running one
    Activity m_activity = Activity::Idle;
    bool m_broken = false;
};
