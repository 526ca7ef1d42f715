// SPDX-License-Identifier: MIT
#include "line_delay.h"

#include <algorithm>

LineDelay LineDelay::match(const QList<Event> &sent, const QList<Event> &changes,
                           const QList<qint64> &paints, qint64 horizonNs)
{
    LineDelay result;
    qsizetype next = 0; // first change not yet paired
    for (const Event &line : sent) {
        while (next < changes.size() && changes.at(next).ns < line.ns)
            ++next;
        qsizetype found = -1;
        for (qsizetype k = next; k < changes.size() && changes.at(k).ns <= line.ns + horizonNs;
             ++k) {
            if (changes.at(k).text == line.text) {
                found = k;
                break;
            }
        }
        if (found < 0) {
            ++result.missed;
            continue;
        }
        const qint64 shown = changes.at(found).ns;
        result.toFieldMs.push_back(double(shown - line.ns) / 1e6);
        const auto paint = std::lower_bound(paints.begin(), paints.end(), shown);
        if (paint != paints.end())
            result.toPaintMs.push_back(double(*paint - line.ns) / 1e6);
        next = found + 1;
    }
    return result;
}
