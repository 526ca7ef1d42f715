// SPDX-License-Identifier: MIT
#include "program_archive.h"

#include "archive_pusher.h"
#include "main_window.h"

#include <cstdio>

namespace {

void tell(const QString &text)
{
    std::fprintf(stderr, "tarnvik: %s\n", qPrintable(text));
}

} // namespace

ProgramArchive::ProgramArchive(const ArchiveSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_store(settings.local(), settings.station())
    , m_archiver(m_store)
{
    for (const QString &problem : m_settings.problems())
        tell(problem);
    // A local archive that does not open now is tried again at each run,
    // which then says why it is not stored.
    if (!m_store.open())
        tell(m_store.failure().text);
}

ProgramArchive::~ProgramArchive() = default;

BenchChecksWindow::Archive ProgramArchive::windowArchive()
{
    return {[this](const CheckReport &report, const QString &pdf, const QString &json,
                   Failure *why) { return m_archiver.storeFreeCheck(report, pdf, json, why); },
            [this](const QString &board) {
                return m_archiver.boardHistory(board);
            }};
}

void ProgramArchive::start(MainWindow &window)
{
    window.setArchive(windowArchive());
    if (!m_settings.line())
        return;
    m_pusher = std::make_unique<ArchivePusher>(m_settings.local(), *m_settings.line());
    connect(m_pusher.get(), &ArchivePusher::pendingChanged, &window,
            [&window](int runs, int) { window.showRunsWaiting(runs); });
    connect(m_pusher.get(), &ArchivePusher::failed, this,
            [](const QString &cause) { tell(cause); });
    connect(&m_archiver, &RunArchiver::stored, m_pusher.get(), &ArchivePusher::pushNow);
    m_pusher->start();
}
