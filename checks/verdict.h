// SPDX-License-Identifier: MIT
// A check's verdict, and the rule that makes one verdict of several: fail
// when any fails, else incomplete when any is incomplete, else pass when any
// passed; None when nothing had a verdict (statistics only, nothing to judge).
#pragma once

#include <QString>

#include <initializer_list>

enum class Verdict { None, Pass, Fail, Incomplete };

// "pass", "fail", "incomplete"; "" for None.
QString verdictName(Verdict verdict);
// Adds `next` to `sofar` by the rule above.
Verdict combined(Verdict sofar, Verdict next);
Verdict combined(std::initializer_list<Verdict> verdicts);
