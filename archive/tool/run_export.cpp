// SPDX-License-Identifier: MIT
#include "run_export.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace {

// The columns whose cells are numbers, never taken for a formula.
const QStringList kNumbers = {"seq", "started_ms", "leak_mmhg_per_min", "static_error_mmhg",
                              "pdf_bytes"};

QString cellOf(const QString &column, const QVariant &value)
{
    if (value.isNull())
        return QString();
    if (column == QLatin1String("leak_mmhg_per_min") ||
        column == QLatin1String("static_error_mmhg"))
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    const QString text = value.toString();
    static const QString formula = QStringLiteral("=+-@\t\r");
    if (!kNumbers.contains(column) && !text.isEmpty() && formula.contains(text.front()))
        return QLatin1Char('\'') + text;
    return text;
}

} // namespace

RunExport::RunExport(Format format, std::FILE *out)
    : m_format(format)
    , m_out(out)
{}

QStringList RunExport::csvColumns()
{
    return {"uuid",
            "station",
            "seq",
            "board",
            "operator_name",
            "instrument",
            "calibration_due",
            "plan_name",
            "plan_version",
            "plan_sha256",
            "started",
            "ended",
            "started_ms",
            "program_version",
            "verdict",
            "leak_mmhg_per_min",
            "static_error_mmhg",
            "trace_sha256",
            "pdf_bytes",
            "prev_sha256",
            "content_sha256"};
}

QByteArray RunExport::csvLine(const QStringList &fields)
{
    QStringList quoted;
    for (QString field : fields) {
        if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
            field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n')))
            field = QLatin1Char('"') + field.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                    QLatin1Char('"');
        quoted << field;
    }
    return quoted.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

void RunExport::write(const QByteArray &bytes)
{
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out) != size_t(bytes.size()))
        m_failed = true;
}

void RunExport::begin()
{
    write(m_format == Format::Csv ? csvLine(csvColumns()) : QByteArray("["));
}

QByteArray RunExport::jsonOf(const QVariantMap &run) const
{
    QJsonObject object;
    for (auto it = run.constBegin(); it != run.constEnd(); ++it) {
        if (it.key() == QLatin1String("steps_json") || it.key() == QLatin1String("report_json"))
            continue;
        const QString key = it.key() == QLatin1String("uuid") ? QStringLiteral("id") : it.key();
        object.insert(key,
                      it.value().isNull() ? QJsonValue() : QJsonValue::fromVariant(it.value()));
    }
    const auto embedded = [&run](const char *column) {
        const QByteArray text = run.value(QLatin1String(column)).toString().toUtf8();
        const QJsonDocument document = QJsonDocument::fromJson(text);
        return document.isArray()    ? QJsonValue(document.array())
               : document.isObject() ? QJsonValue(document.object())
                                     : QJsonValue();
    };
    object.insert(QStringLiteral("steps"), embedded("steps_json"));
    object.insert(QStringLiteral("report"), embedded("report_json"));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void RunExport::add(const QVariantMap &run)
{
    if (m_format == Format::Csv) {
        QStringList fields;
        for (const QString &column : csvColumns())
            fields << cellOf(column, run.value(column));
        write(csvLine(fields));
    } else {
        write((m_count > 0 ? QByteArray(",\n") : QByteArray("\n")) + jsonOf(run));
    }
    ++m_count;
}

bool RunExport::end()
{
    if (m_format == Format::Json)
        write("\n]\n");
    if (std::fflush(m_out) != 0)
        m_failed = true;
    return !m_failed;
}
