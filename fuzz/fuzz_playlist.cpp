// Arbitrary bytes as a playlist file, read by the player's own reader in a
// folder that holds a few files: the table never holds more than its 1024
// entries, and every entry names a file that exists, in a path that fits the
// player's path buffers. Anything else traps.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "player.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

constexpr const char *kSongs[] = {"a", "b.mp3", "c d.mp2", "\xc3\xa9t\xc3\xa9.mp3"};
constexpr const char *kFolder = "folder";
char song_folder[] = "/tmp/fuzz-playlist-XXXXXX";

void remove_song_folder() {
    for (const char *name : kSongs) std::remove(name);
    rmdir(kFolder);
    rmdir(song_folder);
}

// A private folder, made once and removed at exit, holding files a line may
// name (one with a blank and one with UTF-8 bytes in its name) and a folder
// it may not.
void enter_song_folder() {
    static bool entered = false;
    if (entered) return;
    check(mkdtemp(song_folder) != nullptr);
    check(chdir(song_folder) == 0);
    std::atexit(remove_song_folder);
    for (const char *name : kSongs) {
        std::FILE *f = std::fopen(name, "w");
        check(f != nullptr);
        std::fclose(f);
    }
    check(mkdir(kFolder, 0755) == 0);
    entered = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    enter_song_folder();
    Number_of_Songs = 0;
    std::FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (!file) return 0;  // an empty input cannot be opened as a stream
    Read_Playlist(file);
    std::fclose(file);
    check(Number_of_Songs >= 0 && Number_of_Songs <= kMaxSongs);
    for (int i = 0; i < Number_of_Songs; ++i) {
        check(strnlen(Song_Names[i], kSlotSize) < static_cast<size_t>(kPathSize));
        struct stat st;
        check(stat(Song_Names[i], &st) == 0 && !S_ISDIR(st.st_mode));
    }
    return 0;
}
