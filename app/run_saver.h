// SPDX-License-Identifier: MIT
// The plan runner's saver for the program: the run's PDF, JSON and trace
// written into the reports folder (PlanPage's plain saver), then, where the
// program keeps an archive, the run stored in it (RunArchiver, session/)
// before the runner announces its verdict.
#pragma once

#include "plan_runner.h"

class RunArchiver;

class RunSaver
{
public:
    // `archiver` may be null (a build without the archive): the files only.
    // It must outlive the saver.
    static PlanRunner::Saver make(RunArchiver *archiver);
};
