// The two value tables the operator steps through: the initial cuff pump-up
// pressure and the cycle time for automated measurements. Each entry pairs the
// command text sent to the board with the text shown in its field.
#pragma once

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
        {"19;;E0", "100 mmHg"},
        {"20;;D8", "120 mmHg"},
        {"21;;D9", "140 mmHg"},
        {"22;;DA", "160 mmHg"},
        {"23;;DB", "180 mmHg"},
    }};

    static constexpr std::array<Entry, 9> kCycle = {{
        {"03;;D9", "Manual"},
        {"04;;DA", "1 min"},
        {"05;;DB", "2 min"},
        {"06;;DC", "3 min"},
        {"07;;DD", "4 min"},
        {"08;;DE", "5 min"},
        {"09;;DF", "10 min"},
        {"10;;D7", "15 min"},
        {"11;;D8", "30 min"},
    }};

    static constexpr unsigned kPumpUpStartIndex = 3; // "160 mmHg"
    static constexpr unsigned kCycleStartIndex = 0;  // "Manual"
};
