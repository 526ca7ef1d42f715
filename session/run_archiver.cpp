// SPDX-License-Identifier: MIT
#include "run_archiver.h"

#include "archive_query.h"
#include "archive_store.h"
#include "run_record.h"
#include "tarnvik_version.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace {

QJsonValue number(std::optional<double> value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue verdictValue(Verdict verdict)
{
    return verdict == Verdict::None ? QJsonValue(QJsonValue::Null)
                                    : QJsonValue(verdictName(verdict));
}

QJsonObject leakValues(const CheckReport::LeakTest &leak)
{
    return {{"hold_mmHg", number(leak.holdMmHg)},
            {"rate_mmHg_per_min", number(leak.rateMmHgPerMin)},
            {"window_s", leak.windowS},
            {"drop_mmHg", leak.dropMmHg},
            {"verdict", verdictValue(leak.verdict)}};
}

QJsonObject pointValues(const CheckReport::StaticPoint &point)
{
    return {{"reference_mmHg", point.referenceMmHg},
            {"board_mmHg", point.boardMmHg},
            {"error_mmHg", point.errorMmHg},
            {"verdict", verdictValue(point.verdict)}};
}

QJsonObject statisticValues(const CheckReport::Statistic &statistic)
{
    return {{"n", statistic.n},
            {"mean", statistic.n > 0 ? QJsonValue(statistic.mean) : QJsonValue()},
            {"sd", number(statistic.sd)},
            {"mean_error", number(statistic.meanError)},
            {"verdict", verdictValue(statistic.verdict)}};
}

QJsonObject seriesValues(const CheckReport::Measurements &series)
{
    return {{"results", series.count},
            {"ended_999", series.ended999},
            {"systolic", statisticValues(series.systolic)},
            {"diastolic", statisticValues(series.diastolic)},
            {"mean", statisticValues(series.mean)},
            {"pulse", statisticValues(series.pulse)},
            {"verdict", verdictValue(series.verdict)}};
}

QJsonObject planStep(const CheckReport::PlanStep &step)
{
    QJsonObject object{{"step", step.step},
                       {"ending", step.ending},
                       {"verdict", verdictValue(step.verdict)},
                       {"reason", step.reason}};
    if (step.step == QLatin1String("leak")) {
        object.insert("hold_min_mmHg", step.holdMinMmHg);
        object.insert("hold_max_mmHg", step.holdMaxMmHg);
        object.insert("leak_test",
                      step.leakTest ? QJsonValue(leakValues(*step.leakTest)) : QJsonValue());
    } else if (step.step == QLatin1String("static")) {
        QJsonArray points;
        for (const CheckReport::PlannedPoint &point : step.points) {
            QJsonObject one = point.recorded ? pointValues(*point.recorded) : QJsonObject();
            one.insert("planned_mmHg", point.plannedMmHg);
            one.insert("verdict", verdictValue(point.verdict));
            points.append(one);
        }
        object.insert("points", points);
    } else if (step.step == QLatin1String("series")) {
        object.insert("count", step.count);
        object.insert("series",
                      step.series ? QJsonValue(seriesValues(*step.series)) : QJsonValue());
    }
    return object;
}

// A free check: each check with its verdict and what it found.
QJsonArray freeChecks(const CheckReport &report)
{
    QJsonArray leaks;
    for (const CheckReport::LeakTest &leak : report.leakTests)
        leaks.append(leakValues(leak));
    QJsonArray points;
    for (const CheckReport::StaticPoint &point : report.staticPoints)
        points.append(pointValues(point));
    int highest = 0;
    for (const CheckReport::Stretch &stretch : report.overPressure)
        highest = qMax(highest, stretch.maxMmHg);
    return {QJsonObject{{"check", "leak"},
                        {"verdict", verdictValue(report.leakVerdict)},
                        {"leak_tests", leaks}},
            QJsonObject{{"check", "static"},
                        {"verdict", verdictValue(report.staticVerdict)},
                        {"points", points}},
            QJsonObject{{"check", "over_pressure"},
                        {"verdict", verdictValue(report.overPressureVerdict)},
                        {"max_mmHg", highest}},
            QJsonObject{{"check", "inflation"}, {"verdict", verdictValue(report.inflationVerdict)}},
            QJsonObject{{"check", "measurements"},
                        {"verdict", verdictValue(report.measurements.verdict)},
                        {"series", seriesValues(report.measurements)}}};
}

bool readWhole(const QString &path, QByteArray &bytes, QString &why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        why = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QString notStored(const QString &cause)
{
    return QStringLiteral("not stored in the archive: %1").arg(cause);
}

} // namespace

RunArchiver::RunArchiver(ArchiveStore &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{}

PlanRunner::Saver RunArchiver::saver(PlanRunner::Saver files)
{
    return [this, files = std::move(files)](const QString &folder, const CheckReport &report,
                                            const QByteArray &trace, const QDateTime &startedUtc) {
        PlanRunner::Files written = files(folder, report, trace, startedUtc);
        if (written.failure.isEmpty())
            written.failure = store(report, startedUtc, written.pdf, written.json, trace);
        return written;
    };
}

QString RunArchiver::store(const CheckReport &report, const QDateTime &started, const QString &pdf,
                           const QString &json, const QByteArray &trace)
{
    QByteArray pdfBytes;
    QByteArray jsonBytes;
    QString why;
    if (!readWhole(pdf, pdfBytes, why) || !readWhole(json, jsonBytes, why))
        return notStored(why);
    if (!m_store.isOpen() && !m_store.open())
        return notStored(m_store.failure());
    const RunRecord run = record(report, started, jsonBytes, pdfBytes, trace);
    if (!m_store.store(run))
        return notStored(m_store.failure());
    emit stored(run.id.toString(QUuid::WithoutBraces), run.board);
    return QString();
}

QString RunArchiver::storeFreeCheck(const CheckReport &report, const QString &pdf,
                                    const QString &json)
{
    const QDateTime started =
        report.session.started.isValid() ? report.session.started : QDateTime::currentDateTime();
    return store(report, started, pdf, json, QByteArray());
}

QString RunArchiver::boardHistory(const QString &board)
{
    if (board.trimmed().isEmpty() || !m_store.isOpen())
        return QString();
    BoardHistory history;
    QString why;
    if (!ArchiveQuery(m_store.connection()).boardHistory(board.trimmed(), QString(), history, &why))
        return QString();
    return history.sentence();
}

RunRecord RunArchiver::record(const CheckReport &report, const QDateTime &started,
                              const QByteArray &reportJson, const QByteArray &pdf,
                              const QByteArray &trace) const
{
    const CheckReport::Session &session = report.session;
    RunRecord run;
    run.id = QUuid::createUuid();
    run.board = session.board;
    run.operatorName = session.operatorName;
    run.instrument = session.instrument;
    run.calibrationDue = m_calibrationDue;
    if (report.plan) {
        run.planName = report.plan->name;
        run.planVersion = report.plan->version;
        run.planSha256 = report.plan->sha256;
    }
    // Local time: the record keeps the bench's UTC offset.
    run.started = started.toLocalTime();
    run.ended = QDateTime::currentDateTime();
    run.programVersion = session.program.isEmpty()
                             ? QStringLiteral("tarnvik %1").arg(TARNVIK_VERSION_STRING)
                             : session.program;
    run.verdict =
        verdictName(report.verdict == Verdict::None ? Verdict::Incomplete : report.verdict);
    run.stepsJson = stepsJson(report);
    run.reportJson = reportJson;
    run.pdf = pdf;
    if (!trace.isNull())
        run.traceSha256 = QString::fromLatin1(
            QCryptographicHash::hash(trace, QCryptographicHash::Sha256).toHex());
    return run;
}

QByteArray RunArchiver::stepsJson(const CheckReport &report)
{
    QJsonArray steps;
    if (report.plan) {
        for (const CheckReport::PlanStep &step : report.steps)
            steps.append(planStep(step));
    } else {
        steps = freeChecks(report);
    }
    return QJsonDocument(steps).toJson(QJsonDocument::Compact);
}
