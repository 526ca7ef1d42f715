// SPDX-License-Identifier: MIT
#include "run_files.h"

#include "plain_file_check.h"
#include "report_files.h"
#include "staged_file.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool keptInName(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' ||
           u == '_' || u == '.';
}

// Nothing is there under the name: no file, no folder, no link.
bool isFree(const QString &path)
{
    return PlainFileCheck(path).kind() == PlainFileCheck::Kind::Missing;
}

} // namespace

QString RunFiles::safeBoard(const QString &board)
{
    QString safe;
    for (const QChar c : board.trimmed().left(kMaxBoardChars))
        safe += keptInName(c) ? c : QLatin1Char('_');
    if (safe.startsWith(QLatin1Char('.')) || safe.startsWith(QLatin1Char('-')))
        safe[0] = QLatin1Char('_');
    return safe.isEmpty() ? QStringLiteral("board") : safe;
}

QString RunFiles::stem(const QString &board, const QDateTime &startedUtc)
{
    return safeBoard(board) + QLatin1Char('-') +
           startedUtc.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

// The stem, or the stem with "-2", "-3", ... that is free under all three endings.
QString RunFiles::freeStem(const QString &folder, const QString &stem, Failure *why)
{
    const QDir dir(folder);
    for (int n = 1; n <= kMaxTries; ++n) {
        const QString name = n == 1 ? stem : QStringLiteral("%1-%2").arg(stem).arg(n);
        const QString path = dir.filePath(name);
        if (isFree(path + QStringLiteral(".pdf")) && isFree(path + QStringLiteral(".json")) &&
            isFree(path + QStringLiteral(".trace")))
            return path;
    }
    fail(why,
         {Failure::Kind::InUse, QStringLiteral("%1 holds files of the names %2 to %2-%3 already")
                                    .arg(QDir::toNativeSeparators(folder), stem)
                                    .arg(kMaxTries)});
    return QString();
}

RunFiles::Written RunFiles::save(const QString &folder, const CheckReport &report,
                                 const QByteArray &trace, const QDateTime &startedUtc,
                                 const QDateTime &made)
{
    Written written;
    if (!QFileInfo(folder).isDir()) {
        written.failure = {Failure::Kind::NotFound,
                           QStringLiteral("the reports folder %1 is no folder").arg(folder)};
        return written;
    }
    const QString path = freeStem(folder, stem(report.session.board, startedUtc), &written.failure);
    if (path.isEmpty())
        return written;
    StagedFile traceFile(path + QStringLiteral(".trace"));
    if (!traceFile.create() || traceFile.write(trace) != trace.size() || !traceFile.finish() ||
        !StagedFile::commit(traceFile, &written.failure)) {
        written.failure = traceFile.failure();
        return written;
    }
    written.trace = path + QStringLiteral(".trace");
    const QString pdf = path + QStringLiteral(".pdf");
    const QString json = path + QStringLiteral(".json");
    if (!ReportFiles::save(report, pdf, json, made, &written.failure))
        return written;
    written.pdf = pdf;
    written.json = json;
    return written;
}
