// SPDX-License-Identifier: MIT
#include "run_archiver.h"

#include "archive_query.h"
#include "archive_store.h"
#include "run_record.h"
#include "tarnvik_version.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

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
        if (!written.failure.failed()) {
            const QString why = store(report, startedUtc, written.pdf, written.json, trace);
            if (!why.isEmpty())
                written.failure = {Failure::Kind::Database, why};
        }
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
    run.stepsJson = stepsJson(reportJson);
    run.reportJson = reportJson;
    run.pdf = pdf;
    if (!trace.isNull())
        run.traceSha256 = QString::fromLatin1(
            QCryptographicHash::hash(trace, QCryptographicHash::Sha256).toHex());
    return run;
}

QByteArray RunArchiver::stepsJson(const QByteArray &reportJson)
{
    const QJsonObject report = QJsonDocument::fromJson(reportJson).object();
    const QJsonObject steps{{"check_verdicts", report.value(QLatin1String("check_verdicts"))},
                            {"steps", report.value(QLatin1String("steps"))}};
    return QJsonDocument(steps).toJson(QJsonDocument::Compact);
}
