// SPDX-License-Identifier: MIT
#include "demo_archive.h"

#include <QDir>

DemoArchive::DemoArchive(const QString &folder)
    : m_file(QDir(folder.isEmpty() ? m_scratch.path() : folder).absoluteFilePath(kFile))
    , m_store(ArchiveLocation::sqliteFile(m_file), QString::fromLatin1(kStation))
    , m_archiver(m_store)
{
    if (!m_store.open())
        m_failure = m_store.failure();
}

ArchiveSettings DemoArchive::settings() const
{
    return ArchiveSettings::localOnly(ArchiveLocation::sqliteFile(m_file),
                                      QString::fromLatin1(kStation));
}

BenchChecksWindow::Archive DemoArchive::windowArchive()
{
    return {[this](const CheckReport &report, const QString &pdf, const QString &json,
                   Failure *why) { return m_archiver.storeFreeCheck(report, pdf, json, why); },
            [this](const QString &board) {
                return m_archiver.boardHistory(board);
            }};
}
