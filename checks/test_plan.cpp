// SPDX-License-Identifier: MIT
#include "test_plan.h"

#include "bench_input.h"

#include "json_duplicate_keys.h"
#include "plain_file_check.h"
#include "standard_plan_text.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

using Problem = TestPlan::Problem;
using Found = std::optional<Problem>;

// What a number must be: within low..high (both included), whole or not.
struct Range
{
    double low;
    double high;
    bool whole;
    const char *unit; // "" for a count
};

constexpr Range kPressure{0, 300, false, "mmHg"};
constexpr Range kCount{2, 1000, true, ""};
constexpr Range kPause{0, 600, false, "s"};

QString member(const QString &path, const QString &key)
{
    return path.isEmpty() ? key : path + QLatin1Char('.') + key;
}

QString element(const QString &path, qsizetype index)
{
    return QStringLiteral("%1[%2]").arg(path).arg(index);
}

QString kindOf(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return QStringLiteral("true or false");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("a list");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    default:
        return QStringLiteral("null");
    }
}

Problem wrongType(const QString &key, const QJsonValue &value, const char *wanted)
{
    return {key, QStringLiteral("%1, not %2").arg(kindOf(value), QLatin1String(wanted))};
}

// Every key of `object` is one of `names`, and each of them is there.
Found keysOf(const QJsonObject &object, const QString &path, const QStringList &names)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!names.contains(it.key()))
            return Problem{member(path, it.key()), QStringLiteral("unknown key")};
    }
    for (const QString &name : names) {
        if (!object.contains(name))
            return Problem{member(path, name), QStringLiteral("missing")};
    }
    return std::nullopt;
}

Found objectOf(const QJsonValue &value, const QString &key, QJsonObject *out)
{
    if (!value.isObject())
        return wrongType(key, value, "an object");
    *out = value.toObject();
    return std::nullopt;
}

Found numberOf(const QJsonValue &value, const QString &key, const Range &range, double *out)
{
    if (!value.isDouble())
        return wrongType(key, value, "a number");
    const double number = value.toDouble();
    const QString unit = *range.unit ? QStringLiteral(" ") + QLatin1String(range.unit) : QString();
    if (number < range.low || number > range.high)
        return Problem{key, QStringLiteral("%1 is outside %2..%3%4")
                                .arg(CheckLimits::text(number), CheckLimits::text(range.low),
                                     CheckLimits::text(range.high), unit)};
    if (range.whole && number != std::floor(number))
        return Problem{key, QStringLiteral("%1 is no whole number").arg(CheckLimits::text(number))};
    *out = number;
    return std::nullopt;
}

Found textOf(const QJsonValue &value, const QString &key, QString *out)
{
    if (!value.isString())
        return wrongType(key, value, "a string");
    if (value.toString().trimmed().isEmpty())
        return Problem{key, QStringLiteral("empty")};
    *out = value.toString();
    return std::nullopt;
}

} // namespace

