// SPDX-License-Identifier: MIT
#include "report_json.h"

#include "trace_header.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace {

QJsonValue number(double value)
{
    // One decimal; -0.0 would read "-0".
    const double rounded = std::round(value * 10.0) / 10.0;
    return rounded == 0.0 ? 0.0 : rounded;
}

QJsonValue number(const std::optional<double> &value)
{
    return value ? number(*value) : QJsonValue(QJsonValue::Null);
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
    return {{"static_mmHg", number(l.staticMmHg)},
            {"leak_mmHg_per_min", number(l.leakMmHgPerMin)},
            {"max_pressure_adult_mmHg", number(l.maxPressureAdultMmHg)},
            {"max_pressure_neonate_mmHg", number(l.maxPressureNeonateMmHg)},
            {"mean_error_mmHg", number(l.meanErrorMmHg)},
            {"sd_mmHg", number(l.sdMmHg)},
            {"leak_settle_s", number(l.leakSettleS)},
            {"leak_window_s", number(l.leakWindowS)},
            {"static_window_s", number(l.staticWindowS)},
            {"static_spread_mmHg", number(l.staticSpreadMmHg)}};
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
                                 {"ended_by", orNull(t.endedBy)},
                                 {"verdict", verdict(t.verdict)}});
    return array;
}

QJsonArray staticPoints(const QList<CheckReport::StaticPoint> &points)
{
    QJsonArray array;
    for (const CheckReport::StaticPoint &p : points)
        array.append(QJsonObject{{"reference_mmHg", number(p.referenceMmHg)},
                                 {"board_mmHg", number(p.boardMmHg)},
                                 {"error_mmHg", number(p.errorMmHg)},
                                 {"verdict", verdict(p.verdict)}});
    return array;
}

QJsonArray overPressure(const QList<CheckReport::Stretch> &stretches)
{
    QJsonArray array;
    for (const CheckReport::Stretch &s : stretches)
        array.append(QJsonObject{{"kind", s.kind},
                                 {"patient", s.patient},
                                 {"port", s.port},
                                 {"max_mmHg", number(s.maxMmHg)},
                                 {"limit_mmHg", number(s.limitMmHg)},
                                 {"exceeded_at_s", s.exceededMs ? number(*s.exceededMs / 1000.0)
                                                                : QJsonValue(QJsonValue::Null)},
                                 {"verdict", verdict(s.verdict)}});
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

} // namespace

QJsonObject ReportJson::object(const CheckReport &report)
{
    const CheckReport::Session &session = report.session;
    const CheckReport::Measurements &m = report.measurements;
    const QJsonObject measurements{{"count", m.count},
                                   {"ended_999", m.ended999},
                                   {"systolic", statistic(m.systolic)},
                                   {"diastolic", statistic(m.diastolic)},
                                   {"mean", statistic(m.mean)},
                                   {"pulse", statistic(m.pulse)},
                                   {"verdict", verdict(m.verdict)}};
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
            {"over_pressure", overPressure(report.overPressure)},
            {"measurements", measurements},
            {"verdict", verdict(overall)}};
}

QByteArray ReportJson::text(const CheckReport &report)
{
    return QJsonDocument(object(report)).toJson(QJsonDocument::Indented);
}
