// The colour scheme and the background image.
#include <cstdio>

#include "player.h"

int FGColor = 0;
int BGColor = 0;
int fillclr = 0;
char BGImageFile[kPathSize];
BITMAP *bgImage = nullptr;

void Set_Scheme(int background, int text, int window, const char *image) {
    BGColor = background;
    FGColor = text;
    fillclr = window;
    std::snprintf(BGImageFile, sizeof BGImageFile, "%s", image);
    load_bgfile();
}

void load_bgfile() {
    if (bgImage) destroy_bitmap(bgImage);
    // Missing, unreadable or unknown files give no image: the plain
    // background colour shows instead.
    bgImage = load_bitmap(BGImageFile, pal);
}
