// SPDX-License-Identifier: MIT
#include "listed_rows.h"

#include <QLocale>

ListedRows::ListedRows(int count, const std::function<bool(int)> &flagged)
    : m_count(count)
{
    if (count <= kAll) {
        for (int i = 0; i < count; ++i)
            m_rows.append(i);
        return;
    }
    for (int i = 0; i < kEnds; ++i)
        m_rows.append(i);
    int taken = 0;
    for (int i = kEnds; i < count - kEnds; ++i) {
        if (!flagged(i))
            continue;
        if (taken < kFlagged) {
            m_rows.append(i);
            ++taken;
        } else {
            ++m_flaggedLeft;
        }
    }
    for (int i = count - kEnds; i < count; ++i)
        m_rows.append(i);
}

QString ListedRows::note(const QString &things) const
{
    const int left = m_count - int(m_rows.size());
    if (left == 0)
        return {};
    const QLocale c(QLocale::English);
    const QString failed =
        m_flaggedLeft > 0
            ? QStringLiteral(" (%1 of them failed or incomplete)").arg(c.toString(m_flaggedLeft))
            : QString();
    return QStringLiteral("%1 of %2 %3 are not listed%4: listed are the first and the last %5 "
                          "and every one that failed or is incomplete (up to %6); the JSON "
                          "file holds them all.")
        .arg(c.toString(left), c.toString(m_count), things, failed)
        .arg(kEnds)
        .arg(kFlagged);
}
