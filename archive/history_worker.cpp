// SPDX-License-Identifier: MIT
#include "history_worker.h"

#include "archive_query.h"
#include "archive_schema.h"
#include "archive_store.h"
#include "plain_file_check.h"

#include <QSqlQuery>

HistoryWorker::HistoryWorker(const ArchiveLocation &location, const QString &station)
    : m_location(location)
    , m_station(station)
{}

HistoryWorker::~HistoryWorker() = default;

// The bench's archive is made (and its schema migrated) as the store makes
// it, by a store's own connection; the search then only reads it.
bool HistoryWorker::makeLocalArchive(Failure *why)
{
    if (PlainFileCheck(m_location.path()).kind() != PlainFileCheck::Kind::Missing)
        return true;
    ArchiveStore store(m_location, m_station);
    if (store.open())
        return true;
    return fail(why, store.failure());
}

bool HistoryWorker::connect(Failure *why)
{
    if (m_connection && m_connection->isOpen())
        return true;
    if (m_location.isSqlite() && !makeLocalArchive(why))
        return false;
    auto connection = std::make_unique<ArchiveConnection>(m_location);
    connection->setReadOnly(true);
    connection->setConnectTimeoutS(kConnectTimeoutS);
    if (!connection->open(ArchiveConnection::Create::ExistingOnly, why))
        return false;
    QSqlDatabase db = connection->database();
    if (!m_location.isSqlite()) {
        // A statement the server holds up fails in time, so that the window can close.
        QSqlQuery(db).exec(QStringLiteral("SET statement_timeout = %1").arg(kStatementTimeoutMs));
    }
    Failure failure;
    if (!ArchiveSchema::prepare(db, ArchiveSchema::Mode::RequireCurrent, &failure))
        return fail(why,
                    failure.within(QStringLiteral("%1 cannot be searched").arg(m_location.text())));
    m_connection = std::move(connection);
    return true;
}

bool HistoryWorker::keep(bool ok)
{
    if (!ok)
        m_connection.reset();
    return ok;
}

bool HistoryWorker::search(const RunFilter &filter, HistoryAnswer &answer, Failure *why)
{
    if (!connect(why))
        return false;
    ArchiveQuery query(*m_connection);
    answer = HistoryAnswer();
    const bool ok = query.runs(filter, answer.runs, why) &&
                    query.yields(filter, answer.days, answer.plans, why) &&
                    query.figuresWithLimits(filter, answer.figures, why);
    for (const YieldCount &plan : std::as_const(answer.plans))
        answer.found += plan.runs;
    return keep(ok);
}

bool HistoryWorker::pdf(const QString &uuid, RunPdf &pdf, Failure *why)
{
    if (!connect(why))
        return false;
    QVariantMap row;
    if (!ArchiveQuery(*m_connection).run(uuid, row, why))
        return keep(false);
    pdf.uuid = uuid;
    pdf.board = row.value(QStringLiteral("board")).toString();
    pdf.started = row.value(QStringLiteral("started")).toString();
    pdf.bytes = row.value(QStringLiteral("pdf")).toByteArray();
    return true;
}

bool HistoryWorker::boardHistory(const QString &board, const QString &current,
                                 BoardHistory &history, Failure *why)
{
    if (!connect(why))
        return false;
    return keep(ArchiveQuery(*m_connection).boardHistory(board, current, history, why));
}
