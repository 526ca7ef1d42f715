// SPDX-License-Identifier: MIT
// A test plan: a fixed, versioned document that names the checks a board
// must pass, their points and limits, read strictly from the bytes of its
// file (a JSON object; docs/plans.md and docs/plan.schema.json describe it).
// An unknown key, a key given twice, a missing one, a value of the wrong type
// or out of its range is refused with the key named by its path
// ("steps[1].static.points_mmHg"); nothing is defaulted.
//
// The plan's "limits" take any [checks] key of CheckLimits::keys() within
// its range and fix it for the run: effectiveLimits() lays them over the
// settings file's, so a settings file cannot loosen them. The plan keeps its
// name, version and the SHA-256 of its bytes for the report. PlanRunner
// (session/) runs its steps; PlanJudgement judges them.
#pragma once

#include "check_report.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class QJsonObject;
class QJsonValue;

class TestPlan
{
public:
    enum class Patient { Adult, Neonate };

    struct Leak
    {
        double holdMinMmHg = 0;
        double holdMaxMmHg = 0;
    };
    struct Static
    {
        QList<double> pointsMmHg; // in the order to be held
    };
    struct Series
    {
        SetPoint setPoint;
        int count = 0; // results needed
        double pauseS = 0;
    };
    struct Step
    {
        enum class Kind { Leak, Static, Series };
        Kind kind = Kind::Leak;
        // Only the part of its kind is filled.
        Leak leak;
        Static staticPressure;
        Series series;
    };
    // A limit the plan fixes.
    struct Limit
    {
        const CheckLimits::Key *key = nullptr;
        double value = 0;
    };

    // Why bytes are no plan: the key by its path (empty for the document as
    // a whole) and what is wrong with it.
    struct Problem
    {
        QString key;
        QString what;
        // "steps[1].static.points_mmHg: an empty list"
        QString text() const;
    };
    // A plan, or the problem that kept it from being one (below).
    struct Parsed;

    // A plan file is not larger than this.
    static constexpr qint64 kMaxFileBytes = 1 << 20;
    // The word that names the built-in plan where a file could be named.
    static constexpr const char *kStandardName = "standard";

    static Parsed parse(const QByteArray &bytes);
    // The file at `path`: a regular file (a FIFO or a folder is refused
    // before it is opened) of kMaxFileBytes at most.
    static Parsed load(const QString &path);
    // The built-in "Standard NIBP bench check" as a file to copy and edit,
    // and as a plan.
    static QByteArray standardText();
    static TestPlan standard();

    static QString stepName(Step::Kind kind);    // "leak", "static", "series"
    static QString patientName(Patient patient); // "adult", "neonate"

    const QString &name() const { return m_name; }
    const QString &version() const { return m_version; }
    const QString &sha256() const { return m_sha256; } // lower-case hex
    Patient patient() const { return m_patient; }
    const QList<Limit> &limits() const { return m_limits; }
    const QList<Step> &steps() const { return m_steps; }
    // `settings` (the settings file's limits) with the plan's on top.
    CheckLimits effectiveLimits(const CheckLimits &settings) const;
    // What the report says of the plan.
    CheckReport::Plan reportPart() const;

private:
    TestPlan() = default;
    std::optional<Problem> read(const QJsonObject &top);
    std::optional<Problem> readPatient(const QJsonValue &value);
    std::optional<Problem> readLimits(const QJsonValue &value);
    std::optional<Problem> readSteps(const QJsonValue &value);
    bool fixes(const char *key) const;
    CheckLimits overlaid(CheckLimits limits) const; // the plan's limits on `limits`

    QString m_name;
    QString m_version;
    QString m_sha256;
    Patient m_patient = Patient::Adult;
    QList<Limit> m_limits; // in the order of CheckLimits::keys()
    QList<Step> m_steps;
};

struct TestPlan::Parsed
{
    std::optional<TestPlan> plan;   // none when refused
    std::optional<Problem> problem; // none with a plan
};
