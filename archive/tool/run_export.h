// SPDX-License-Identifier: MIT
// The runs of tarnvik-archive's export, one at a time onto a stream: CSV
// (RFC 4180, a header line, CRLF line ends) or a JSON array of objects. Every
// column of a run but the PDF (its size instead); the JSON form also carries
// the steps and the report as JSON. A text cell of the CSV that starts like a
// spreadsheet formula (=, +, -, @) gets a leading apostrophe, so that opening
// the file does not run it; numbers are written as they are.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QVariantMap>

#include <cstdio>

class RunExport
{
public:
    enum class Format { Csv, Json };

    RunExport(Format format, std::FILE *out);

    void begin();
    void add(const QVariantMap &run);
    // False when the stream could not take it all (a full disk, a closed pipe).
    bool end();

    int count() const { return m_count; }
    static QStringList csvColumns();
    static QByteArray csvLine(const QStringList &fields);

private:
    void write(const QByteArray &bytes);
    QByteArray jsonOf(const QVariantMap &run) const;

    Format m_format;
    std::FILE *m_out;
    int m_count = 0;
    bool m_failed = false;
};
