// SPDX-License-Identifier: MIT
// The program's own pictures, drawn here with QPainter in a few plain colours:
// the icon (a pressure dial with its needle, 32 x 32 and 16 x 16) and the logo
// (the dial, the program's name and an oscillometric pulse trace, 220 x 50 on a
// transparent background). Used by the main window and the About window.
#pragma once

#include <QIcon>
#include <QPixmap>

class QPainter;

class Artwork
{
public:
    static constexpr int kLogoWidth = 220;
    static constexpr int kLogoHeight = 50;

    // Draws the icon into the 32 x 32 box at the origin of `painter`'s
    // coordinates; every icon image, on screen or installed, comes from here.
    static void drawIcon(QPainter &painter);
    // The icon at `size` x `size` pixels (drawn for 32 and 16).
    static QPixmap iconPixmap(int size);
    // Both icon sizes in one icon.
    static QIcon icon();
    static QPixmap logo();
};
