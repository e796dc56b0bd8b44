// The frame: composed in the back buffer, then copied to the screen in one
// piece on every pass of the main loop.
#include "player.h"

namespace {

// Stretches the background image over the whole back buffer, or clears it
// to the background colour when there is no image.
void draw_background() {
    if (bgImage)
        stretch_blit(bgImage, Scr, 0, 0, bgImage->w, bgImage->h, 0, 0, Scr->w, Scr->h);
    else
        clear_to_color(Scr, BGColor);
}

}  // namespace

void Draw_Screen() {
    drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
    draw_background();
    acquire_screen();
    blit(Scr, screen, 0, 0, 0, 0, Scr->w, Scr->h);
    release_screen();
    drawing_mode(DRAW_MODE_SOLID, nullptr, 0, 0);
}
