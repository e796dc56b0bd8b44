// Song navigation: which song plays, starting it, moving through the list in
// order (with wrap-around) or shuffled, and the song's length and position.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "player.h"

namespace {

constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerMinute = 60;
constexpr int kTitleSize = 1024;

// Next entry to try after a failure, in the direction of play: the next one
// in order, or a random one with shuffling on; entries that already failed
// are passed over. `failures` entries of `failed` are set, fewer than all.
int next_untried(const std::vector<bool> &failed, int failures) {
    if (Shuffle) {
        int pick = std::rand() % (Number_of_Songs - failures);
        for (int i = 0; i < Number_of_Songs; ++i)
            if (!failed[i] && pick-- == 0) return i;
    }
    int index = Current_Song;
    do index = Wrap_Song(index + 1);
    while (failed[index]);
    return index;
}

// Opens Current_BM into Current_MP3. A song that cannot be opened (its
// message has been shown) is skipped in the direction of play. Each entry is
// tried at most once, so when every entry fails this ends with nothing open
// instead of going round the list for ever.
bool open_playable_song() {
    std::vector<bool> failed(static_cast<std::size_t>(Number_of_Songs), false);
    int failures = 0;
    while (!(Current_MP3 = open_mp3_file(Current_BM))) {
        if (Current_Song >= 0 && Current_Song < Number_of_Songs && !failed[Current_Song]) {
            failed[Current_Song] = true;
            ++failures;
        }
        if (failures >= Number_of_Songs) return false;
        Prev_Song = Current_Song;
        Current_Song = next_untried(failed, failures);
        Select_Current_Song();
    }
    return true;
}

}  // namespace

int Prev_Song = 0;
int FileSize = 0;
int Length_Hours = 0, Length_Minutes = 0, Length_Seconds = 0;
int Pos_Hours = 0, Pos_Minutes = 0, Pos_Seconds = 0;

void Split_Seconds(int total, int *hours, int *minutes, int *seconds) {
    *hours = total / kSecondsPerHour;
    *minutes = (total - kSecondsPerHour * *hours) / kSecondsPerMinute;
    *seconds = total % kSecondsPerMinute;
}

int Wrap_Song(int index) {
    if (Number_of_Songs <= 0) return 0;
    while (index < 0) index += Number_of_Songs;
    while (index >= Number_of_Songs) index -= Number_of_Songs;
    return index;
}

void Song_Title(const char *path, char *title, std::size_t size) {
    if (size == 0) return;
    std::snprintf(title, size, "%s", get_filename(path));
    // get_extension points just past the last dot, or at the end of a name
    // without one.
    *get_extension(title) = '\0';
}

void Change_BGM() {
    close_mp3_file();
    if (Number_of_Songs == 0) return;
    if (!open_playable_song()) return;
    FileSize = Song_File_Size(Current_MP3);
    Split_Seconds(Song_Length_Seconds(Current_MP3), &Length_Hours, &Length_Minutes, &Length_Seconds);
    // A song started while paused waits for Space.
    Apply_Pause_State();
    char title[kTitleSize];
    Song_Title(Current_BM, title, sizeof title);
    set_window_title(title);
}

void Next_Song(int count) {
    if (Number_of_Songs == 0) return;
    Prev_Song = Current_Song;
    if (Shuffle && count == 1)
        Current_Song = std::rand() % Number_of_Songs;
    else
        Current_Song = Wrap_Song(Current_Song + count);
    Select_Current_Song();
    Change_BGM();
}

void Previous_Song(int count) {
    if (Number_of_Songs == 0) return;
    // Prev_Song may be left over from a longer list: wrap it like any other.
    Current_Song = Wrap_Song(Shuffle && count == 1 ? Prev_Song : Current_Song - count);
    Prev_Song = Current_Song;
    Select_Current_Song();
    Change_BGM();
}

void Get_Position() {
    if (!Current_MP3) return;
    Split_Seconds(almp3_get_pos_secs_mp3stream(Current_MP3->stream), &Pos_Hours, &Pos_Minutes, &Pos_Seconds);
}
