// Start-up: the library, the screen, colours, input, sound, and the back
// buffer with its three areas. Either all of it succeeds or the process ends
// through fat_error.
#include <jpgalleg.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "player.h"

namespace {

constexpr int kFallbackDepth = 32;
constexpr int kFallbackWidth = 800;
constexpr int kFallbackHeight = 600;
constexpr int kTransWeight = 64;    // 8-bit translucency, of 255
constexpr int kTransAlpha = 128;    // translucency in other depths, of 255
constexpr int kRowSpacing = 2;      // pixels between rows when counting rows
constexpr int kPlaylistShare = 5;   // the playlist takes a fifth of the rows
constexpr int kCurrentRows = 5;     // rows of the current-song band
constexpr int kControlsMargin = 20; // 10 pixels either side of the help text
// The help line whose width sets the controls column's width.
constexpr const char *kWidestHelpLine = "PageDown  Jump Down in Playlist";

void set_screen_mode() {
    const int depth = desktop_color_depth();
    set_color_depth(depth == 0 ? kFallbackDepth : depth);
    int width = 0;
    int height = 0;
    if (get_desktop_resolution(&width, &height) != 0) {
        width = kFallbackWidth;
        height = kFallbackHeight;
    }
    if (set_gfx_mode(GFX_AUTODETECT, width, height, 0, 0) != 0) fat_error(kNoGraphics);
}

void set_translucency() {
    create_trans_table(&trans_table, pal, kTransWeight, kTransWeight, kTransWeight, nullptr);
    color_map = &trans_table;
    set_trans_blender(0, 0, 0, kTransAlpha);
}

void install_input_and_sound() {
    install_timer();
    install_keyboard();
    install_mouse();
    set_volume_per_voice(0);
    if (install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) < 0) fat_error(kNoSound);
    set_display_switch_mode(is_windowed_mode() ? SWITCH_BACKGROUND : SWITCH_BACKAMNESIA);
}

// The playlist band at the bottom left, the current-song band above it and
// the full-height controls column on the right.
void create_areas() {
    const int width = Scr->w;
    const int height = Scr->h;
    const int rows = height / (text_height(font) + kRowSpacing);
    const int playlist_h = Convert_Row(rows / kPlaylistShare);
    const int current_h = Convert_Row(kCurrentRows);
    const int controls_w = text_length(font, kWidestHelpLine) + kControlsMargin;
    Playlist_Area = create_sub_bitmap(Scr, 0, height - playlist_h, width - controls_w, playlist_h);
    Current_Area = create_sub_bitmap(Scr, 0, height - playlist_h - current_h, width - controls_w, current_h);
    Controls_Area = create_sub_bitmap(Scr, width - controls_w, 0, controls_w, height);
    if (!Playlist_Area || !Current_Area || !Controls_Area) fat_error(kNoAreas);
}

}  // namespace

BITMAP *Scr = nullptr;
BITMAP *Current_Area = nullptr;
BITMAP *Controls_Area = nullptr;
BITMAP *Playlist_Area = nullptr;
PALETTE pal;
COLOR_MAP trans_table;

void init() {
    // The X11 window is made when the library starts: the icon goes first.
    set_app_icon();
    // Without a usable system (no display) nothing below can work: report it
    // as the graphics failure it leads to, instead of going on to crash.
    if (install_allegro(SYSTEM_AUTODETECT, &errno, std::atexit) != 0) fat_error(kNoGraphics);
    jpgalleg_init();
    set_screen_mode();
    load_bgfile();
    generate_332_palette(pal);
    Reset_Playlist();
    const int red = makecol(255, 0, 0);
    const int white = makecol(255, 255, 255);
    const int black = makecol(0, 0, 0);
    Set_Scheme(black, white, red, kDefaultBackground);
    Change_Settings(kMaxLevel, kCentrePanning, kNormalSpeed, 0, 0);
    set_translucency();
    set_palette(pal);
    install_input_and_sound();
    Scr = create_bitmap(SCREEN_W, SCREEN_H);
    if (!Scr) fat_error(kNoBackBuffer);
    create_areas();
    std::snprintf(playlist_file, sizeof playlist_file, "%s", kDefaultPlaylist);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
}
