// Where the player's areas lie on the screens the tests use (8x8 font):
// the worked layouts of a 1024x768, an 800x600 and a 640x480 screen, and the colours
// that the default scheme gives over a plain black background.
#ifndef SCREEN_LAYOUT_H
#define SCREEN_LAYOUT_H

#include <ostream>
#include <string>

#include "picture.h"

struct Layout {
    int width, height;
    Rect playlist, current, controls;
    int rows;  // whole text rows in the playlist area
};

constexpr Layout kLayout1024{1024, 768, {0, 648, 756, 120}, {0, 608, 756, 40}, {756, 0, 268, 768}, 15};
constexpr Layout kLayout640{640, 480, {0, 408, 372, 72}, {0, 368, 372, 40}, {372, 0, 268, 480}, 9};
constexpr Layout kLayout800{800, 600, {0, 504, 532, 96}, {0, 464, 532, 40}, {532, 0, 268, 600}, 12};

// Names a layout in test output.
inline void PrintTo(const Layout &l, std::ostream *out) { *out << l.width << "x" << l.height; }

constexpr int kRowHeight = 8;
constexpr int kTextX = 10;    // left-aligned texts' x in an area
constexpr int kTextDrop = 1;  // panel texts start a pixel below their row

// Red panels at half strength over black, white frames over them, and the
// black highlight bar over the panel.
const Rgb kPanelFill = half_over(kRed, kBlack);
const Rgb kPanelFrame = half_over(kWhite, kPanelFill);
const Rgb kHighlight = half_over(kBlack, kPanelFill);

// Top y of text row `row` of area, as the panels draw their texts.
inline int text_y(const Rect &area, int row) { return area.y + row * kRowHeight + kTextDrop; }
// Left x of text centred in area.
inline int centred_x(const Rect &area, const std::string &text) {
    return area.x + area.w / 2 - font_text_length(text) / 2;
}

#endif
