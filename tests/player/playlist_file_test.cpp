// The playlist file: loading byte for byte, the 1024-entry bound and the
// safe save. Runs with the library's system driver "none" (see
// navigation_test.cpp).
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "player.h"
#include "player_test_util.h"

namespace {

class PlaylistFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch_ = new ScratchDir;
        song_ = scratch_->file("a.mp3");
        other_ = scratch_->file("b.mp2");
        ASSERT_TRUE(make_tone_song(song_, 440, 0.2));
        ASSERT_TRUE(make_tone_song(other_, 880, 0.2));
    }
    static void TearDownTestSuite() {
        delete scratch_;
        scratch_ = nullptr;
    }
    void SetUp() override {
        Reset_Playlist();
        Skip_Number = 0;
        list_ = scratch_->file("list-" + std::to_string(++serial_) + ".qpl");
    }
    void TearDown() override { Reset_Playlist(); }

    // Loads text as a playlist file.
    int load(const std::string &text) {
        write_text(list_, text);
        std::snprintf(playlist_file, sizeof playlist_file, "%s", list_.c_str());
        return Populate();
    }

    static ScratchDir *scratch_;
    static std::string song_, other_;
    static int serial_;
    std::string list_;
};

ScratchDir *PlaylistFile::scratch_ = nullptr;
std::string PlaylistFile::song_, PlaylistFile::other_;
int PlaylistFile::serial_ = 0;

TEST(SkipCount, IsAThirdOfTheListUpToTen) {
    const int songs[] = {0, 2, 3, 9, 10, 11, 1024};
    const int skips[] = {0, 0, 1, 3, 3, 10, 10};
    for (size_t i = 0; i < sizeof songs / sizeof songs[0]; ++i) EXPECT_EQ(Skip_Count(songs[i]), skips[i]) << songs[i];
}

TEST_F(PlaylistFile, LoadsExistingFilesOnlyWhateverTheLineEnds) {
    const std::string blank = scratch_->file("trailing blank.mp3");
    ASSERT_TRUE(make_tone_song(blank, 500, 0.2));
    const std::string lines[] = {song_, "", scratch_->file("missing.mp3"), other_ + " ", blank, song_};
    std::string lf, crlf;
    for (const auto &line : lines) {
        lf += line + "\n";
        crlf += line + "\r\n";
    }
    for (const std::string &text : {lf, crlf}) {
        ASSERT_EQ(load(text), 1);
        ASSERT_EQ(Number_of_Songs, 3);
        EXPECT_STREQ(Song_Names[0], song_.c_str());
        EXPECT_STREQ(Song_Names[1], blank.c_str());
        EXPECT_STREQ(Song_Names[2], song_.c_str());
        EXPECT_STREQ(Song_Names[3], kEmptySlot);
        EXPECT_EQ(Skip_Number, 1);
        EXPECT_STREQ(Current_BM, song_.c_str());
        EXPECT_NE(Current_MP3, nullptr);
    }
}

TEST_F(PlaylistFile, AFileWithoutUsableLinesOrNoFileGivesAnEmptyList) {
    ASSERT_EQ(load(""), 1);
    EXPECT_EQ(Number_of_Songs, 0);
    EXPECT_EQ(Current_MP3, nullptr);
    EXPECT_EQ(Skip_Number, 0);
    ASSERT_EQ(load(scratch_->file("nothing-here.mp3") + "\n"), 1);
    EXPECT_EQ(Number_of_Songs, 0);
    EXPECT_STREQ(Current_BM, kEmptySlot);

    std::snprintf(playlist_file, sizeof playlist_file, "%s", scratch_->file("no-such-list.qpl").c_str());
    EXPECT_EQ(Populate(), 0);
    EXPECT_EQ(Number_of_Songs, 0);
}

TEST_F(PlaylistFile, LinesBeyondTheTablesSizeAreIgnored) {
    std::string text;
    for (int i = 0; i < kMaxSongs; ++i) text += song_ + "\n";
    for (int i = 0; i < 100; ++i) text += other_ + "\n";
    ASSERT_EQ(load(text), 1);
    EXPECT_EQ(Number_of_Songs, kMaxSongs);
    EXPECT_STREQ(Song_Names[kMaxSongs - 1], song_.c_str());
    EXPECT_EQ(Skip_Number, 10);
    // A full table takes nothing more.
    EXPECT_FALSE(Append_Song(other_.c_str()));
    EXPECT_EQ(Number_of_Songs, kMaxSongs);
    EXPECT_STREQ(Song_Names[kMaxSongs - 1], song_.c_str());
}

