// SPDX-License-Identifier: MIT
#include "record_notice.h"

RecordNotice::RecordNotice(RecordWriter &writer, BoardState &state, QObject *parent)
    : QObject(parent)
    , m_state(state)
{
    connect(&writer, &RecordWriter::failed, this, &RecordNotice::showFailure);
    connect(&writer, &RecordWriter::mended, this, &RecordNotice::withdraw);
}

void RecordNotice::showFailure(RecordWriter::Source source, const QString &notice)
{
    m_standing.insert(source, notice);
    m_state.reportFailure(notice);
}

void RecordNotice::withdraw(RecordWriter::Source source)
{
    const QString notice = m_standing.take(source);
    if (m_state.withdrawFailure(notice) && !m_standing.isEmpty())
        m_state.reportFailure(m_standing.last());
}
