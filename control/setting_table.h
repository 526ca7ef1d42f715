// SPDX-License-Identifier: MIT
// The two value tables the operator steps through: the initial cuff pump-up
// pressure and the cycle time for automated measurements. Each entry pairs the
// command text sent to the board, taken from the command set, with the text
// shown in its field.
#pragma once

#include "command_set.h"

#include <array>
#include <cstddef>

class SettingTable
{
public:
    struct Entry
    {
        const char *command;
        const char *text;
    };

    static constexpr std::array<Entry, 5> kPumpUp = {{
        {CommandSet::kPumpUp100, "100 mmHg"},
        {CommandSet::kPumpUp120, "120 mmHg"},
        {CommandSet::kPumpUp140, "140 mmHg"},
        {CommandSet::kPumpUp160, "160 mmHg"},
        {CommandSet::kPumpUp180, "180 mmHg"},
    }};

    static constexpr std::array<Entry, 9> kCycle = {{
        {CommandSet::kCycleManual, "Manual"},
        {CommandSet::kCycle1Min, "1 min"},
        {CommandSet::kCycle2Min, "2 min"},
        {CommandSet::kCycle3Min, "3 min"},
        {CommandSet::kCycle4Min, "4 min"},
        {CommandSet::kCycle5Min, "5 min"},
        {CommandSet::kCycle10Min, "10 min"},
        {CommandSet::kCycle15Min, "15 min"},
        {CommandSet::kCycle30Min, "30 min"},
    }};

    static constexpr unsigned kPumpUpStartIndex = 3; // "160 mmHg"
    static constexpr unsigned kCycleStartIndex = 0;  // "Manual"
};
