// SPDX-License-Identifier: MIT
#include "run_archiver.h"

#include "archive_query.h"
#include "archive_store.h"
#include "run_record.h"
#include "tarnvik_version.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// "cannot read PATH: why" for a file QFile could not open or read, of the
// kind that stopped it: not permitted, gone, else an I/O failure.
Failure unreadable(const QFile &file)
{
    Failure::Kind kind = Failure::kindOfFile(file);
    if (kind == Failure::Kind::Io && !QFileInfo::exists(file.fileName()))
        kind = Failure::Kind::NotFound;
    return {kind, QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString())};
}

bool readWhole(const QString &path, QByteArray &bytes, Failure *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(why, unreadable(file));
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(why, unreadable(file));
    return true;
}

bool notStored(Failure *why, const Failure &cause)
{
    return fail(why, cause.within(QStringLiteral("not stored in the archive")));
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
        if (!written.failure.failed())
            store(report, startedUtc, written.pdf, written.json, trace, &written.failure);
        return written;
    };
}

bool RunArchiver::store(const CheckReport &report, const QDateTime &started, const QString &pdf,
                        const QString &json, const QByteArray &trace, Failure *why)
{
    QByteArray pdfBytes;
    QByteArray jsonBytes;
    Failure unread;
    if (!readWhole(pdf, pdfBytes, &unread) || !readWhole(json, jsonBytes, &unread))
        return notStored(why, unread);
    if (!m_store.isOpen() && !m_store.open())
        return notStored(why, m_store.failure());
    const RunRecord run = record(report, started, jsonBytes, pdfBytes, trace);
    if (!m_store.store(run))
        return notStored(why, m_store.failure());
    emit stored(run.id.toString(QUuid::WithoutBraces), run.board);
    return true;
}

bool RunArchiver::storeFreeCheck(const CheckReport &report, const QString &pdf, const QString &json,
                                 Failure *why)
{
    const QDateTime started =
        report.session.started.isValid() ? report.session.started : QDateTime::currentDateTime();
    return store(report, started, pdf, json, QByteArray(), why);
}

QString RunArchiver::boardHistory(const QString &board)
{
    if (board.trimmed().isEmpty() || !m_store.isOpen())
        return QString();
    BoardHistory history;
    if (!ArchiveQuery(m_store.connection())
             .boardHistory(board.trimmed(), QString(), history, nullptr))
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
