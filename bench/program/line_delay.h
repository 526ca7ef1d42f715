// SPDX-License-Identifier: MIT
// Pairs each reply line written to the board's end of the line with the
// moment its pressure first showed in the Map field, and with the first
// repaint of the field after that. A line counts as missed when its value
// does not show within the horizon (a newer line took its place first).
// Consecutive lines must carry different values, as a manometer ramp does.
#pragma once

#include <QList>
#include <QString>

#include <vector>

class LineDelay
{
public:
    struct Event
    {
        qint64 ns = 0;
        QString text;
    };

    std::vector<double> toFieldMs; // CR written -> Map holds the value
    std::vector<double> toPaintMs; // CR written -> Map starts to repaint
    int missed = 0;

    // sent: the time each line's CR was written and its pressure text;
    // changes: each change of Map's text; paints: each repaint of Map.
    // All three in time order.
    static LineDelay match(const QList<Event> &sent, const QList<Event> &changes,
                           const QList<qint64> &paints, qint64 horizonNs);
};
