// SPDX-License-Identifier: MIT
#include "act_record.h"

QString ActRecord::kindName(Kind kind)
{
    return kind == Kind::Approval ? QStringLiteral("approval") : QStringLiteral("note");
}

bool ActRecord::kindOf(const QString &name, Kind &kind)
{
    for (const Kind k : {Kind::Approval, Kind::Note}) {
        if (name == kindName(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

Failure ActRecord::problem() const
{
    if (id.isNull() || run.isNull())
        return Failure::refused(QStringLiteral("it lacks its own or its run's UUID"));
    if (author.trimmed().isEmpty())
        return Failure::refused(QStringLiteral("it names nobody"));
    if (kind == Kind::Approval && meaning.trimmed().isEmpty())
        return Failure::refused(QStringLiteral("an approval must say what it means"));
    if (kind == Kind::Note && text.trimmed().isEmpty())
        return Failure::refused(QStringLiteral("the note is empty"));
    if (!at.isValid())
        return Failure::refused(QStringLiteral("it has no time"));
    for (const QString &field : {station, author, meaning, text}) {
        if (field.contains(QChar(0)))
            return Failure::refused(QStringLiteral("a text of it holds a NUL character"));
    }
    return Failure();
}
