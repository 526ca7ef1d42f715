// SPDX-License-Identifier: MIT
#include "run_record.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {

bool isSha256(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    return text.isEmpty() || hex.match(text).hasMatch();
}

// Empty, or JSON text in UTF-8 without NUL bytes (PostgreSQL's text holds none).
QString jsonProblem(const QByteArray &bytes, const char *what)
{
    if (bytes.isEmpty())
        return QString();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    QJsonParseError error;
    if (utf8.hasError() || bytes.contains('\0') || QJsonDocument::fromJson(bytes, &error).isNull())
        return QStringLiteral("its %1 is not JSON text in UTF-8").arg(QLatin1String(what));
    return QString();
}

} // namespace

Failure RunRecord::problem() const
{
    if (id.isNull())
        return Failure::refused(QStringLiteral("it has no UUID"));
    if (board.trimmed().isEmpty())
        return Failure::refused(QStringLiteral("it names no board"));
    if (!started.isValid())
        return Failure::refused(QStringLiteral("it has no start time"));
    if (verdict != QLatin1String("pass") && verdict != QLatin1String("fail") &&
        verdict != QLatin1String("incomplete"))
        return Failure::refused(
            QStringLiteral("its verdict \"%1\" is not pass, fail or incomplete").arg(verdict));
    if (!isSha256(planSha256) || !isSha256(traceSha256))
        return Failure::refused(QStringLiteral("a SHA-256 of it is not 64 lowercase hex digits"));
    for (const QString &text :
         {board, station, operatorName, instrument, planName, planVersion, programVersion}) {
        if (text.contains(QChar(0)))
            return Failure::refused(QStringLiteral("a text of it holds a NUL character"));
    }
    if (const QString json = jsonProblem(stepsJson, "steps"); !json.isEmpty())
        return Failure::refused(json);
    if (const QString json = jsonProblem(reportJson, "JSON report"); !json.isEmpty())
        return Failure::refused(json);
    return Failure();
}
