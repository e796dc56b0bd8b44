// The playlist file (plain text, one song path a line, taken and written
// byte for byte) and the commands that fill the table from it or from the
// file selector, and save it.
#include <cstdio>
#include <cstring>

#include "platform.h"
#include "player.h"

namespace {

constexpr int kMaxSkip = 10;
constexpr int kSkipDivisor = 3;
constexpr const char *kSongFilter = "MP3;MP2";
constexpr const char *kPlaylistFilter = "TXT;QPL";

}  // namespace

int Skip_Count(int songs) { return songs > kMaxSkip ? kMaxSkip : songs / kSkipDivisor; }

bool Read_Playlist_Line(std::FILE *file, char (&line)[kPathSize]) {
    std::size_t length = 0;
    bool usable = true;
    int c = std::getc(file);
    if (c == EOF) return false;
    for (; c != EOF && c != '\n' && c != '\r'; c = std::getc(file)) {
        if (c == '\0' || length == sizeof line - 1)
            usable = false;
        else
            line[length++] = static_cast<char>(c);
    }
    // CR LF is one line end.
    if (c == '\r' && (c = std::getc(file)) != '\n' && c != EOF) std::ungetc(c, file);
    line[usable ? length : 0] = '\0';
    return true;
}

void Read_Playlist(std::FILE *file) {
    // Lines beyond what the table holds are ignored.
    char line[kPathSize];
    while (Number_of_Songs < kMaxSongs && Read_Playlist_Line(file, line))
        if (line[0] != '\0' && File_Exists(line)) Append_Song(line);
}

int Populate() {
    Reset_Playlist();
    std::FILE *file = Open_Regular_Stream(playlist_file);
    if (!file) return 0;
    Read_Playlist(file);
    Current_Song = 0;
    PL_Sel = 0;
    PL_Start = 0;
    std::fclose(file);
    Select_Current_Song();
    Skip_Number = Skip_Count(Number_of_Songs);
    Change_BGM();
    return 1;
}

int Add_to_Playlist() {
    const Playback_Hold hold;
    const bool was_empty = Number_of_Songs == 0;
    char path[kPathSize];
    std::snprintf(path, sizeof path, "%s", kEmptySlot);
    Choose_File("Add to Playlist...", path, kSongFilter);
    // A full table takes nothing more.
    if (File_Exists(path)) Append_Song(path);
    if (was_empty) {
        Current_Song = 0;
        Next_Song(0);
    }
    return 0;
}

int Open_Playlist() {
    const Playback_Hold hold;
    char path[kPathSize];
    std::snprintf(path, sizeof path, "%s", kEmptySlot);
    Choose_File("Open Playlist file...", path, kPlaylistFilter);
    // A cancelled or fruitless dialog, or a name that is no regular file,
    // keeps the current playlist file and its list.
    if (!Is_Regular_File(path)) return 0;
    std::snprintf(playlist_file, sizeof playlist_file, "%s", path);
    return Populate();
}

int Save_Playlist() {
    const Playback_Hold hold;
    // The dialog edits a copy: the playlist keeps its name unless the save
    // succeeds.
    char path[kPathSize];
    std::snprintf(path, sizeof path, "%s", playlist_file);
    if (!Choose_File("Save Playlist As...", path, kPlaylistFilter)) return 0;
    std::string error;
    if (Write_Playlist(path, &error))
        std::snprintf(playlist_file, sizeof playlist_file, "%s", path);
    else
        allegro_message("Could not save the playlist to %s:\n%s", path, error.c_str());
    return 0;
}
