// SPDX-License-Identifier: MIT
#include "report_json.h"

#include "trace_header.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace {

QJsonValue number(double value)
{
    // Unrounded; JSON has no NaN or infinity, and -0 would read "-0".
    if (!std::isfinite(value))
        return QJsonValue(QJsonValue::Null);
    return value == 0.0 ? 0.0 : value;
}

QJsonValue number(const std::optional<double> &value)
{
    return value ? number(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue number(const std::optional<int> &value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

// A trace time: seconds since the trace began.
QJsonValue seconds(qint64 ms)
{
    return number(ms / 1000.0);
}

QJsonValue seconds(const std::optional<qint64> &ms)
{
    return ms ? seconds(*ms) : QJsonValue(QJsonValue::Null);
}

QJsonValue verdict(Verdict v)
{
    return v == Verdict::None ? QJsonValue(QJsonValue::Null) : QJsonValue(verdictName(v));
}

QJsonValue orNull(const QString &value)
{
    return value.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(value);
}

QJsonObject limits(const CheckLimits &l)
{
    QJsonObject object;
    for (const CheckLimits::Key &key : CheckLimits::keys())
        object.insert(QLatin1String(key.name), number(l.*(key.value)));
    return object;
}

QJsonArray samples(const QList<PressureSample> &list)
{
    QJsonArray array;
    for (const PressureSample &s : list)
        array.append(QJsonObject{{"at_s", seconds(s.ms)}, {"mmHg", s.mmHg}});
    return array;
}

QJsonArray leakTests(const QList<CheckReport::LeakTest> &tests)
{
    QJsonArray array;
    for (const CheckReport::LeakTest &t : tests)
        array.append(QJsonObject{{"hold_mmHg", number(t.holdMmHg)},
                                 {"drop_mmHg", number(t.dropMmHg)},
                                 {"rate_mmHg_per_min", number(t.rateMmHgPerMin)},
                                 {"window_s", number(t.windowS)},
                                 {"port", t.port},
                                 {"start_s", seconds(t.startMs)},
                                 {"window_start_s", seconds(t.windowStartMs)},
                                 {"settle_s", number(t.settleS)},
                                 {"settled", t.settled},
                                 {"window_readings", t.windowReadings},
                                 {"outliers", samples(t.outliers)},
                                 {"ended_by", orNull(t.endedBy)},
                                 {"verdict", verdict(t.verdict)},
                                 {"reason", orNull(t.reason)}});
    return array;
}

QJsonArray staticPoints(const QList<CheckReport::StaticPoint> &points)
{
    QJsonArray array;
    for (const CheckReport::StaticPoint &p : points)
        array.append(QJsonObject{{"reference_mmHg", number(p.referenceMmHg)},
                                 {"board_mmHg", number(p.boardMmHg)},
                                 {"error_mmHg", number(p.errorMmHg)},
                                 {"spread_mmHg", number(p.spreadMmHg)},
                                 {"readings", p.readings},
                                 {"at_s", seconds(p.ms)},
                                 {"port", p.port},
                                 {"verdict", verdict(p.verdict)},
                                 {"reason", orNull(p.reason)}});
    return array;
}

QJsonArray overPressure(const QList<CheckReport::Stretch> &stretches)
{
    QJsonArray array;
    for (const CheckReport::Stretch &s : stretches)
        array.append(QJsonObject{{"kind", s.kind},
                                 {"patient", s.patient},
                                 {"port", s.port},
                                 {"start_s", seconds(s.startMs)},
                                 {"max_mmHg", s.maxMmHg},
                                 {"limit_mmHg", number(s.limitMmHg)},
                                 {"exceeded_at_s", seconds(s.exceededMs)},
                                 {"verdict", verdict(s.verdict)},
                                 {"reason", orNull(s.reason)}});
    return array;
}

QJsonObject statistic(const CheckReport::Statistic &s)
{
    const bool any = s.n > 0;
    return {{"n", s.n},
            {"mean", any ? number(s.mean) : QJsonValue(QJsonValue::Null)},
            {"sd", number(s.sd)},
            {"min", any ? number(s.min) : QJsonValue(QJsonValue::Null)},
            {"max", any ? number(s.max) : QJsonValue(QJsonValue::Null)},
            {"reference", number(s.reference)},
            {"mean_error", number(s.meanError)},
            {"verdict", verdict(s.verdict)}};
}

QJsonObject measurements(const CheckReport::Measurements &m)
{
    QJsonArray list;
    for (const CheckReport::Measurement &one : m.list)
        list.append(QJsonObject{{"at_s", seconds(one.ms)},
                                {"port", one.port},
                                {"ended_999", one.ended999},
                                {"systolic", number(one.systolic)},
                                {"diastolic", number(one.diastolic)},
                                {"mean", number(one.mean)},
                                {"pulse", number(one.pulse)}});
    return {{"count", m.count},
            {"ended_999", m.ended999},
            {"systolic", statistic(m.systolic)},
            {"diastolic", statistic(m.diastolic)},
            {"mean", statistic(m.mean)},
            {"pulse", statistic(m.pulse)},
            {"verdict", verdict(m.verdict)},
            {"reason", orNull(m.reason)},
            {"list", list}};
}

QJsonArray refusals(const QList<CheckReport::Refusal> &list)
{
    QJsonArray array;
    for (const CheckReport::Refusal &r : list)
        array.append(QJsonObject{{"at_s", seconds(r.ms)},
                                 {"port", r.port},
                                 {"reference_mmHg", number(r.referenceMmHg)},
                                 {"reason", r.reason}});
    return array;
}

QJsonArray gaps(const QList<CheckReport::Gap> &list)
{
    QJsonArray array;
    for (const CheckReport::Gap &g : list)
        array.append(QJsonObject{{"from_s", seconds(g.fromMs)},
                                 {"to_s", seconds(g.toMs)},
                                 {"port", g.port},
                                 {"what", g.what}});
    return array;
}

} // namespace

QJsonObject ReportJson::object(const CheckReport &report)
{
    const CheckReport::Session &session = report.session;
    // Nothing to judge is no pass: a script sees "incomplete", as the exit code says.
    const Verdict overall = report.verdict == Verdict::None ? Verdict::Incomplete : report.verdict;
    return {{"program", orNull(session.program)},
            {"board", orNull(session.board)},
            {"operator", orNull(session.operatorName)},
            {"reference_instrument", orNull(session.instrument)},
            {"started", session.started.isValid()
                            ? QJsonValue(TraceHeader::isoWithOffset(session.started))
                            : QJsonValue(QJsonValue::Null)},
            {"port", orNull(session.port)},
            {"device", orNull(session.device)},
            {"limits", limits(report.limits)},
            {"leak_tests", leakTests(report.leakTests)},
            {"static_points", staticPoints(report.staticPoints)},
            {"refusals", refusals(report.refusals)},
            {"over_pressure", overPressure(report.overPressure)},
            {"measurements", measurements(report.measurements)},
            {"gaps", gaps(report.gaps)},
            {"verdict", verdict(overall)}};
}

QByteArray ReportJson::text(const CheckReport &report)
{
    return QJsonDocument(object(report)).toJson(QJsonDocument::Indented);
}
