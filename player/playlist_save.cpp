// Saving the playlist: the list is written to a new file beside the one it
// replaces, which it replaces only once complete, so a failed save never
// costs the user the list they had.
#include <string>

#include "platform.h"
#include "player.h"

namespace {

// Every entry and its line end, byte for byte.
std::string playlist_text() {
    std::string text;
    for (int i = 0; i < Number_of_Songs && i < kMaxSongs; ++i) {
        text += Song_Names[i];
        text += kLineEnd;
    }
    return text;
}

}  // namespace

bool Write_Playlist(const char *path, std::string *error) { return Replace_File(path, playlist_text(), error); }