TEST_F(PlaylistFile, SavedListLoadsBackTheSameEntriesInOrder) {
    const char *entries[] = {other_.c_str(), song_.c_str(), song_.c_str(), other_.c_str()};
    for (const char *e : entries) ASSERT_TRUE(Append_Song(e));
    std::string error;
    ASSERT_TRUE(Write_Playlist(list_.c_str(), &error)) << error;
    EXPECT_EQ(read_text(list_), other_ + "\n" + song_ + "\n" + song_ + "\n" + other_ + "\n");
    std::snprintf(playlist_file, sizeof playlist_file, "%s", list_.c_str());
    ASSERT_EQ(Populate(), 1);
    ASSERT_EQ(Number_of_Songs, 4);
    for (int i = 0; i < 4; ++i) EXPECT_STREQ(Song_Names[i], entries[i]);
}

TEST_F(PlaylistFile, OverLongRubbishAndUtf8LinesLeaveEveryValidEntry) {
    // Paths of exactly the longest line length (511 bytes) and one byte
    // more, both naming the song through a run of slashes.
    const std::string longest = std::string(kPathSize - 1 - song_.size(), '/') + song_;
    const std::string too_long = "/" + longest;
    // 5000 bytes whose last 511-byte piece would name the song on its own.
    const std::string huge = std::string(5000 - song_.size(), '/') + song_;
    const std::string utf8 = scratch_->file("Fr\xC3\xA9" "d\xC3\xA9ric \xE2\x99\xAB \xE6\x97\xA5\xE6\x9C\xAC.mp3");
    ASSERT_TRUE(make_tone_song(utf8, 660, 0.2));
    std::string binary;
    for (int c = 1; c < 256; ++c)
        if (c != '\n' && c != '\r') binary += static_cast<char>(c);
    const std::string nul_inside = song_ + std::string(1, '\0') + "rest";
    ASSERT_EQ(load(song_ + "\n" + huge + "\n" + binary + "\n" + too_long + "\n" + nul_inside + "\n" + utf8 +
                   "\r\n" + longest + "\r" + other_),
              1);
    ASSERT_EQ(Number_of_Songs, 4);
    EXPECT_STREQ(Song_Names[0], song_.c_str());
    EXPECT_EQ(Song_Names[1], utf8);
    EXPECT_EQ(Song_Names[2], longest);
    EXPECT_STREQ(Song_Names[3], other_.c_str());

    // The UTF-8 name opens, saves and loads back byte for byte.
    Current_Song = 1;
    Next_Song(0);
    EXPECT_NE(Current_MP3, nullptr);
    EXPECT_EQ(Song_File_Size(Current_MP3), static_cast<int>(read_text(utf8).size()));
    std::string error;
    ASSERT_TRUE(Write_Playlist(list_.c_str(), &error)) << error;
    EXPECT_EQ(read_text(list_), song_ + "\n" + utf8 + "\n" + longest + "\n" + other_ + "\n");
    std::snprintf(playlist_file, sizeof playlist_file, "%s", list_.c_str());
    ASSERT_EQ(Populate(), 1);
    ASSERT_EQ(Number_of_Songs, 4);
    EXPECT_EQ(Song_Names[1], utf8);
}

TEST_F(PlaylistFile, OnlyRegularFilesAreOpenedAsPlaylists) {
    const std::string fifo = scratch_->file("list.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    for (const std::string &path : {fifo, scratch_->path()}) {
        std::snprintf(playlist_file, sizeof playlist_file, "%s", path.c_str());
        EXPECT_EQ(Populate(), 0) << path;  // returns at once: no writer is waited for
        EXPECT_EQ(Number_of_Songs, 0);
    }
}

