// SPDX-License-Identifier: MIT
// A later act on a stored run: a QA approval (who, and what the signature
// means) or a note. It is a row of its own that names the run by its UUID;
// the run's row is never changed. Chained in its station's order like runs.
#pragma once

#include "failure.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

struct ActRecord
{
    enum class Kind { Approval, Note };

    QUuid id;
    QUuid run;       // the run it is about
    QString station; // empty: the store's station
    Kind kind = Kind::Note;
    QString author;  // who approved or wrote the note
    QString meaning; // an approval's meaning ("released for shipping"); empty for a note
    QString text;    // the note, or a comment to an approval
    QDateTime at;    // when, with its UTC offset

    // "approval", "note".
    static QString kindName(Kind kind);
    static bool kindOf(const QString &name, Kind &kind);
    // Why the act cannot be stored (Refused); none when it can.
    Failure problem() const;
};
