// SPDX-License-Identifier: MIT
#include "result_row.h"

#include "byte_notation.h"
#include "iso_time.h"

namespace {

// A field a spreadsheet would read as a formula gets a leading apostrophe,
// which it shows as text: a board that sends "=A1" as a value must not make
// the file compute.
QString asText(const QString &field)
{
    static const QString kFormulaStart = QStringLiteral("=+-@\t\r");
    if (!field.isEmpty() && kFormulaStart.contains(field.front()))
        return QLatin1Char('\'') + field;
    return field;
}

} // namespace

QStringList ResultRow::headerFields()
{
    return {QStringLiteral("time"),     QStringLiteral("port"),      QStringLiteral("device"),
            QStringLiteral("patient"),  QStringLiteral("pump-up"),   QStringLiteral("cycle"),
            QStringLiteral("systolic"), QStringLiteral("diastolic"), QStringLiteral("mean"),
            QStringLiteral("pulse"),    QStringLiteral("outcome"),   QStringLiteral("raw line")};
}

QStringList ResultRow::fields(const MeasurementEnd &end, const QString &port, const QString &device,
                              const QDateTime &when)
{
    const bool result = end.outcome == MeasurementEnd::Outcome::Result;
    // The raw line begins with <STX> and keeps the board's bytes as they came.
    return {isoLocalTime(when),
            asText(port),
            asText(device),
            asText(end.patient),
            asText(end.pumpUp),
            asText(end.cycle),
            asText(end.systolic),
            asText(end.diastolic),
            asText(end.mean),
            asText(end.pulse),
            QString::fromLatin1(result ? kResult : kAborted),
            ByteNotation::readable(end.line.toLatin1())};
}

QString ResultRow::isoLocalTime(const QDateTime &when)
{
    return IsoTime::withOffset(when.toLocalTime());
}

// RFC 4180: a field with a comma, a quote, CR or LF is quoted, its quotes
// doubled; every line ends with CRLF.
QByteArray ResultRow::csvLine(const QStringList &fields)
{
    QString text;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        QString field = fields.at(i);
        if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
            field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n')))
            field = QLatin1Char('"') + field.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                    QLatin1Char('"');
        if (i > 0)
            text += QLatin1Char(',');
        text += field;
    }
    text += QLatin1String("\r\n");
    return text.toUtf8();
}
