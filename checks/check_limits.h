// SPDX-License-Identifier: MIT
// The limits the bench checks judge by, and the times they measure over.
// The defaults are the values usual for automated sphygmomanometers; the
// [checks] group of the program's settings file (the file PortMap reads)
// can change each of them:
//
//   [checks]
//   static_mmHg=3                 largest |board - reference| of a static point
//   leak_mmHg_per_min=6           largest leak rate
//   max_pressure_adult_mmHg=300   highest cuff pressure in adult mode
//   max_pressure_neonate_mmHg=150 highest cuff pressure in neonate mode
//   mean_error_mmHg=5             largest |mean error| of a measurement series
//   sd_mmHg=8                     largest standard deviation of a series
//   leak_settle_s=5               wait after the hold pressure is reached
//   leak_window_s=60              time the leak is measured over
//   static_window_s=2             time a static point's reading is taken over
//   static_spread_mmHg=2          largest spread of the readings in that time
//
// Every value is a number above 0. A bad value or an unknown key is named in
// the problems and the default is kept; a file that does not exist gives the
// defaults and no problem.
#pragma once

#include <QString>
#include <QStringList>

class CheckLimits
{
public:
    double staticMmHg = 3;
    double leakMmHgPerMin = 6;
    double maxPressureAdultMmHg = 300;
    double maxPressureNeonateMmHg = 150;
    double meanErrorMmHg = 5;
    double sdMmHg = 8;
    double leakSettleS = 5;
    double leakWindowS = 60;
    double staticWindowS = 2;
    double staticSpreadMmHg = 2;

    // The [checks] group of `file` over the defaults; each problem is one
    // line in words for the operator, added to `problems`.
    static CheckLimits load(const QString &file, QStringList *problems = nullptr);
};
