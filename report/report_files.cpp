// SPDX-License-Identifier: MIT
#include "report_files.h"

#include "plain_file_check.h"
#include "report_json.h"
#include "report_pdf.h"
#include "staged_file.h"

#include <QDir>
#include <QFileInfo>

QString ReportFiles::jsonBeside(const QString &pdfPath)
{
    if (pdfPath.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return pdfPath.chopped(4) + QStringLiteral(".json");
    return pdfPath + QStringLiteral(".json");
}

Failure ReportFiles::refusal(const QString &pdfPath, const QString &jsonPath, const QString &input)
{
    for (const QString &path : {pdfPath, jsonPath}) {
        const PlainFileCheck check(path);
        if (!check.isPlain())
            return Failure::refused(
                QStringLiteral("cannot write %1: %2").arg(path, check.reason()));
        const QFileInfo resolved(PlainFileCheck::resolvedPath(path));
        if (!resolved.dir().exists())
            return {Failure::Kind::NotFound,
                    QStringLiteral("cannot write %1: its folder %2 does not exist")
                        .arg(path, resolved.absolutePath())};
        if (!input.isEmpty() && PlainFileCheck::sameFile(path, input))
            return Failure::refused(
                QStringLiteral("cannot write %1: it is the trace the report is made from")
                    .arg(path));
    }
    if (PlainFileCheck::sameFile(pdfPath, jsonPath))
        return Failure::refused(
            QStringLiteral("the PDF and the JSON file must be two files (%1 and %2 are one)")
                .arg(pdfPath, jsonPath));
    return Failure();
}

bool ReportFiles::save(const CheckReport &report, const QString &pdfPath, const QString &jsonPath,
                       const QDateTime &made, Failure *error)
{
    if (const Failure refused = refusal(pdfPath, jsonPath); refused.failed())
        return fail(error, refused);
    StagedFile pdf(pdfPath);
    StagedFile json(jsonPath);
    if (!pdf.create() || !json.create())
        return fail(error, pdf.failure().failed() ? pdf.failure() : json.failure());
    Failure why;
    const bool drawn = ReportPdf::write(report, pdf, made, &why);
    if (!pdf.finish())
        return fail(error, pdf.failure());
    if (!drawn)
        return fail(error, why.within(QStringLiteral("cannot write %1").arg(pdfPath)));
    // Streamed: the JSON of a long session lists every measurement.
    if (!ReportJson::write(report, json) || !json.finish())
        return fail(error, json.failure());
    return StagedFile::commitPair(json, pdf, error);
}
