// SPDX-License-Identifier: MIT
// Shows what keeps the record from being written (the results file, the
// trace, a disk that does not keep up) as the board state's failure notice, and
// takes each notice back when the RecordWriter says its cause has mended.
// When the notice withdrawn was the one shown and another cause of the
// record still stands, that one is shown again.
#pragma once

#include "board_state.h"
#include "record_writer.h"

#include <QMap>
#include <QObject>
#include <QString>

class RecordNotice : public QObject
{
    Q_OBJECT

public:
    RecordNotice(RecordWriter &writer, BoardState &state, QObject *parent = nullptr);

private:
    void showFailure(RecordWriter::Source source, const QString &notice);
    void withdraw(RecordWriter::Source source);

    BoardState &m_state;
    QMap<RecordWriter::Source, QString> m_standing;
};
