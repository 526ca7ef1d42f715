// SPDX-License-Identifier: MIT
#include "record_notice.h"

RecordNotice::RecordNotice(RecordWriter &writer, PanelDisplay &display, QObject *parent)
    : QObject(parent)
    , m_display(display)
{
    connect(&writer, &RecordWriter::failed, this, &RecordNotice::showFailure);
    connect(&writer, &RecordWriter::mended, this, &RecordNotice::withdraw);
}

void RecordNotice::showFailure(RecordWriter::Source source, const QString &notice)
{
    m_standing.insert(source, notice);
    m_display.reportFailure(notice);
}

void RecordNotice::withdraw(RecordWriter::Source source)
{
    const QString notice = m_standing.take(source);
    if (m_display.withdrawFailure(notice) && !m_standing.isEmpty())
        m_display.reportFailure(m_standing.last());
}
