// SPDX-License-Identifier: MIT
// The colours of the verdicts, said once for everything that shows one: the
// report's cells, banner and notes, the Bench checks window's badges and
// table. Plain RGB values (0xRRGGBB) and no Qt Gui, so that the layers below
// the windows hold them too; the report and the windows make QColors of them.
//
// Each verdict has a light fill (a report cell or banner, dark text on it), an
// ink (the verdict's own text and lines, on white or on its fill) and the
// badge's background and text. The contrast they reach, by WCAG's measure:
// the report's text (0x202020) on a fill and a badge's text on its badge at
// least 4.5:1; an ink on white at least 4.5:1; an ink on its fill at least
// 3:1, as the banner writes it large and bold (16 pt). The red is 0xb01010:
// 7.2:1 under white badge text and 5.1:1 on its fill.
#pragma once

#include "verdict.h"

#include <QtGlobal>

class VerdictPalette
{
public:
    struct Colours
    {
        quint32 fill;
        quint32 ink;
        quint32 badge;
        quint32 badgeText;
    };

    static constexpr Colours of(Verdict verdict)
    {
        switch (verdict) {
        case Verdict::Pass:
            return {0xd4efd4, 0x1b6e2a, 0x1b6e2a, 0xffffff};
        case Verdict::Fail:
            return {0xf8cfcf, 0xb01010, 0xb01010, 0xffffff};
        case Verdict::Incomplete:
            return {0xfbe6b8, 0x9a6000, 0xf2b400, 0x000000};
        case Verdict::None:
            break;
        }
        return {0xeaeaea, 0x606060, 0xe6e6e6, 0x555555};
    }
};
