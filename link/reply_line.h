// SPDX-License-Identifier: MIT
// The fields of a reply line as the board sends them. Positions count from 1
// with the STX at position 1, so the board's first payload character is at 2.
// A pressure line carries the cuff pressure at 2..4; a result line ("S" at 2)
// carries systolic 17..19, diastolic 20..22, mean 23..25 and pulse 28..30.
// Taking a field never fails: a short line gives what it has, or "".
#pragma once

#include <QString>

#include <optional>

class ReplyLine
{
public:
    struct Field
    {
        int position;
        int length;
    };

    static constexpr Field kKind{2, 1};
    static constexpr Field kCuffPressure{2, 3};
    static constexpr Field kSystolic{17, 3};
    static constexpr Field kDiastolic{20, 3};
    static constexpr Field kMean{23, 3};
    static constexpr Field kPulse{28, 3};

    // The pressure a board sends when a measurement failed and ended.
    static constexpr const char *kEndValue = "999";

    static QString take(const QString &line, Field field);
    static bool isResultLine(const QString &line);

    // A pressure field as a number: decimal digits with an optional leading
    // sign, blanks around it ignored. Anything else (empty, letters, a
    // fraction, an exponent, a value outside 16 bits) gives no value.
    static std::optional<qint16> pressureValue(const QString &field);
};
