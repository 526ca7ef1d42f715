// SPDX-License-Identifier: MIT
#include "archive_commands.h"

#include "archive_push.h"
#include "archive_query.h"
#include "archive_schema.h"
#include "chain_verifier.h"
#include "plain_file_check.h"
#include "run_export.h"
#include "staged_file.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

void print(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

QJsonValue realOrNull(const std::optional<double> &value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonObject jsonOf(const RunSummary &run)
{
    return {{"id", run.uuid},
            {"station", run.station},
            {"seq", run.seq},
            {"board", run.board},
            {"operator", run.operatorName},
            {"plan", run.plan},
            {"plan_version", run.planVersion},
            {"started", run.started},
            {"ended", run.ended},
            {"verdict", run.verdict},
            {"leak_mmHg_per_min", realOrNull(run.leakMmHgPerMin)},
            {"static_error_mmHg", realOrNull(run.staticErrorMmHg)}};
}

// The runs as a table, each column as wide as its widest cell.
void printTable(const QList<RunSummary> &runs)
{
    QList<QStringList> lines = {{"RUN", "STARTED", "STATION", "BOARD", "PLAN", "VERDICT"}};
    for (const RunSummary &run : runs)
        lines << QStringList{run.uuid,  run.started, run.station,
                             run.board, run.plan,    run.verdict.toUpper()};
    QList<qsizetype> widths(lines.constFirst().size(), 0);
    for (const QStringList &line : std::as_const(lines)) {
        for (qsizetype i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], line.at(i).size());
    }
    for (const QStringList &line : std::as_const(lines)) {
        QString text;
        for (qsizetype i = 0; i < line.size(); ++i)
            text += i + 1 < line.size() ? line.at(i).leftJustified(widths[i] + 2) : line.at(i);
        print(text + QLatin1Char('\n'));
    }
}

} // namespace

ArchiveCommands::ArchiveCommands(const ArchiveOptions &options)
    : m_options(options)
    , m_settings(ArchiveSettings::load(options.settings))
{}

int ArchiveCommands::complain(const QString &what)
{
    std::fprintf(stderr, "tarnvik-archive: %s\n", qPrintable(what));
    return kBad;
}

int ArchiveCommands::run()
{
    if (m_options.settingsGiven && !QFileInfo::exists(m_options.settings))
        return complain(
            QStringLiteral("the settings file %1 does not exist").arg(m_options.settings));
    for (const QString &problem : m_settings.problems())
        std::fprintf(stderr, "tarnvik-archive: settings: %s\n", qPrintable(problem));
    switch (m_options.command) {
    case ArchiveOptions::Command::List:
        return list();
    case ArchiveOptions::Command::Show:
        return show();
    case ArchiveOptions::Command::Export:
        return exportRuns();
    case ArchiveOptions::Command::Push:
        return push();
    case ArchiveOptions::Command::Verify:
        return verify();
    case ArchiveOptions::Command::Init:
        return init();
    }
    return kBad;
}

ArchiveLocation ArchiveCommands::archive() const
{
    return m_options.database ? *m_options.database : m_settings.named();
}

bool ArchiveCommands::openExisting(ArchiveConnection &connection, Failure *why)
{
    if (!connection.open(ArchiveConnection::Create::ExistingOnly, why))
        return false;
    QSqlDatabase db = connection.database();
    const ArchiveSchema::Mode mode = connection.location().isSqlite()
                                         ? ArchiveSchema::Mode::CreateOrMigrate
                                         : ArchiveSchema::Mode::RequireCurrent;
    Failure failure;
    if (ArchiveSchema::prepare(db, mode, &failure))
        return true;
    return fail(
        why, failure.within(QStringLiteral("%1 cannot be read").arg(connection.location().text())));
}

