// The frame: composed in the back buffer, then copied to the screen in one
// piece on every pass of the main loop. Three translucent panels lie over the
// background: the current song, the controls column and the playlist window.
#include <cstdio>

#include "player.h"
#include "translucent_fill.h"

namespace {

constexpr int kTextMargin = 10;   // x of left-aligned texts in an area
constexpr int kTextOffset = 1;    // shtxt texts start a pixel below their row
constexpr int kNoBackground = -1; // text drawn without a background box
constexpr int kLineSize = 1200;   // room for a formatted line with a path
constexpr int kPercent = 100;

// Rows of the current-song panel.
constexpr int kSongRow = 1;
constexpr int kPositionRow = 2;
constexpr int kPlaylistRow = 3;

// Rows of the controls panel that hold values or indicators.
constexpr int kVolumeRow = 2;
constexpr int kSpeedRow = 3;
constexpr int kPanningRow = 4;
constexpr int kSongControlsRow = 6;
constexpr int kSystemControlsRow = 25;
constexpr int kModeRow = 36;
constexpr int kPausedRow = 38;
constexpr int kShuffleRow = 40;
constexpr int kInsertRow = 10;
constexpr int kDeleteRow = 11;

// The empty-list message's row in the playlist panel.
constexpr int kEmptyMessageRow = 1;

struct HelpLine {
    int row;
    const char *text;
};

// The fixed help lines of the controls column; every key name is padded to
// ten characters so the descriptions line up.
constexpr HelpLine kSongHelp[] = {
    {8, "Left      Previous Song"},
    {9, "Right     Next Song"},
    {12, "+         Volume Up"},
    {13, "-         Volume Down"},
    {14, "Home      Pan Left"},
    {15, "End       Pan Right"},
    {16, "Up        Up In Playlist"},
    {17, "Down      Down In Playlist"},
    {18, "PageUp    Jump Up in Playlist"},
    {19, "PageDown  Jump Down in Playlist"},
    {20, "Enter     Play Selected Song"},
    {21, "Backspace Remove Selected Song"},
    {22, "Space     Pause/Unpause"},
    {23, "S         Toggle Shuffling"},
};

constexpr HelpLine kSystemHelp[] = {
    {27, "F1        Load Playlist"},
    {28, "F2        Save Playlist"},
    {29, "F3        Add To Playlist"},
    {30, "F4        Clear Playlist"},
    {31, "F5        Change Background"},
    {32, "F6        Toggle Fullscreen/Window"},
    {33, "ESC       Quit"},
};

// Stretches the background image over the whole back buffer, or clears it
// to the background colour when there is no image. Loading has normally
// stretched the image to the screen's size already: then it is copied.
void draw_background() {
    if (!bgImage)
        clear_to_color(Scr, BGColor);
    else if (bgImage->w == Scr->w && bgImage->h == Scr->h)
        blit(bgImage, Scr, 0, 0, 0, 0, Scr->w, Scr->h);
    else
        stretch_blit(bgImage, Scr, 0, 0, bgImage->w, bgImage->h, 0, 0, Scr->w, Scr->h);
}

template <std::size_t N>
void show_help(const HelpLine (&lines)[N]) {
    for (const HelpLine &line : lines) shtxt(Controls_Area, line.row, kTextMargin, line.text);
}

void show_settings() {
    shtxt(Controls_Area, kVolumeRow, kTextMargin,
          makestr(" Volume:  %3i percent", Volume * kPercent / kMaxLevel).c_str());
    shtxt(Controls_Area, kSpeedRow, kTextMargin, makestr("  Speed:  %3i percent", Get_Speed()).c_str());
    shtxt(Controls_Area, kPanningRow, kTextMargin, makestr("Panning: %3i", Panning - kCentrePanning).c_str());
}

void show_indicators() {
    shtxt_c(Controls_Area, kModeRow, is_windowed_mode() ? "Mode: Window" : "Mode: Fullscreen");
    if (Paused) shtxt_c(Controls_Area, kPausedRow, "Paused");
    if (Shuffle) shtxt_c(Controls_Area, kShuffleRow, "Shuffle");
}

// One row of the playlist window: the highlight bar when the selection
// stands on it (even with no entry there), then the entry, if any.
void show_playlist_row(int row) {
    const int y = Convert_Row(row);
    if (row == PL_Sel_Row)
        translucent_rectfill(Playlist_Area, 0, y, Playlist_Area->w - 1, y + text_height(font) - 1, BGColor);
    const int entry = PL_Start + row;
    if (entry < 0 || entry >= Number_of_Songs || entry >= kMaxSongs) return;
    textprintf_ex(Playlist_Area, font, kTextMargin, y, FGColor, kNoBackground, "%3i. %s", entry,
                  get_filename(Song_Names[entry]));
}

}  // namespace

