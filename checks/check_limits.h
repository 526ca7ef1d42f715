// SPDX-License-Identifier: MIT
// The limits the bench checks judge by, and the times they measure over.
// The defaults are the values usual for automated sphygmomanometers; the
// [checks] group of the program's settings file (the file PortMap reads)
// can change each of them within its range:
//
//   [checks]
//   static_mmHg=3                 largest |board - reference| of a static point
//   leak_mmHg_per_min=6           largest leak rate
//   ...
//
// keys() is the one list of them: name, unit, default, range and the words
// the report prints. The loader, the JSON form and the PDF all read it. A
// bad value, one out of its range or an unknown key is named in the problems
// and the default is kept; a file that does not exist gives the defaults and
// no problem. A file QSettings finds malformed (a section line without its
// "]") gives the defaults, as it does for the [ports] group. A longest
// settling below the shortest is named and raised to it. Values are kept and
// compared as given: 250.6 stays 250.6.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

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
    double leakSettleMaxS = 60;
    double leakWindowS = 60;
    double staticWindowS = 2;
    double staticSpreadMmHg = 2;
    double seriesMinN = 5;
    double inflationAdultS = 180;
    double inflationNeonateS = 90;

    // One [checks] key.
    struct Key
    {
        const char *name; // "leak_mmHg_per_min"
        double CheckLimits::*value;
        const char *unit; // "mmHg/min"; "" for a count
        double low;       // the range a value must lie in, both ends included
        double high;
        bool whole;        // only whole numbers
        const char *label; // "Leak rate, largest"
    };
    static const std::vector<Key> &keys();

    // The [checks] group of `file` over the defaults; each problem is one
    // line in words for the operator, added to `problems`.
    static CheckLimits load(const QString &file, QStringList *problems = nullptr);
    // A limit as it was given, in its shortest form: 300, 2.5, 0.04.
    static QString text(double value);

private:
    QString take(const QString &name, const QVariant &raw);
    QString reconcile();
    static QString brokenSection(const QString &file);
};
