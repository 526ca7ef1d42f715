// SPDX-License-Identifier: MIT
#include "report_json.h"

#include "json_writer.h"
#include "trace_header.h"

#include <QBuffer>
#include <QJsonDocument>

#include <algorithm>
#include <cstring>

// Each object's keys are written sorted, as QJsonDocument orders them, so
// that the text is the same as when the report was a QJsonDocument.

namespace {

void number(JsonWriter &w, const std::optional<double> &value)
{
    value ? w.value(*value) : w.null(); // unrounded; NaN, infinity null
}

void number(JsonWriter &w, const std::optional<int> &value)
{
    value ? w.value(*value) : w.null();
}

// A trace time: seconds since the trace began.
void seconds(JsonWriter &w, const std::optional<qint64> &ms)
{
    ms ? w.value(*ms / 1000.0) : w.null();
}

void verdict(JsonWriter &w, Verdict v)
{
    v == Verdict::None ? w.null() : w.value(verdictName(v));
}

void orNull(JsonWriter &w, const QString &value)
{
    value.isEmpty() ? w.null() : w.value(value);
}

void limits(JsonWriter &w, const CheckLimits &l)
{
    std::vector<CheckLimits::Key> keys = CheckLimits::keys();
    std::sort(keys.begin(), keys.end(), [](const CheckLimits::Key &a, const CheckLimits::Key &b) {
        return std::strcmp(a.name, b.name) < 0;
    });
    w.beginObject();
    for (const CheckLimits::Key &key : keys)
        w.key(key.name).value(l.*(key.value));
    w.end();
}

void samples(JsonWriter &w, const QList<PressureSample> &list)
{
    w.beginArray();
    for (const PressureSample &s : list) {
        w.beginObject();
        seconds(w.key("at_s"), s.ms);
        w.key("mmHg").value(s.mmHg);
        w.end();
    }
    w.end();
}

void leakTest(JsonWriter &w, const CheckReport::LeakTest &t)
{
    w.beginObject();
    w.key("drop_mmHg").value(t.dropMmHg);
    orNull(w.key("ended_by"), t.endedBy);
    number(w.key("hold_mmHg"), t.holdMmHg);
    samples(w.key("outliers"), t.outliers);
    w.key("port").value(t.port);
    number(w.key("rate_mmHg_per_min"), t.rateMmHgPerMin);
    orNull(w.key("reason"), t.reason);
    w.key("settle_s").value(t.settleS);
    w.key("settled").value(t.settled);
    seconds(w.key("start_s"), t.startMs);
    verdict(w.key("verdict"), t.verdict);
    w.key("window_readings").value(t.windowReadings);
    w.key("window_s").value(t.windowS);
    seconds(w.key("window_start_s"), t.windowStartMs);
    w.end();
}

void staticPoint(JsonWriter &w, const CheckReport::StaticPoint &p)
{
    w.beginObject();
    seconds(w.key("at_s"), p.ms);
    w.key("board_mmHg").value(p.boardMmHg);
    w.key("error_mmHg").value(p.errorMmHg);
    w.key("port").value(p.port);
    w.key("readings").value(p.readings);
    orNull(w.key("reason"), p.reason);
    w.key("reference_mmHg").value(p.referenceMmHg);
    w.key("spread_mmHg").value(p.spreadMmHg);
    verdict(w.key("verdict"), p.verdict);
    w.end();
}

void stretch(JsonWriter &w, const CheckReport::Stretch &s)
{
    w.beginObject();
    seconds(w.key("exceeded_at_s"), s.exceededMs);
    w.key("kind").value(stretchKindName(s.kind));
    w.key("limit_mmHg").value(s.limitMmHg);
    w.key("max_mmHg").value(s.maxMmHg);
    w.key("patient").value(patientModeName(s.patient));
    w.key("port").value(s.port);
    orNull(w.key("reason"), s.reason);
    seconds(w.key("start_s"), s.startMs);
    verdict(w.key("verdict"), s.verdict);
    w.end();
}

void statistic(JsonWriter &w, const CheckReport::Statistic &s)
{
    const auto ifAny = [&s](double value) {
        return s.n > 0 ? std::optional<double>(value) : std::nullopt;
    };
    w.beginObject();
    number(w.key("max"), ifAny(s.max));
    number(w.key("mean"), ifAny(s.mean));
    number(w.key("mean_error"), s.meanError);
    number(w.key("min"), ifAny(s.min));
    w.key("n").value(s.n);
    number(w.key("reference"), s.reference);
    number(w.key("sd"), s.sd);
    verdict(w.key("verdict"), s.verdict);
    w.end();
}

void measurement(JsonWriter &w, const CheckReport::Measurement &m)
{
    w.beginObject();
    seconds(w.key("at_s"), m.ms);
    number(w.key("diastolic"), m.diastolic);
    w.key("ended_999").value(m.ended999);
    number(w.key("mean"), m.mean);
    w.key("port").value(m.port);
    number(w.key("pulse"), m.pulse);
    number(w.key("systolic"), m.systolic);
    w.end();
}

void measurements(JsonWriter &w, const CheckReport::Measurements &m)
{
    w.beginObject();
    w.key("count").value(m.count);
    statistic(w.key("diastolic"), m.diastolic);
    w.key("ended_999").value(m.ended999);
    w.key("list").beginArray();
    for (const CheckReport::Measurement &one : m.list)
        measurement(w, one);
    w.end();
    statistic(w.key("mean"), m.mean);
    statistic(w.key("pulse"), m.pulse);
    orNull(w.key("reason"), m.reason);
    statistic(w.key("systolic"), m.systolic);
    verdict(w.key("verdict"), m.verdict);
    w.end();
}

void refusal(JsonWriter &w, const CheckReport::Refusal &r)
{
    w.beginObject();
    seconds(w.key("at_s"), r.ms);
    w.key("port").value(r.port);
    w.key("reason").value(r.reason);
    w.key("reference_mmHg").value(r.referenceMmHg);
    w.end();
}

void gap(JsonWriter &w, const CheckReport::Gap &g)
{
    w.beginObject();
    seconds(w.key("from_s"), g.fromMs);
    w.key("port").value(g.port);
    seconds(w.key("to_s"), g.toMs);
    w.key("what").value(g.what);
    w.end();
}

// Each of `list` as `one` writes it, in an array.
template <typename T, typename Write> void array(JsonWriter &w, const QList<T> &list, Write one)
{
    w.beginArray();
    for (const T &item : list)
        one(w, item);
    w.end();
}

void inflation(JsonWriter &w, const CheckReport::Inflation &i)
{
    w.beginObject();
    seconds(w.key("end_s"), i.endMs);
    seconds(w.key("exceeded_at_s"), i.exceededMs);
    w.key("kind").value(stretchKindName(i.kind));
    w.key("limit_s").value(i.limitS);
    w.key("patient").value(patientModeName(i.patient));
    w.key("port").value(i.port);
    orNull(w.key("reason"), i.reason);
    w.key("seconds").value(i.seconds);
    seconds(w.key("start_s"), i.startMs);
    w.key("threshold_mmHg").value(i.thresholdMmHg);
    verdict(w.key("verdict"), i.verdict);
    w.end();
}

// Each check's verdict: what the summary of the PDF shows.
void checkVerdicts(JsonWriter &w, const CheckReport &report)
{
    w.beginObject();
    verdict(w.key("inflation"), report.inflationVerdict);
    verdict(w.key("leak"), report.leakVerdict);
    verdict(w.key("measurements"), report.measurements.verdict);
    verdict(w.key("over_pressure"), report.overPressureVerdict);
    verdict(w.key("static"), report.staticVerdict);
    w.end();
}

void plan(JsonWriter &w, const std::optional<CheckReport::Plan> &plan)
{
    if (!plan) {
        w.null(); // a free check
        return;
    }
    w.beginObject();
    w.key("fixed_limits").beginArray();
    for (const QString &key : plan->limitKeys)
        w.value(key);
    w.end();
    w.key("name").value(plan->name);
    w.key("patient").value(plan->patient);
    w.key("sha256").value(plan->sha256);
    w.key("version").value(plan->version);
    w.end();
}

void setPoint(JsonWriter &w, const std::optional<SetPoint> &point)
{
    if (!point) {
        w.null();
        return;
    }
    w.beginObject();
    w.key("diastolic").value(point->diastolic);
    number(w.key("mean"), point->mean);
    number(w.key("pulse"), point->pulse);
    w.key("systolic").value(point->systolic);
    w.end();
}

void plannedPoint(JsonWriter &w, const CheckReport::PlannedPoint &p)
{
    w.beginObject();
    w.key("planned_mmHg").value(p.plannedMmHg);
    p.recorded ? staticPoint(w.key("recorded"), *p.recorded) : w.key("recorded").null();
    verdict(w.key("verdict"), p.verdict);
    w.end();
}

// The values of a leak or static step, which sort between "ending" and
// "reason" (a series step's sort around them: planStep).
void stepValues(JsonWriter &w, const CheckReport::PlanStep &s)
{
    if (s.step == QLatin1String("leak")) {
        w.key("hold_max_mmHg").value(s.holdMaxMmHg);
        w.key("hold_min_mmHg").value(s.holdMinMmHg);
        s.leakTest ? leakTest(w.key("leak_test"), *s.leakTest) : w.key("leak_test").null();
    } else if (s.step == QLatin1String("static")) {
        array(w.key("points"), s.points, plannedPoint);
    }
}

void planStep(JsonWriter &w, const CheckReport::PlanStep &s)
{
    // A step the run never reached has no span.
    const bool ran = s.startMs != 0 || s.endMs != 0;
    const bool series = s.step == QLatin1String("series");
    w.beginObject();
    if (series)
        w.key("count").value(s.count);
    seconds(w.key("end_s"), ran ? std::optional<qint64>(s.endMs) : std::nullopt);
    w.key("ending").value(s.ending);
    stepValues(w, s); // hold_…, leak_test; points
    if (series)
        w.key("pause_s").value(s.pauseS);
    orNull(w.key("reason"), s.reason);
    if (series) {
        s.series ? measurements(w.key("results"), *s.series) : w.key("results").null();
        setPoint(w.key("set_point"), s.setPoint);
    }
    seconds(w.key("start_s"), ran ? std::optional<qint64>(s.startMs) : std::nullopt);
    w.key("step").value(s.step);
    verdict(w.key("verdict"), s.verdict);
    w.end();
}

} // namespace

