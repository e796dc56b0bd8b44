// Shutdown: releases what start-up made. The library itself is shut down by
// the exit handler that start-up registered.
#include "player.h"

void deinit() {
    clear_keybuf();
    close_mp3_file();
    if (bgImage) {
        destroy_bitmap(bgImage);
        bgImage = nullptr;
    }
    // The sub-bitmaps go before the bitmap they share pixels with.
    destroy_bitmap(Controls_Area);
    destroy_bitmap(Current_Area);
    destroy_bitmap(Playlist_Area);
    destroy_bitmap(Scr);
    Controls_Area = Current_Area = Playlist_Area = Scr = nullptr;
}
