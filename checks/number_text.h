// SPDX-License-Identifier: MIT
// Numbers as the report and the Bench checks window print them. A value
// judged against a limit gets as many decimals as it takes to show on which
// side of the limit it lies, one when that suffices: 6.002 against 6 prints
// "6.002", never "6.0" beside a FAIL; a value on its limit prints as the
// limit. Other values get one decimal. "-0.0" is never printed.
#pragma once

#include <QString>

class NumberText
{
public:
    // `value` with `decimals` decimals; "—" when it is not finite.
    static QString plain(double value, int decimals = 1);
    // The fewest decimals, one at least, with which `value` rounds to the
    // same side of `limit` (below, on, above) as it lies.
    static int decimals(double value, double limit);
    // `value` against the largest value that passes.
    static QString judged(double value, double limit);
    // `value` whose magnitude is judged against `limit` (an error ±): the
    // sign is kept, the decimals are those of |value|.
    static QString judgedMagnitude(double value, double limit);
};
