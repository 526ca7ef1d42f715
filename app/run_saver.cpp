// SPDX-License-Identifier: MIT
#include "run_saver.h"

#include "run_files.h"
#ifdef TARNVIK_ARCHIVE
#include "run_archiver.h"
#endif

PlanRunner::Files RunSaver::saveFiles(const QString &folder, const CheckReport &report,
                                      const QByteArray &trace, const QDateTime &startedUtc)
{
    const RunFiles::Written written =
        RunFiles::save(folder, report, trace, startedUtc, QDateTime::currentDateTime());
    return PlanRunner::Files{written.pdf, written.json, written.trace, written.failure};
}

PlanRunner::Saver RunSaver::make(RunArchiver *archiver)
{
#ifdef TARNVIK_ARCHIVE
    if (archiver)
        return archiver->saver(&RunSaver::saveFiles);
#else
    Q_UNUSED(archiver);
#endif
    return &RunSaver::saveFiles;
}
