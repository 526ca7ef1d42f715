// SPDX-License-Identifier: MIT
// Records for the archive's tests: runs with a report in the bench check
// report's JSON form (leak tests and static points), acts, and a small PDF
// whose text pdftotext reads back.
#pragma once

#include "act_record.h"
#include "run_record.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <optional>

namespace archive_test {

// A PDF of one page that says `text` (Latin-1, no parentheses or backslashes).
inline QByteArray pdfSaying(const QByteArray &text)
{
    const QByteArray stream = "BT /F1 12 Tf 72 720 Td (" + text + ") Tj ET";
    QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + QByteArray::number(stream.size()) + " >>\nstream\n" + stream +
            "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

// A run of `board` started at `started` (+01:00) with a leak test at `leak`
// and static points with `errors`, as the bench check report's JSON has them.
inline RunRecord run(const QString &board, const QString &verdict, const QDateTime &started,
                     std::optional<double> leak = std::nullopt, const QList<double> &errors = {})
{
    RunRecord record;
    record.id = QUuid::createUuid();
    record.board = board;
    record.operatorName = QStringLiteral("A. Engineer");
    record.instrument = QStringLiteral("Gauge 7");
    record.calibrationDue = QDate(2027, 6, 30);
    record.planName = QStringLiteral("Standard NIBP bench check");
    record.planVersion = QStringLiteral("1.0");
    record.planSha256 = QString(64, QLatin1Char('a'));
    record.started = started;
    record.ended = started.addSecs(300);
    record.programVersion = QStringLiteral("tarnvik 1.0.1");
    record.verdict = verdict;
    record.stepsJson = R"([{"step":"leak","verdict":"pass"}])";
    QJsonObject report{{"board", board}, {"verdict", verdict}};
    if (leak)
        report.insert("leak_tests", QJsonArray{QJsonObject{{"rate_mmHg_per_min", *leak}}});
    QJsonArray points;
    for (double error : errors)
        points.append(QJsonObject{{"error_mmHg", error}});
    report.insert("static_points", points);
    record.reportJson = QJsonDocument(report).toJson(QJsonDocument::Indented);
    record.pdf = pdfSaying("Board " + board.toLatin1() + " " + verdict.toUpper().toLatin1());
    record.traceSha256 = QString(64, QLatin1Char('b'));
    return record;
}

inline QDateTime at(int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute), QTimeZone(3600));
}

inline ActRecord approval(const QUuid &run, const QString &author = QStringLiteral("Q. Lead"))
{
    ActRecord act;
    act.id = QUuid::createUuid();
    act.run = run;
    act.kind = ActRecord::Kind::Approval;
    act.author = author;
    act.meaning = QStringLiteral("released for shipping");
    act.at = at(8, 9);
    return act;
}

} // namespace archive_test
