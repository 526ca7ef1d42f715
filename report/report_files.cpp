// SPDX-License-Identifier: MIT
#include "report_files.h"

#include "report_json.h"
#include "report_pdf.h"

#include <QFileInfo>
#include <QSaveFile>

QString ReportFiles::jsonBeside(const QString &pdfPath)
{
    if (pdfPath.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return pdfPath.chopped(4) + QStringLiteral(".json");
    return pdfPath + QStringLiteral(".json");
}

bool ReportFiles::save(const CheckReport &report, const QString &pdfPath, const QString &jsonPath,
                       const QDateTime &made, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (QFileInfo(pdfPath).absoluteFilePath() == QFileInfo(jsonPath).absoluteFilePath())
        return fail(QStringLiteral("the PDF and the JSON file must be two files"));
    QSaveFile pdf(pdfPath);
    QSaveFile json(jsonPath);
    if (!pdf.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write %1: %2").arg(pdfPath, pdf.errorString()));
    if (!json.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write %1: %2").arg(jsonPath, json.errorString()));
    QString why;
    if (!ReportPdf::write(report, pdf, made, &why))
        return fail(QStringLiteral("cannot write %1: %2").arg(pdfPath, why));
    const QByteArray text = ReportJson::text(report);
    if (json.write(text) != text.size())
        return fail(QStringLiteral("cannot write %1: %2").arg(jsonPath, json.errorString()));
    // Both are whole. Should the PDF still fail, the new JSON goes again.
    if (!json.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(jsonPath, json.errorString()));
    if (!pdf.commit()) {
        QFile::remove(jsonPath);
        return fail(QStringLiteral("cannot write %1: %2").arg(pdfPath, pdf.errorString()));
    }
    return true;
}
