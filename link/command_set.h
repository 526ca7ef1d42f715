// SPDX-License-Identifier: MIT
// Every command text the program sends to the board, as fixed literals. A coded
// text is a two-digit code, ";;" and the checksum of the first four characters
// in upper-case hex (see CommandFrame::codedText); "X" breaks the current
// operation and has neither code nor checksum.
#pragma once

#include <array>

class CommandSet
{
public:
    static constexpr const char *kStart = "01;;D7";
    static constexpr const char *kCycleManual = "03;;D9";
    static constexpr const char *kCycle1Min = "04;;DA";
    static constexpr const char *kCycle2Min = "05;;DB";
    static constexpr const char *kCycle3Min = "06;;DC";
    static constexpr const char *kCycle4Min = "07;;DD";
    static constexpr const char *kCycle5Min = "08;;DE";
    static constexpr const char *kCycle10Min = "09;;DF";
    static constexpr const char *kCycle15Min = "10;;D7";
    static constexpr const char *kCycle30Min = "11;;D8";
    static constexpr const char *kManometer = "14;;DB";
    static constexpr const char *kLeakTest = "17;;DE";
    static constexpr const char *kReadStatus = "18;;DF";
    static constexpr const char *kPumpUp100 = "19;;E0";
    static constexpr const char *kPumpUp120 = "20;;D8";
    static constexpr const char *kPumpUp140 = "21;;D9";
    static constexpr const char *kPumpUp160 = "22;;DA";
    static constexpr const char *kPumpUp180 = "23;;DB";
    static constexpr const char *kAdult = "24;;DC";
    static constexpr const char *kNeonate = "25;;DD";
    static constexpr const char *kBreak = "X";

    static constexpr std::array<const char *, 21> kAll = {
        kStart,      kCycleManual, kCycle1Min,  kCycle2Min, kCycle3Min, kCycle4Min,  kCycle5Min,
        kCycle10Min, kCycle15Min,  kCycle30Min, kManometer, kLeakTest,  kReadStatus, kPumpUp100,
        kPumpUp120,  kPumpUp140,   kPumpUp160,  kPumpUp180, kAdult,     kNeonate,    kBreak};
};
