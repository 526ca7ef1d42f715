// SPDX-License-Identifier: MIT
// Which rows of a long table the PDF lists: all of them up to kAll rows;
// beyond that the first and the last kEnds rows and, between them, every
// flagged row (failed or incomplete) up to kFlagged more. The rest are
// counted for a line under the table; the JSON holds them all.
#pragma once

#include <QList>
#include <QString>

#include <functional>

class ListedRows
{
public:
    static constexpr int kAll = 300;
    static constexpr int kEnds = 50;
    static constexpr int kFlagged = 200;

    ListedRows(int count, const std::function<bool(int)> &flagged);

    // The indices to list, ascending.
    const QList<int> &rows() const { return m_rows; }
    // "98,700 of 100,000 measurements are not listed (3 of them failed or
    // incomplete); the JSON file holds them all." Empty when all are listed.
    QString note(const QString &things) const;

private:
    QList<int> m_rows;
    int m_count = 0;
    int m_flaggedLeft = 0; // flagged rows not listed
};
