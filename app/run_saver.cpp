// SPDX-License-Identifier: MIT
#include "run_saver.h"

#include "plan_page.h"
#ifdef TARNVIK_ARCHIVE
#include "run_archiver.h"
#endif

PlanRunner::Saver RunSaver::make(RunArchiver *archiver)
{
#ifdef TARNVIK_ARCHIVE
    if (archiver)
        return archiver->saver(PlanPage::plainSaver());
#else
    Q_UNUSED(archiver);
#endif
    return PlanPage::plainSaver();
}
