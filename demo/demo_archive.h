// SPDX-License-Identifier: MIT
// The demo's own archive of runs: a SQLite file in the demo's output folder
// (a headless run) or in a temporary folder (an interactive one), never the
// user's archive. The plan's run is stored through the runner's saver after
// its files, the bench check's report after it is saved, and the Bench
// checks window shows a board's earlier runs from it, as in the program.
#pragma once

#include "archive_settings.h"
#include "archive_store.h"
#include "bench_checks_window.h"
#include "plan_runner.h"
#include "run_archiver.h"

#include <QString>
#include <QTemporaryDir>

class DemoArchive
{
public:
    static constexpr const char *kFile = "archive.sqlite";
    static constexpr const char *kStation = "demo";

    // `folder` empty: a temporary folder, gone when the demo ends.
    explicit DemoArchive(const QString &folder);

    // Why the archive cannot be used, or none.
    Failure failure() const { return m_failure; }
    QString file() const { return m_file; }
    BenchChecksWindow::Archive windowArchive();
    // This archive as the History window searches it.
    ArchiveSettings settings() const;
    PlanRunner::Saver saver(PlanRunner::Saver files) { return m_archiver.saver(std::move(files)); }

private:
    QTemporaryDir m_scratch;
    QString m_file;
    ArchiveStore m_store;
    RunArchiver m_archiver;
    Failure m_failure;
};
