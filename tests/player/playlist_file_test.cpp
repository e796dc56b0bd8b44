// The playlist file: loading, the 1024-entry bound and the safe save. Runs
// with the library's system driver "none" (see navigation_test.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

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
    ASSERT_TRUE(Write_Playlist(list_.c_str()));
    EXPECT_EQ(read_text(list_), other_ + "\n" + song_ + "\n" + song_ + "\n" + other_ + "\n");
    std::snprintf(playlist_file, sizeof playlist_file, "%s", list_.c_str());
    ASSERT_EQ(Populate(), 1);
    ASSERT_EQ(Number_of_Songs, 4);
    for (int i = 0; i < 4; ++i) EXPECT_STREQ(Song_Names[i], entries[i]);
    EXPECT_NE(access((list_ + ".tmp").c_str(), F_OK), 0);
}

TEST_F(PlaylistFile, AnEmptyListSavesAnEmptyFile) {
    write_text(list_, "old\n");
    ASSERT_TRUE(Write_Playlist(list_.c_str()));
    EXPECT_EQ(read_text(list_), "");
}

TEST_F(PlaylistFile, AFailedSaveLeavesTheOldFileWhole) {
    const std::string old_text = song_ + "\n" + other_ + "\n";
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(Append_Song(song_.c_str()));

    // The new file cannot be made beside the old one.
    write_text(list_, old_text);
    ASSERT_EQ(mkdir((list_ + ".tmp").c_str(), 0755), 0);
    EXPECT_FALSE(Write_Playlist(list_.c_str()));
    EXPECT_EQ(read_text(list_), old_text);
    rmdir((list_ + ".tmp").c_str());

    // The disk fills up while the lines are written.
    ASSERT_EQ(symlink("/dev/full", (list_ + ".tmp").c_str()), 0);
    EXPECT_FALSE(Write_Playlist(list_.c_str()));
    EXPECT_EQ(read_text(list_), old_text);
    EXPECT_NE(access((list_ + ".tmp").c_str(), F_OK), 0);

    // A folder that does not exist.
    EXPECT_FALSE(Write_Playlist(scratch_->file("no/such/folder.qpl").c_str()));
}

}  // namespace
