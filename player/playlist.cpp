// The playlist table: the song paths in play order and the globals that say
// how much of it is in use, which entry plays and which file it came from.
#include <cstdio>
#include <cstring>

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
    // Entries came through path buffers of Current_BM's size, so they fit;
    // the copy is bounded all the same.
    const char *entry = Song_Names[Current_Song];
    const std::size_t length = strnlen(entry, sizeof Current_BM - 1);
    std::memcpy(Current_BM, entry, length);
    Current_BM[length] = '\0';
}

// ---------------------------------------------------------------------------
// Selection and scrolling. The playlist area shows entries PL_Start to
// PL_Start + rows - 1; the highlight bar stands on row PL_Sel_Row, and
// PL_Sel = PL_Start + PL_Sel_Row always holds.
// ---------------------------------------------------------------------------

namespace {

// True when the selection names an entry of the list: after the last entry
// was removed while selected it stands on the empty row past the end.
bool selection_on_entry() { return PL_Sel >= 0 && PL_Sel < Number_of_Songs; }

}  // namespace

int Playlist_Rows() { return Playlist_Area ? Playlist_Area->h / text_height(font) : 0; }

void Playlist_Down() {
    if (Number_of_Songs == 0 || PL_Sel >= Number_of_Songs - 1) return;
    ++PL_Sel;
    // On the bottom row the window scrolls instead of the bar moving.
    if (PL_Sel_Row + 1 <= Playlist_Rows() - 1)
        ++PL_Sel_Row;
    else
        ++PL_Start;
}

void Playlist_Up() {
    if (Number_of_Songs == 0 || PL_Sel <= 0) return;
    --PL_Sel;
    // On the top row the window scrolls instead of the bar moving.
    if (PL_Sel_Row == 0 && PL_Start > 0)
        --PL_Start;
    else
        --PL_Sel_Row;
}

void Playlist_Jump_Down() {
    const int rows = Playlist_Rows();
    if (Number_of_Songs == 0 || Number_of_Songs < rows) return;
    if (PL_Sel + rows <= Number_of_Songs - 1) {
        PL_Sel += rows;
        PL_Start = PL_Sel - PL_Sel_Row;
    } else {
        // The last full page, selected on its top row.
        PL_Start = PL_Sel = Number_of_Songs - rows;
        PL_Sel_Row = 0;
    }
}

void Playlist_Jump_Up() {
    const int rows = Playlist_Rows();
    if (Number_of_Songs == 0 || Number_of_Songs < rows) return;
    if (PL_Sel - rows >= PL_Sel_Row) {
        PL_Sel -= rows;
        PL_Start = PL_Sel - PL_Sel_Row;
    } else {
        PL_Start = PL_Sel = PL_Sel_Row = 0;
    }
}

void Play_Selected() {
    // On an empty list this only stops a song that plays on after its entry
    // was removed.
    if (Number_of_Songs == 0) {
        Change_BGM();
        return;
    }
    // The empty row past the end names no song: the text left in that slot is
    // the path of an entry already removed.
    if (!selection_on_entry()) return;
    Current_Song = PL_Sel;
    Select_Current_Song();
    Change_BGM();
}

void Remove_Selected() {
    // Past the end there is nothing to remove; the last entry stays.
    if (!selection_on_entry()) return;
    // The entries after the selection move up one slot; the last slot keeps
    // its text.
    const int moved = Number_of_Songs - 1 - PL_Sel;
    std::memmove(Song_Names[PL_Sel], Song_Names[PL_Sel + 1], static_cast<std::size_t>(moved) * kSlotSize);
    --Number_of_Songs;
    if (Current_Song == PL_Sel) {
        // The playing entry went: the one that took its place plays next.
        --Current_Song;
        Next_Song(1);
    } else if (Current_Song > PL_Sel) {
        // An entry before the playing one went: the playing song moved up one
        // slot, and Current_Song follows it so the panel's number and the
        // song after it stay right.
        --Current_Song;
    }
}