namespace {

// "SYS/DIA" or "SYS/DIA/MAP" in mmHg, each above 0 with one decimal at
// most, systolic above diastolic, a mean from diastolic to systolic: the
// form tarnvik-report's --reference-bp takes, checked as BenchInput checks it.
Found setPointOf(const QJsonValue &value, const QString &key, SetPoint *out)
{
    if (!value.isString())
        return wrongType(key, value, "a string");
    static const QRegularExpression form(
        QStringLiteral("^(\\d{1,3}(?:\\.\\d)?)/(\\d{1,3}(?:\\.\\d)?)(?:/(\\d{1,3}(?:\\.\\d)?))?$"));
    const QRegularExpressionMatch match = form.match(value.toString());
    const double systolic = match.captured(1).toDouble();
    const double diastolic = match.captured(2).toDouble();
    const bool hasMean = match.hasCaptured(3) && !match.captured(3).isEmpty();
    const double mean = match.captured(3).toDouble();
    if (!match.hasMatch() || diastolic <= 0 || systolic <= diastolic || (hasMean && mean <= 0))
        return Problem{key, QStringLiteral("\"%1\" is not SYS/DIA or SYS/DIA/MAP in mmHg with "
                                           "systolic above diastolic")
                                .arg(value.toString())};
    *out = SetPoint{systolic, diastolic, std::nullopt, std::nullopt};
    if (hasMean)
        out->mean = mean;
    const BenchInput::SetPointCheck check = BenchInput::checkSetPoint(*out);
    if (check.outcome != BenchInput::SetPointCheck::Outcome::Given)
        return Problem{key, QStringLiteral("\"%1\" %2").arg(value.toString(), check.refusal.text)};
    return std::nullopt;
}

Found leakOf(const QJsonObject &body, const QString &path, TestPlan::Leak *out)
{
    const QString low = member(path, QStringLiteral("hold_min_mmHg"));
    const QString high = member(path, QStringLiteral("hold_max_mmHg"));
    if (Found problem =
            keysOf(body, path, {QStringLiteral("hold_min_mmHg"), QStringLiteral("hold_max_mmHg")}))
        return problem;
    if (Found problem =
            numberOf(body.value(QLatin1String("hold_min_mmHg")), low, kPressure, &out->holdMinMmHg))
        return problem;
    if (Found problem = numberOf(body.value(QLatin1String("hold_max_mmHg")), high, kPressure,
                                 &out->holdMaxMmHg))
        return problem;
    if (out->holdMinMmHg > out->holdMaxMmHg)
        return Problem{low, QStringLiteral("%1 is above hold_max_mmHg %2")
                                .arg(CheckLimits::text(out->holdMinMmHg),
                                     CheckLimits::text(out->holdMaxMmHg))};
    return std::nullopt;
}

Found staticOf(const QJsonObject &body, const QString &path, TestPlan::Static *out)
{
    const QString key = member(path, QStringLiteral("points_mmHg"));
    if (Found problem = keysOf(body, path, {QStringLiteral("points_mmHg")}))
        return problem;
    const QJsonValue value = body.value(QLatin1String("points_mmHg"));
    if (!value.isArray())
        return wrongType(key, value, "a list");
    const QJsonArray points = value.toArray();
    if (points.isEmpty())
        return Problem{key,
                       QStringLiteral("an empty list; a static step holds one point at least")};
    for (qsizetype i = 0; i < points.size(); ++i) {
        double point = 0;
        if (Found problem = numberOf(points.at(i), element(key, i), kPressure, &point))
            return problem;
        out->pointsMmHg.append(point);
    }
    return std::nullopt;
}

Found seriesOf(const QJsonObject &body, const QString &path, TestPlan::Series *out)
{
    if (Found problem = keysOf(
            body, path,
            {QStringLiteral("set_point"), QStringLiteral("count"), QStringLiteral("pause_s")}))
        return problem;
    if (Found problem = setPointOf(body.value(QLatin1String("set_point")),
                                   member(path, QStringLiteral("set_point")), &out->setPoint))
        return problem;
    double count = 0;
    if (Found problem = numberOf(body.value(QLatin1String("count")),
                                 member(path, QStringLiteral("count")), kCount, &count))
        return problem;
    out->count = static_cast<int>(count);
    return numberOf(body.value(QLatin1String("pause_s")), member(path, QStringLiteral("pause_s")),
                    kPause, &out->pauseS);
}

// One step: an object with one key, the step's kind, and its body.
Found stepOf(const QJsonValue &value, const QString &path, TestPlan::Step *out)
{
    using Kind = TestPlan::Step::Kind;
    QJsonObject step;
    if (Found problem = objectOf(value, path, &step))
        return problem;
    const QStringList kinds{QStringLiteral("leak"), QStringLiteral("static"),
                            QStringLiteral("series")};
    for (auto it = step.begin(); it != step.end(); ++it) {
        if (!kinds.contains(it.key()))
            return Problem{member(path, it.key()),
                           QStringLiteral("unknown key; a step is one of leak, static, series")};
    }
    if (step.size() != 1)
        return Problem{
            path,
            QStringLiteral("%1 keys; a step is one of leak, static, series").arg(step.size())};
    const QString name = step.begin().key();
    const QString inner = member(path, name);
    QJsonObject body;
    if (Found problem = objectOf(step.begin().value(), inner, &body))
        return problem;
    out->kind = Kind(kinds.indexOf(name));
    switch (out->kind) {
    case Kind::Leak:
        return leakOf(body, inner, &out->leak);
    case Kind::Static:
        return staticOf(body, inner, &out->staticPressure);
    case Kind::Series:
        return seriesOf(body, inner, &out->series);
    }
    return std::nullopt;
}

} // namespace

