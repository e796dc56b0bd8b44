// The playlist table: the song paths in play order and the globals that say
// how much of it is in use, which entry plays and which file it came from.
#include <cstdio>

#include "player.h"

char Song_Names[kMaxSongs][kSlotSize];
int Number_of_Songs = 0;
int Current_Song = 0;
char Current_BM[kPathSize];
char playlist_file[kPathSize];
int Skip_Number = 0;
int PL_Sel = 0;
int PL_Start = 0;
int PL_Sel_Row = 0;

void Reset_Playlist() {
    for (auto &slot : Song_Names) std::snprintf(slot, sizeof slot, "%s", kEmptySlot);
    close_mp3_file();
    Current_Song = 0;
    Number_of_Songs = 0;
    PL_Start = 0;
    PL_Sel = 0;
    PL_Sel_Row = 0;
}

bool Append_Song(const char *path) {
    if (Number_of_Songs < 0 || Number_of_Songs >= kMaxSongs) return false;
    std::snprintf(Song_Names[Number_of_Songs], kSlotSize, "%s", path);
    ++Number_of_Songs;
    return true;
}

void Select_Current_Song() {
    if (Current_Song < 0 || Current_Song >= kMaxSongs) return;
    std::snprintf(Current_BM, sizeof Current_BM, "%s", Song_Names[Current_Song]);
}
