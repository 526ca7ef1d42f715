// SPDX-License-Identifier: MIT
// The measurements in a traffic trace, each as a curve of cuff pressure over
// time with its marks. A measurement begins with a START frame sent to the
// board, or with the first pressure above 0 that an automatic (cycle) start
// brings while no measurement runs; it ends with a result line, with "999",
// with the pressure back at 0 after a Break, or when the next START,
// Manometer or Leak Test frame goes out. Manometer and leak-test pressures
// belong to no measurement. Pressures come from the pressure lines as the
// panel reads them; the status answer (a pressure line too) only adds a point
// when it arrives during a measurement. MeasurementSplitter does the cutting.
#pragma once

#include "trace_reader.h"

#include <QList>
#include <QPointF>
#include <QString>

#include <optional>

class MeasurementCurve
{
public:
    enum class Mark { Start, Break, Result, Aborted };
    struct Marker
    {
        qint64 ms;
        Mark mark;
    };
    struct Values
    {
        QString systolic, diastolic, mean, pulse;
    };
    struct Point
    {
        qint64 ms;
        int pressure;
    };

    qint64 startMs = 0; // trace time of the first point or mark
    qint64 endMs = 0;   // trace time of the last point or mark
    QString port;
    QList<Point> points;
    QList<Marker> marks;
    std::optional<Values> result; // set when a result line ended it
    bool cut = false;             // ran past MeasurementSplitter::kMaxPoints and was cut there

    // Every measurement of a trace read whole.
    static QList<MeasurementCurve> fromTrace(const QList<TrafficEntry> &entries);
    static QString markName(Mark mark);
};
