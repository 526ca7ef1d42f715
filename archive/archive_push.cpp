// SPDX-License-Identifier: MIT
#include "archive_push.h"

#include "archive_schema.h"

#include <QDateTime>
#include <QSqlQuery>

namespace {

using Table = ArchiveSchema::Table;

QString unreadable(const ArchiveConnection &local)
{
    return QStringLiteral("the local archive %1 cannot be read").arg(local.location().path());
}

QString cannotNote(const ArchiveConnection &local)
{
    return QStringLiteral("the local archive %1 cannot note what was pushed")
        .arg(local.location().path());
}

const char kNotPushed[] =
    "NOT EXISTS (SELECT 1 FROM pushed p WHERE p.target = ? AND p.uuid = %1.uuid)";

QString insertStatement(Table table)
{
    const qsizetype count = ArchiveSchema::columns(table).size() + 1;
    QStringList marks;
    for (qsizetype i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("INSERT INTO %1 (%2, content_sha256) VALUES (%3) ON CONFLICT (uuid) DO "
                          "NOTHING")
        .arg(ArchiveSchema::tableName(table), ArchiveSchema::columnList(table),
             marks.join(QStringLiteral(", ")));
}

} // namespace

ArchivePush::ArchivePush(ArchiveConnection &local, ArchiveConnection &line)
    : m_local(local)
    , m_line(line)
{}

QString ArchivePush::target() const
{
    return m_line.location().text();
}

bool ArchivePush::pending(int &runs, int &acts, Failure *why)
{
    return pending(m_local, target(), runs, acts, why);
}

bool ArchivePush::pending(ArchiveConnection &local, const QString &target, int &runs, int &acts,
                          Failure *why)
{
    int *counts[] = {&runs, &acts};
    const Table tables[] = {Table::Runs, Table::Acts};
    for (int i = 0; i < 2; ++i) {
        const QString name = ArchiveSchema::tableName(tables[i]);
        QSqlQuery query(local.database());
        query.prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE ").arg(name) +
                      QString::fromLatin1(kNotPushed).arg(name));
        query.addBindValue(target);
        if (!query.exec() || !query.next())
            return fail(why, local.failureOf(query.lastError()).within(unreadable(local)));
        *counts[i] = query.value(0).toInt();
    }
    return true;
}

// The next rows to push: each station's in the order of its chain.
bool ArchivePush::nextBatch(QList<Entry> &entries, Failure *why)
{
    const QString sql = QStringLiteral("SELECT 0, station, seq, uuid FROM runs WHERE %1 UNION ALL "
                                       "SELECT 1, station, seq, uuid FROM acts WHERE %2 "
                                       "ORDER BY 2, 3 LIMIT %3")
                            .arg(QString::fromLatin1(kNotPushed).arg(QStringLiteral("runs")),
                                 QString::fromLatin1(kNotPushed).arg(QStringLiteral("acts")))
                            .arg(kBatch);
    QSqlQuery query(m_local.database());
    query.setForwardOnly(true);
    query.prepare(sql);
    query.addBindValue(target());
    query.addBindValue(target());
    if (!query.exec())
        return fail(why, m_local.failureOf(query.lastError()).within(unreadable(m_local)));
    entries.clear();
    while (query.next())
        entries << Entry{query.value(0).toInt() == 0 ? Table::Runs : Table::Acts,
                         query.value(3).toString()};
    return true;
}

bool ArchivePush::copyRow(const Entry &entry, Failure *why)
{
    const QString name = ArchiveSchema::tableName(entry.table);
    const qsizetype count = ArchiveSchema::columns(entry.table).size() + 1;
    QSqlQuery read(m_local.database());
    read.setForwardOnly(true);
    read.prepare(QStringLiteral("SELECT %1, content_sha256 FROM %2 WHERE uuid = ?")
                     .arg(ArchiveSchema::columnList(entry.table), name));
    read.addBindValue(entry.uuid);
    if (!read.exec() || !read.next())
        return fail(why, m_local.failureOf(read.lastError()).within(unreadable(m_local)));
    QSqlQuery write(m_line.database());
    write.prepare(insertStatement(entry.table));
    for (int i = 0; i < count; ++i)
        write.addBindValue(read.value(i));
    if (!write.exec())
        return fail(why, m_line.failureOf(write.lastError())
                             .within(QStringLiteral("%1 did not take %2 %3")
                                         .arg(target(), name.chopped(1), entry.uuid)));
    return true;
}

bool ArchivePush::noteCopied(const QList<Entry> &entries, Failure *why)
{
    Failure failure;
    if (!m_local.begin(&failure))
        return fail(why, failure.within(cannotNote(m_local)));
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    QSqlQuery note(m_local.database());
    note.prepare(QStringLiteral("INSERT INTO pushed (target, uuid, pushed_at) VALUES (?, ?, ?) "
                                "ON CONFLICT (target, uuid) DO NOTHING"));
    for (const Entry &entry : entries) {
        note.addBindValue(target());
        note.addBindValue(entry.uuid);
        note.addBindValue(now);
        if (!note.exec()) {
            failure = m_local.failureOf(note.lastError());
            note.finish();
            m_local.rollback();
            return fail(why, failure.within(cannotNote(m_local)));
        }
    }
    note.finish();
    if (!m_local.commit(&failure))
        return fail(why, failure.within(cannotNote(m_local)));
    return true;
}

bool ArchivePush::pushBatch(int &copied, Failure *why)
{
    copied = 0;
    QList<Entry> entries;
    if (!nextBatch(entries, why))
        return false;
    if (entries.isEmpty())
        return true;
    Failure failure;
    if (!m_line.begin(&failure))
        return fail(why, failure.within(target()));
    for (const Entry &entry : std::as_const(entries)) {
        if (!copyRow(entry, why)) {
            m_line.rollback();
            return false;
        }
    }
    if (!m_line.commit(&failure))
        return fail(why, failure.within(QStringLiteral("%1 did not take the rows").arg(target())));
    if (!noteCopied(entries, why))
        return false;
    copied = int(entries.size());
    return true;
}

bool ArchivePush::pushAll(int &copied, Failure *why)
{
    copied = 0;
    for (int batch = 1; batch > 0; copied += batch) {
        if (!pushBatch(batch, why))
            return false;
    }
    return true;
}