QString TestPlan::Problem::text() const
{
    return key.isEmpty() ? what : key + QStringLiteral(": ") + what;
}

QString TestPlan::stepName(Step::Kind kind)
{
    switch (kind) {
    case Step::Kind::Leak:
        return QStringLiteral("leak");
    case Step::Kind::Static:
        return QStringLiteral("static");
    case Step::Kind::Series:
        return QStringLiteral("series");
    }
    return {};
}

QString TestPlan::patientName(Patient patient)
{
    return patient == Patient::Adult ? QStringLiteral("adult") : QStringLiteral("neonate");
}

TestPlan::Parsed TestPlan::parse(const QByteArray &bytes)
{
    const auto refused = [](const Problem &problem) {
        return Parsed{std::nullopt, problem};
    };
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return refused(
            {QString(),
             QStringLiteral("not JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset)});
    if (!document.isObject())
        return refused({QString(), QStringLiteral("not a JSON object")});
    if (const std::optional<QString> twice = JsonDuplicateKeys::first(bytes))
        return refused({*twice, QStringLiteral("given twice")});
    TestPlan plan;
    if (const Found problem = plan.read(document.object()))
        return refused(*problem);
    plan.m_sha256 =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    return {plan, std::nullopt};
}

TestPlan::Parsed TestPlan::load(const QString &path)
{
    QFile file;
    Failure why;
    if (PlainFileCheck::openForReading(file, path, &why)) {
        const QByteArray bytes = file.read(kMaxFileBytes + 1);
        if (file.error() != QFileDevice::NoError)
            why = {Failure::Kind::Io, file.errorString()};
        else if (bytes.size() > kMaxFileBytes)
            why = Failure::refused(QStringLiteral("it is larger than %1 bytes").arg(kMaxFileBytes));
        else
            return parse(bytes);
    }
    return {std::nullopt,
            Problem{QString(), QStringLiteral("%1 cannot be read: %2").arg(path, why.text)}};
}

QByteArray TestPlan::standardText()
{
    return QByteArray(kStandardPlanText);
}

TestPlan TestPlan::standard()
{
    return parse(standardText()).plan.value();
}

std::optional<TestPlan::Problem> TestPlan::read(const QJsonObject &top)
{
    if (Found problem =
            keysOf(top, QString(),
                   {QStringLiteral("plan"), QStringLiteral("version"), QStringLiteral("patient"),
                    QStringLiteral("limits"), QStringLiteral("steps")}))
        return problem;
    if (Found problem = textOf(top.value(QLatin1String("plan")), QStringLiteral("plan"), &m_name))
        return problem;
    if (Found problem =
            textOf(top.value(QLatin1String("version")), QStringLiteral("version"), &m_version))
        return problem;
    if (Found problem = readPatient(top.value(QLatin1String("patient"))))
        return problem;
    if (Found problem = readLimits(top.value(QLatin1String("limits"))))
        return problem;
    return readSteps(top.value(QLatin1String("steps")));
}

std::optional<TestPlan::Problem> TestPlan::readPatient(const QJsonValue &value)
{
    const QString key = QStringLiteral("patient");
    if (!value.isString())
        return wrongType(key, value, "a string");
    for (Patient patient : {Patient::Adult, Patient::Neonate}) {
        if (value.toString() == patientName(patient)) {
            m_patient = patient;
            return std::nullopt;
        }
    }
    return Problem{key,
                   QStringLiteral("\"%1\" is neither adult nor neonate").arg(value.toString())};
}

std::optional<TestPlan::Problem> TestPlan::readLimits(const QJsonValue &value)
{
    const QString path = QStringLiteral("limits");
    QJsonObject given;
    if (Found problem = objectOf(value, path, &given))
        return problem;
    for (auto it = given.begin(); it != given.end(); ++it) {
        const auto &keys = CheckLimits::keys();
        const bool known = std::any_of(keys.begin(), keys.end(), [&it](const CheckLimits::Key &k) {
            return it.key() == QLatin1String(k.name);
        });
        if (!known)
            return Problem{member(path, it.key()),
                           QStringLiteral("unknown limit; a limit is a [checks] key")};
    }
    for (const CheckLimits::Key &key : CheckLimits::keys()) {
        const QString name = QLatin1String(key.name);
        if (!given.contains(name))
            continue;
        Limit limit{&key, 0};
        if (Found problem = numberOf(given.value(name), member(path, name),
                                     {key.low, key.high, key.whole, key.unit}, &limit.value))
            return problem;
        m_limits.append(limit);
    }
    const CheckLimits fixed = overlaid(CheckLimits());
    if (fixes("leak_settle_s") && fixes("leak_settle_max_s") &&
        fixed.leakSettleMaxS < fixed.leakSettleS)
        return Problem{member(path, QStringLiteral("leak_settle_max_s")),
                       QStringLiteral("%1 is below leak_settle_s %2")
                           .arg(CheckLimits::text(fixed.leakSettleMaxS),
                                CheckLimits::text(fixed.leakSettleS))};
    return std::nullopt;
}

std::optional<TestPlan::Problem> TestPlan::readSteps(const QJsonValue &value)
{
    const QString path = QStringLiteral("steps");
    if (!value.isArray())
        return wrongType(path, value, "a list");
    const QJsonArray steps = value.toArray();
    if (steps.isEmpty())
        return Problem{path, QStringLiteral("an empty list; a plan has one step at least")};
    for (qsizetype i = 0; i < steps.size(); ++i) {
        Step step;
        if (Found problem = stepOf(steps.at(i), element(path, i), &step))
            return problem;
        m_steps.append(step);
    }
    return std::nullopt;
}

bool TestPlan::fixes(const char *key) const
{
    return std::any_of(m_limits.begin(), m_limits.end(),
                       [key](const Limit &limit) { return qstrcmp(limit.key->name, key) == 0; });
}

CheckLimits TestPlan::overlaid(CheckLimits limits) const
{
    for (const Limit &limit : m_limits)
        limits.*(limit.key->value) = limit.value;
    return limits;
}

// A settings file's settling that does not fit the plan's yields to it.
CheckLimits TestPlan::effectiveLimits(const CheckLimits &settings) const
{
    CheckLimits limits = overlaid(settings);
    if (limits.leakSettleMaxS < limits.leakSettleS) {
        if (fixes("leak_settle_max_s"))
            limits.leakSettleS = limits.leakSettleMaxS;
        else
            limits.leakSettleMaxS = limits.leakSettleS;
    }
    return limits;
}

CheckReport::Plan TestPlan::reportPart() const
{
    CheckReport::Plan part;
    part.name = m_name;
    part.version = m_version;
    part.sha256 = m_sha256;
    part.patient = patientName(m_patient);
    for (const Limit &limit : m_limits)
        part.limitKeys << QLatin1String(limit.key->name);
    return part;
}
