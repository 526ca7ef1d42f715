// SPDX-License-Identifier: MIT
#include "measurement_curve.h"

#include "measurement_splitter.h"
#include "reply_line.h"

QList<MeasurementCurve> MeasurementCurve::fromTrace(const QList<TrafficEntry> &entries)
{
    MeasurementSplitter splitter;
    for (const TrafficEntry &entry : entries)
        splitter.add(entry);
    splitter.finish();
    return splitter.takeEnded(splitter.endedCount());
}

QString MeasurementCurve::markName(Mark mark)
{
    switch (mark) {
    case Mark::Start:
        return QStringLiteral("START");
    case Mark::Break:
        return QStringLiteral("Break");
    case Mark::Result:
        return QStringLiteral("result");
    case Mark::Aborted:
        return QString::fromLatin1(ReplyLine::kEndValue);
    }
    return {};
}