int ArchiveCommands::list()
{
    ArchiveConnection connection(archive());
    Failure why;
    QList<RunSummary> runs;
    ArchiveQuery query(connection);
    if (!openExisting(connection, &why) || !query.runs(m_options.filter, runs, &why))
        return complain(why.text);
    if (!m_options.json) {
        printTable(runs);
        return kDone;
    }
    QJsonArray array;
    for (const RunSummary &run : std::as_const(runs))
        array.append(jsonOf(run));
    print(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
    return kDone;
}

int ArchiveCommands::exportRuns()
{
    ArchiveConnection connection(archive());
    Failure why;
    if (!openExisting(connection, &why))
        return complain(why.text);
    RunExport out(m_options.csv ? RunExport::Format::Csv : RunExport::Format::Json, stdout);
    out.begin();
    ArchiveQuery query(connection);
    if (!query.forEachRun(
            m_options.filter, [&out](const QVariantMap &run) { out.add(run); }, &why))
        return complain(why.text);
    if (!out.end())
        return complain(QStringLiteral("the export could not be written to standard output"));
    return kDone;
}

int ArchiveCommands::show()
{
    const ArchiveLocation location = archive();
    ArchiveConnection connection(location);
    ArchiveQuery query(connection);
    Failure why;
    QString uuid;
    QVariantMap run;
    QList<QVariantMap> acts;
    if (!openExisting(connection, &why) || !query.resolve(m_options.run, uuid, &why) ||
        !query.run(uuid, run, &why) || !query.actsOn(uuid, acts, &why))
        return complain(why.text);
    if (!m_options.pdf.isEmpty() &&
        !writePdf(run, location.isSqlite() ? location.path() : QString(), &why))
        return complain(why.text);
    printRun(run, acts);
    return kDone;
}

void ArchiveCommands::printRun(const QVariantMap &run, const QList<QVariantMap> &acts)
{
    const QList<ArchiveSchema::Column> &columns =
        ArchiveSchema::columns(ArchiveSchema::Table::Runs);
    QString text;
    for (const ArchiveSchema::Column &column : columns) {
        const QVariant value = run.value(column.name);
        if (column.type == ArchiveSchema::ColumnType::Bytes)
            text +=
                QStringLiteral("%1: %2 bytes\n").arg(column.name).arg(value.toByteArray().size());
        else if (!column.name.endsWith(QLatin1String("_json")))
            text += QStringLiteral("%1: %2\n")
                        .arg(column.name, value.isNull() ? QStringLiteral("-") : value.toString());
    }
    text += QStringLiteral("content_sha256: %1\n").arg(run.value("content_sha256").toString());
    for (const QVariantMap &act : acts)
        text += QStringLiteral("%1 by %2 at %3 (station %4 #%5): %6\n")
                    .arg(act.value("kind").toString(), act.value("author").toString(),
                         act.value("acted_at").toString(), act.value("station").toString(),
                         act.value("seq").toString(),
                         QStringList{act.value("meaning").toString(), act.value("note").toString()}
                             .filter(QRegularExpression(QStringLiteral("\\S")))
                             .join(QStringLiteral(" - ")));
    text += QStringLiteral("steps: %1\n").arg(run.value("steps_json").toString().trimmed());
    text += QStringLiteral("report:\n%1\n").arg(run.value("report_json").toString().trimmed());
    print(text);
}

// The run's PDF into a file of its own: a regular file or a new one, never
// through a symbolic link, never the archive itself; written whole or not at all.
bool ArchiveCommands::writePdf(const QVariantMap &run, const QString &archivePath, Failure *why)
{
    const QString target = m_options.pdf;
    const QByteArray pdf = run.value(QStringLiteral("pdf")).toByteArray();
    if (pdf.isEmpty())
        return fail(why, {Failure::Kind::NotFound,
                          QStringLiteral("run %1 has no PDF").arg(run.value("uuid").toString())});
    if (QFileInfo(target).isSymLink())
        return fail(why, Failure::refused(QStringLiteral("cannot write %1: it is a symbolic link; "
                                                         "name the file itself")
                                              .arg(target)));
    for (const QString &part :
         {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")}) {
        if (!archivePath.isEmpty() && PlainFileCheck::sameFile(target, archivePath + part))
            return fail(
                why,
                Failure::refused(
                    QStringLiteral("cannot write %1: it is the archive's own file").arg(target)));
    }
    // Each step keeps its failure in the file: "cannot write FILE: why".
    StagedFile file(target);
    if (!file.create() || file.write(pdf) != pdf.size() || !file.finish() || !file.commit(why))
        return fail(why, file.failure());
    return true;
}

int ArchiveCommands::push()
{
    const ArchiveLocation local = m_options.database && m_options.database->isSqlite()
                                      ? *m_options.database
                                      : m_settings.local();
    const std::optional<ArchiveLocation> line =
        m_options.database && !m_options.database->isSqlite() ? m_options.database
                                                              : m_settings.line();
    if (!line)
        return complain(QStringLiteral("no line database to push to: set database=postgresql://"
                                       "USER@HOST/DBNAME in [archive] of %1, or give --database")
                            .arg(m_settings.file()));
    if (PlainFileCheck(local.path()).kind() == PlainFileCheck::Kind::Missing) {
        print(QStringLiteral("nothing to push: there is no archive %1 yet\n").arg(local.path()));
        return kDone;
    }
    ArchiveConnection from(local);
    ArchiveConnection to(*line);
    Failure why;
    if (!openExisting(from, &why) || !openExisting(to, &why))
        return complain(why.text);
    ArchivePush push(from, to);
    int copied = 0;
    int runs = 0;
    int acts = 0;
    const bool pushed = push.pushAll(copied, &why);
    print(QStringLiteral("pushed %1 row(s) to %2\n").arg(copied).arg(line->text()));
    if (!pushed || !push.pending(runs, acts, &why))
        return complain(why.text);
    print(QStringLiteral("waiting: %1 run(s), %2 act(s)\n").arg(runs).arg(acts));
    return kDone;
}

int ArchiveCommands::verify()
{
    ArchiveConnection connection(archive());
    ChainVerifier verifier(connection);
    Failure why;
    if (!openExisting(connection, &why) || !verifier.verify(&why))
        return complain(why.text);
    for (const ChainBreak &chainBreak : verifier.breaks())
        print(chainBreak.text() + QLatin1Char('\n'));
    print(QStringLiteral("%1: %2 row(s) of %3 station(s) checked; %4\n")
              .arg(connection.location().text())
              .arg(verifier.rowsChecked())
              .arg(verifier.stations())
              .arg(verifier.breaks().isEmpty()
                       ? QStringLiteral("every chain holds")
                       : QStringLiteral("%1 chain(s) broken").arg(verifier.breaks().size())));
    return verifier.breaks().isEmpty() ? kDone : kBreak;
}

int ArchiveCommands::init()
{
    ArchiveConnection connection(archive());
    Failure why;
    if (!connection.open(ArchiveConnection::Create::IfMissing, &why))
        return complain(why.text);
    QSqlDatabase db = connection.database();
    if (!ArchiveSchema::prepare(db, ArchiveSchema::Mode::CreateOrMigrate, &why))
        return complain(why.within(connection.location().text()).text);
    print(QStringLiteral("%1 holds the archive's tables, schema version %2\n")
              .arg(connection.location().text())
              .arg(ArchiveSchema::kVersion));
    return kDone;
}