int Convert_Row(int row) { return row * text_height(font); }

void hidemouse() {
    // The file selector shows the pointer; the player's screen has none.
    poll_mouse();
    show_mouse(nullptr);
}

std::string makestr(const char *format, int value) {
    char text[kLineSize];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void shtxt(BITMAP *area, int row, int x, const char *text) {
    // textout_ex takes the text as it is: a '%' in a file name stays a '%'.
    textout_ex(area, font, text, x, Convert_Row(row) + kTextOffset, FGColor, kNoBackground);
}

void shtxt_c(BITMAP *area, int row, const char *text) {
    textout_centre_ex(area, font, text, area->w / 2, Convert_Row(row) + kTextOffset, FGColor, kNoBackground);
}

void fillbmp(BITMAP *area, int frame, int fill) {
    translucent_rectfill(area, 0, 0, area->w - 1, area->h - 1, fill);
    rect(area, 0, 0, area->w - 1, area->h - 1, frame);
}

void Show_Current() {
    fillbmp(Current_Area, FGColor, fillclr);
    if (Number_of_Songs == 0) return;
    Get_Position();
    char line[kLineSize];
    std::snprintf(line, sizeof line, "%i. %s %i bytes", Current_Song, get_filename(Current_BM), FileSize);
    shtxt_c(Current_Area, kSongRow, line);
    std::snprintf(line, sizeof line, "Position: %.2i:%.2i:%.2i of %.2i:%.2i:%.2i", Pos_Hours, Pos_Minutes,
                  Pos_Seconds, Length_Hours, Length_Minutes, Length_Seconds);
    shtxt_c(Current_Area, kPositionRow, line);
    std::snprintf(line, sizeof line, "Playlist %s contains %i songs.", get_filename(playlist_file),
                  Number_of_Songs);
    shtxt_c(Current_Area, kPlaylistRow, line);
}

void Show_Controls() {
    fillbmp(Controls_Area, FGColor, fillclr);
    show_settings();
    shtxt_c(Controls_Area, kSongControlsRow, "Song Controls");
    show_help(kSongHelp);
    shtxt(Controls_Area, kInsertRow, kTextMargin, makestr("Insert    Reverse %2i", Skip_Number).c_str());
    shtxt(Controls_Area, kDeleteRow, kTextMargin, makestr("Delete    Forward %2i", Skip_Number).c_str());
    shtxt_c(Controls_Area, kSystemControlsRow, "System Controls");
    show_help(kSystemHelp);
    show_indicators();
}

void Show_Playlist() {
    fillbmp(Playlist_Area, FGColor, fillclr);
    if (Number_of_Songs == 0) {
        shtxt_c(Playlist_Area, kEmptyMessageRow, "The Playlist is Empty");
        return;
    }
    const int rows = Playlist_Rows();
    for (int row = 0; row < rows; ++row) show_playlist_row(row);
}

void Draw_Screen() {
    drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
    draw_background();
    Show_Current();
    Show_Controls();
    Show_Playlist();
    acquire_screen();
    blit(Scr, screen, 0, 0, 0, 0, Scr->w, Scr->h);
    release_screen();
    drawing_mode(DRAW_MODE_SOLID, nullptr, 0, 0);
}
