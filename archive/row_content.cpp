// SPDX-License-Identifier: MIT
#include "row_content.h"

#include <QCryptographicHash>
#include <QLocale>

QByteArray RowContent::valueBytes(ArchiveSchema::ColumnType type, const QVariant &value)
{
    switch (type) {
    case ArchiveSchema::ColumnType::Text:
        return value.toString().toUtf8();
    case ArchiveSchema::ColumnType::Integer:
        return QByteArray::number(value.toLongLong());
    case ArchiveSchema::ColumnType::Real:
        return QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case ArchiveSchema::ColumnType::Bytes:
        return value.toByteArray();
    }
    return QByteArray();
}

QByteArray RowContent::serialise(ArchiveSchema::Table table, const QVariantList &values)
{
    const QList<ArchiveSchema::Column> &columns = ArchiveSchema::columns(table);
    QByteArray out =
        "tarnvik-archive row 1\ntable " + ArchiveSchema::tableName(table).toLatin1() + '\n';
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const ArchiveSchema::Column &column = columns.at(i);
        const QVariant value = i < values.size() ? values.at(i) : QVariant();
        out += column.name.toLatin1() + ' ';
        if (value.isNull()) {
            out += "-\n";
            continue;
        }
        const QByteArray bytes = valueBytes(column.type, value);
        out += QByteArray::number(bytes.size()) + ':' + bytes + '\n';
    }
    return out;
}

QString RowContent::sha256(ArchiveSchema::Table table, const QVariantList &values)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(serialise(table, values), QCryptographicHash::Sha256).toHex());
}

QString RowContent::chainStart()
{
    return QString(64, QLatin1Char('0'));
}
