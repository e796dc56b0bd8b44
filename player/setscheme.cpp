// The colour scheme and the background image, with the F5 file selector
// that picks another image.
#include <cstdio>

#include "player.h"

namespace {

constexpr const char *kImageFilter = "BMP;LBM;PCX;TGA;JPG";

// Replaces the loaded image by a copy stretched to the screen's size, so
// that each frame copies the background instead of scaling it again (the
// same pixels: the copy is made by the same stretch). Without a screen, or
// without memory for the copy, the image stays as loaded and each frame
// stretches it.
void fit_to_screen() {
    if (SCREEN_W <= 0 || SCREEN_H <= 0) return;
    if (bgImage->w == SCREEN_W && bgImage->h == SCREEN_H) return;
    BITMAP *fitted = create_bitmap_ex(bitmap_color_depth(bgImage), SCREEN_W, SCREEN_H);
    if (!fitted) return;
    stretch_blit(bgImage, fitted, 0, 0, bgImage->w, bgImage->h, 0, 0, SCREEN_W, SCREEN_H);
    destroy_bitmap(bgImage);
    bgImage = fitted;
}

}  // namespace

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
    if (bgImage) fit_to_screen();
}

void Change_Background_Image(char *path) {
    const Playback_Hold hold;
    Choose_File("Select Backgrond Image File...", path, kImageFilter);
    // No usable choice: the old image stays.
    if (!exists(path)) return;
    if (path != BGImageFile) std::snprintf(BGImageFile, sizeof BGImageFile, "%s", path);
    load_bgfile();
}
