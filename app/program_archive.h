// SPDX-License-Identifier: MIT
// The program's archive of runs, made once at start from the settings file's
// [archive] (ArchiveSettings): the local SQLite archive every run is stored
// in first (ArchiveStore), the run archiver on it (RunArchiver: the plan
// runner's saver, the Bench checks window's free checks) and, when a line's
// PostgreSQL database is named, the push to it on a thread of its own
// (ArchivePusher), which is told after each run stored. Nothing here waits
// on the network: a line's database that is down at start only leaves the
// runs waiting, and the main window says how many. What cannot be used (a
// value of [archive], a local archive that does not open, a failed push) is
// told on standard error; a run that cannot be stored says so itself.
#pragma once

#include "archive_settings.h"
#include "archive_store.h"
#include "bench_checks_window.h"
#include "run_archiver.h"

#include <QObject>

#include <memory>

class ArchivePusher;
class MainWindow;

class ProgramArchive : public QObject
{
    Q_OBJECT

public:
    explicit ProgramArchive(const ArchiveSettings &settings, QObject *parent = nullptr);
    ~ProgramArchive() override;

    RunArchiver &archiver() { return m_archiver; }
    // What the Bench checks window stores and asks through.
    BenchChecksWindow::Archive windowArchive();
    // Gives `window` the archive and the count of runs waiting, and starts
    // the push when a line's database is named. `window` must outlive this.
    void start(MainWindow &window);
    // The push, when a line's database is named; null otherwise.
    ArchivePusher *pusher() const { return m_pusher.get(); }

private:
    ArchiveSettings m_settings;
    ArchiveStore m_store;
    RunArchiver m_archiver;
    std::unique_ptr<ArchivePusher> m_pusher;
};
