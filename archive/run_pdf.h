// SPDX-License-Identifier: MIT
// A run's PDF as the archive keeps it, with what names the run to the
// operator (HistorySource::fetchPdf).
#pragma once

#include <QByteArray>
#include <QString>

struct RunPdf
{
    QString uuid;
    QString board;
    QString started;  // ISO 8601 with its UTC offset
    QByteArray bytes; // empty when the run was stored without a PDF
};