// Saving: the folder holds the saved list and nothing else changes in it.
class PlaylistSave : public PlaylistFile {
protected:
    void SetUp() override {
        PlaylistFile::SetUp();
        folder_ = std::make_unique<ScratchDir>();
        list_ = folder_->file("my list.qpl");
        for (const std::string &e : {song_, other_, song_}) ASSERT_TRUE(Append_Song(e.c_str()));
    }
    std::vector<std::string> folder_names() const {
        std::vector<std::string> names;
        DIR *dir = opendir(folder_->path().c_str());
        while (dirent *e = dir ? readdir(dir) : nullptr) names.push_back(e->d_name);
        if (dir) closedir(dir);
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string new_text() const { return song_ + "\n" + other_ + "\n" + song_ + "\n"; }
    std::unique_ptr<ScratchDir> folder_;
};

TEST_F(PlaylistSave, TheTemporaryFileNeverTakesAnExistingNameAndPermissionsStay) {
    const std::string old_text = other_ + "\n";
    const std::string decoy = list_ + ".tmp";
    write_text(list_, old_text);
    write_text(decoy, "a file the user keeps\n");
    ASSERT_EQ(chmod(list_.c_str(), 0640), 0);
    const auto names = folder_names();

    std::string error;
    ASSERT_TRUE(Write_Playlist(list_.c_str(), &error)) << error;
    EXPECT_EQ(read_text(list_), new_text());
    EXPECT_EQ(read_text(decoy), "a file the user keeps\n");
    EXPECT_EQ(folder_names(), names);
    struct stat st;
    ASSERT_EQ(stat(list_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A failed save (the file-size limit stands in for a full disk: root
    // meets it too) leaves the list, the decoy and the folder as they were.
    write_text(list_, old_text);
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = Write_Playlist(list_.c_str(), &error);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, std::strerror(EFBIG));
    EXPECT_EQ(read_text(list_), old_text);
    EXPECT_EQ(read_text(decoy), "a file the user keeps\n");
    EXPECT_EQ(folder_names(), names);

    // A new file takes the usual permissions of a created file, and the
    // temporary name fits wherever the list's own name fits (255 bytes).
    const std::string fresh = folder_->file(std::string(251, 'n') + ".qpl");
    const mode_t mask = umask(022);
    ASSERT_TRUE(Write_Playlist(fresh.c_str(), &error)) << error;
    umask(mask);
    ASSERT_EQ(stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(PlaylistSave, ALinkIsWrittenThroughToItsTarget) {
    const std::string target = folder_->file("real.qpl");
    write_text(target, "old\n");
    ASSERT_EQ(symlink("real.qpl", list_.c_str()), 0);
    std::string error;
    ASSERT_TRUE(Write_Playlist(list_.c_str(), &error)) << error;
    struct stat st;
    ASSERT_EQ(lstat(list_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(read_text(target), new_text());
    EXPECT_EQ(folder_names(), (std::vector<std::string>{".", "..", "my list.qpl", "real.qpl"}));
}

TEST_F(PlaylistSave, FailuresTellWhyAndLeaveEverythingAsItWas) {
    const std::string old_text = other_ + "\n";
    write_text(list_, old_text);
    const std::string device_link = folder_->file("device.qpl");
    ASSERT_EQ(symlink("/dev/full", device_link.c_str()), 0);
    const auto names = folder_names();
    struct Case {
        std::string path;
        std::string why;
    };
    const std::string not_regular = "It exists and is not a regular file.";
    for (const Case &c : {Case{"/dev/full", not_regular}, Case{device_link, not_regular},
                          Case{folder_->path(), not_regular}, Case{folder_->file("no/such/folder.qpl"),
                          std::strerror(ENOENT)}, Case{list_ + "/inside.qpl", std::strerror(ENOTDIR)}}) {
        std::string error;
        EXPECT_FALSE(Write_Playlist(c.path.c_str(), &error)) << c.path;
        EXPECT_EQ(error, c.why) << c.path;
    }
    EXPECT_EQ(read_text(list_), old_text);
    EXPECT_EQ(folder_names(), names);
    struct stat st;
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(PlaylistSave, AnEmptyListSavesAnEmptyFile) {
    Reset_Playlist();
    write_text(list_, "old\n");
    std::string error;
    ASSERT_TRUE(Write_Playlist(list_.c_str(), &error)) << error;
    EXPECT_EQ(read_text(list_), "");
}

}  // namespace
