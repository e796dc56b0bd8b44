// The playlist file (plain text, one song path a line) and the commands that
// fill the table from it or from the file selector, and save it.
#include <cstdio>
#include <string>

#include "player.h"

namespace {

constexpr int kMaxSkip = 10;
constexpr int kSkipDivisor = 3;
constexpr const char *kSongFilter = "MP3;MP2";
constexpr const char *kPlaylistFilter = "TXT;QPL";
constexpr const char *kTempSuffix = ".tmp";
// The file dialogs take a quarter of the screen in each direction.
constexpr int kDialogFraction = 4;

// Runs the library's file selector on buffer (kPathSize bytes), then hides
// the mouse pointer it showed. Returns the selector's result.
int choose_file(const char *title, char *buffer, const char *filter) {
    const int chosen =
        file_select_ex(title, buffer, filter, kPathSize, SCREEN_W / kDialogFraction, SCREEN_H / kDialogFraction);
    hidemouse();
    return chosen;
}

// Writes every entry and its line end; false at the first failed write.
bool write_entries(PACKFILE *file) {
    for (int i = 0; i < Number_of_Songs && i < kMaxSongs; ++i)
        if (pack_fputs(Song_Names[i], file) != 0 || pack_fputs("\n", file) != 0) return false;
    return true;
}

}  // namespace

int Skip_Count(int songs) { return songs > kMaxSkip ? kMaxSkip : songs / kSkipDivisor; }

int Populate() {
    Reset_Playlist();
    PACKFILE *file = pack_fopen(playlist_file, F_READ);
    if (!file) return 0;
    // Lines beyond what the table holds are ignored.
    char line[kPathSize];
    while (Number_of_Songs < kMaxSongs && pack_fgets(line, sizeof line, file))
        if (exists(line)) Append_Song(line);
    Current_Song = 0;
    PL_Sel = 0;
    PL_Start = 0;
    pack_fclose(file);
    Select_Current_Song();
    Skip_Number = Skip_Count(Number_of_Songs);
    Change_BGM();
    return 1;
}

int Add_to_Playlist() {
    const bool was_empty = Number_of_Songs == 0;
    if (!was_empty) Pause();
    char path[kPathSize];
    std::snprintf(path, sizeof path, "%s", kEmptySlot);
    choose_file("Add to Playlist...", path, kSongFilter);
    if (Paused) Pause();
    // A full table takes nothing more.
    if (exists(path)) Append_Song(path);
    if (was_empty) {
        Current_Song = 0;
        Next_Song(0);
    }
    return 0;
}

int Open_Playlist() {
    if (!Paused) Pause();
    char path[kPathSize];
    std::snprintf(path, sizeof path, "%s", kEmptySlot);
    choose_file("Open Playlist file...", path, kPlaylistFilter);
    // A cancelled or fruitless dialog keeps the current playlist file, its
    // list and the pause.
    if (!exists(path)) return 0;
    std::snprintf(playlist_file, sizeof playlist_file, "%s", path);
    if (Paused) Pause();
    return Populate();
}

int Save_Playlist() {
    if (!Paused) Pause();
    const int chosen = choose_file("Save Playlist As...", playlist_file, kPlaylistFilter);
    if (Paused) Pause();
    if (chosen) Write_Playlist(playlist_file);
    return 0;
}

bool Write_Playlist(const char *path) {
    // The list goes to a file beside the old one, which it replaces only when
    // complete: a failed save never costs the user the playlist they had.
    const std::string temp = std::string(path) + kTempSuffix;
    PACKFILE *file = pack_fopen(temp.c_str(), F_WRITE);
    if (!file) return false;
    const bool written = write_entries(file);
    const bool closed = pack_fclose(file) == 0;
    if (written && closed && std::rename(temp.c_str(), path) == 0) return true;
    std::remove(temp.c_str());
    return false;
}