bool ReportJson::write(const CheckReport &report, QIODevice &out)
{
    const CheckReport::Session &session = report.session;
    JsonWriter w(out);
    w.beginObject();
    orNull(w.key("board"), session.board);
    checkVerdicts(w.key("check_verdicts"), report);
    orNull(w.key("device"), session.device);
    array(w.key("gaps"), report.gaps, gap);
    array(w.key("inflation"), report.inflation, inflation);
    array(w.key("leak_tests"), report.leakTests, leakTest);
    limits(w.key("limits"), report.limits);
    measurements(w.key("measurements"), report.measurements);
    orNull(w.key("operator"), session.operatorName);
    array(w.key("over_pressure"), report.overPressure, stretch);
    plan(w.key("plan"), report.plan);
    orNull(w.key("port"), session.port);
    orNull(w.key("program"), session.program);
    orNull(w.key("reference_instrument"), session.instrument);
    array(w.key("refusals"), report.refusals, refusal);
    w.key("started");
    session.started.isValid() ? w.value(TraceHeader::isoWithOffset(session.started)) : w.null();
    array(w.key("static_points"), report.staticPoints, staticPoint);
    array(w.key("steps"), report.steps, planStep);
    // Nothing to judge is no pass: a script sees "incomplete", as the exit code says.
    verdict(w.key("verdict"),
            report.verdict == Verdict::None ? Verdict::Incomplete : report.verdict);
    w.end();
    return w.finish();
}

QByteArray ReportJson::text(const CheckReport &report)
{
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    write(report, buffer);
    return text;
}

QJsonObject ReportJson::object(const CheckReport &report)
{
    return QJsonDocument::fromJson(text(report)).object();
}
