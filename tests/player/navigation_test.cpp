// Song navigation without a display: the library runs with its system driver
// "none", so a song that fails to open reports through allegro_message on
// stdout instead of a message box, and songs open and decode without sound.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "player.h"
#include "player_test_util.h"

namespace {

constexpr const char *kOpenFailure = "Unable to physically open file!";

class AllegroWithoutDisplay : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, std::atexit), 0); }
};
const auto *const kAllegro = ::testing::AddGlobalTestEnvironment(new AllegroWithoutDisplay);

// An ID3v2 tag of `body` bytes of padding: the 10-byte header ("ID3",
// version, flags, the body's size in four 7-bit bytes), and with footer set
// (version 4 only) the same ten bytes again as "3DI" at the end.
std::string id3v2_tag(uint32_t body, bool footer) {
    std::string header = std::string("ID3") + static_cast<char>(footer ? 4 : 3) + '\0' +
                         static_cast<char>(footer ? 0x10 : 0);
    for (int shift = 21; shift >= 0; shift -= 7) header += static_cast<char>((body >> shift) & 0x7F);
    std::string tag = header + std::string(body, '\0');
    if (footer) tag += "3DI" + header.substr(3);
    return tag;
}

// An APEv2 tag of `items` bytes of items and its 32-byte footer: "APETAGEX",
// version 2000, size of items and footer, item count, flags, 8 reserved
// bytes, numbers little-endian.
std::string ape_tag(uint32_t items) {
    auto le32 = [](uint32_t v) {
        std::string b;
        for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
        return b;
    };
    return std::string(items, '\0') + "APETAGEX" + le32(2000) + le32(items + 32) + le32(0) + le32(0) +
           std::string(8, '\0');
}

int count_of(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class Navigation : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch_ = new ScratchDir;
        song_ = scratch_->file("tone.mp3");
        ASSERT_TRUE(make_tone_song(song_, 440, 0.2));
    }
    static void TearDownTestSuite() {
        delete scratch_;
        scratch_ = nullptr;
    }
    void SetUp() override {
        Reset_Playlist();
        Change_Settings(kMaxLevel, kCentrePanning, kNormalSpeed, 0, 0);
        Prev_Song = 0;
    }
    void TearDown() override { Reset_Playlist(); }

    // A list of n entries that all name the playable song.
    static void fill_playable(int n) {
        for (int i = 0; i < n; ++i) ASSERT_TRUE(Append_Song(song_.c_str()));
    }

    static ScratchDir *scratch_;
    static std::string song_;
};

ScratchDir *Navigation::scratch_ = nullptr;
std::string Navigation::song_;

TEST(SplitSeconds, GivesHoursMinutesAndSecondsWithMinutesBelowSixty) {
    struct Case { int total, h, m, s; };
    for (const Case c : {Case{3725, 1, 2, 5}, Case{0, 0, 0, 0}, Case{59, 0, 0, 59}, Case{60, 0, 1, 0},
                         Case{3599, 0, 59, 59}, Case{3600, 1, 0, 0}, Case{36000 + 187, 10, 3, 7}}) {
        int h = -1, m = -1, s = -1;
        Split_Seconds(c.total, &h, &m, &s);
        EXPECT_EQ(h, c.h) << c.total;
        EXPECT_EQ(m, c.m) << c.total;
        EXPECT_EQ(s, c.s) << c.total;
    }
}

TEST(SongTitle, CutsTheTextAfterTheLastDotAndKeepsTheDot) {
    char title[64];
    Song_Title("/music/albums/Song.mp3", title, sizeof title);
    EXPECT_STREQ(title, "Song.");
    Song_Title("relative/Two.Dots.mp2", title, sizeof title);
    EXPECT_STREQ(title, "Two.Dots.");
    Song_Title("/music/NoExtension", title, sizeof title);
    EXPECT_STREQ(title, "NoExtension");
    char small[4];
    Song_Title("/music/LongName.mp3", small, sizeof small);
    EXPECT_STREQ(small, "Lon");
}

TEST_F(Navigation, MovesWrapAroundBothEnds) {
    fill_playable(30);
    Current_Song = 25;
    Next_Song(10);
    EXPECT_EQ(Current_Song, 5);
    Current_Song = 3;
    Previous_Song(10);
    EXPECT_EQ(Current_Song, 23);
    Current_Song = 29;
    Next_Song(1);
    EXPECT_EQ(Current_Song, 0);
    Previous_Song(1);
    EXPECT_EQ(Current_Song, 29);
    ASSERT_NE(Current_MP3, nullptr);
    EXPECT_STREQ(Current_BM, song_.c_str());
}

TEST_F(Navigation, CountZeroRestartsTheCurrentSong) {
    fill_playable(3);
    Current_Song = 1;
    Next_Song(0);
    EXPECT_EQ(Current_Song, 1);
    Previous_Song(0);
    EXPECT_EQ(Current_Song, 1);
    ASSERT_NE(Current_MP3, nullptr);
    EXPECT_EQ(almp3_get_pos_frames_mp3stream(Current_MP3->stream), 0);
}

TEST_F(Navigation, ShuffleGoesBackToTheSongBeforeTheLastForwardMove) {
    fill_playable(50);
    Shuffle = 1;
    Current_Song = 17;
    Next_Song(1);
    EXPECT_EQ(Prev_Song, 17);
    Previous_Song(1);
    EXPECT_EQ(Current_Song, 17);
    // The way back records the song it starts, so a second Left stays there.
    Previous_Song(1);
    EXPECT_EQ(Current_Song, 17);
    // Counts other than one step in order even with shuffling on.
    Next_Song(10);
    EXPECT_EQ(Current_Song, 27);
}

TEST_F(Navigation, ShuffleHistoryLeftFromALongerListIsWrapped) {
    fill_playable(40);
    Shuffle = 1;
    Prev_Song = 45;  // left over from a list of more than 45 entries
    Previous_Song(1);
    EXPECT_EQ(Current_Song, 5);
}

TEST_F(Navigation, ShuffleForwardStaysInsideTheList) {
    fill_playable(7);
    Shuffle = 1;
    for (int i = 0; i < 200; ++i) {
        Next_Song(1);
        ASSERT_GE(Current_Song, 0);
        ASSERT_LT(Current_Song, 7);
    }
}

TEST_F(Navigation, AnUnopenableSongIsSkippedToTheNextInOrder) {
    ASSERT_TRUE(Append_Song(song_.c_str()));
    ASSERT_TRUE(Append_Song(scratch_->file("missing-1.mp3").c_str()));
    ASSERT_TRUE(Append_Song(scratch_->file("missing-2.mp3").c_str()));
    ASSERT_TRUE(Append_Song(song_.c_str()));
    Current_Song = 0;
    testing::internal::CaptureStdout();
    Next_Song(1);
    const std::string shown = testing::internal::GetCapturedStdout();
    EXPECT_EQ(count_of(shown, kOpenFailure), 2);
    EXPECT_EQ(Current_Song, 3);
    EXPECT_NE(Current_MP3, nullptr);
}

TEST_F(Navigation, WhenEverySongFailsItStopsAfterEachHasFailedOnce) {
    for (const int shuffle : {0, 1}) {
        Reset_Playlist();
        Shuffle = shuffle;
        for (int i = 0; i < 6; ++i) ASSERT_TRUE(Append_Song(scratch_->file("gone-" + std::to_string(i)).c_str()));
        testing::internal::CaptureStdout();
        Next_Song(1);
        const std::string shown = testing::internal::GetCapturedStdout();
        EXPECT_EQ(count_of(shown, kOpenFailure), 6) << "shuffle " << shuffle;
        EXPECT_EQ(Current_MP3, nullptr);
        EXPECT_GE(Current_Song, 0);
        EXPECT_LT(Current_Song, 6);
    }
}

TEST_F(Navigation, MovesOnAnEmptyListDoNothing) {
    Current_Song = 0;
    Next_Song(1);
    Previous_Song(3);
    EXPECT_EQ(Current_Song, 0);
    EXPECT_EQ(Current_MP3, nullptr);
    Pause();
    EXPECT_EQ(Paused, 0);
}

TEST_F(Navigation, StartingASongTakesItsSizeAndLength) {
    const std::string longer = scratch_->file("longer.mp3");
    ASSERT_TRUE(make_tone_song(longer, 300, 3.0));
    ASSERT_TRUE(Append_Song(longer.c_str()));
    Current_Song = 0;
    Next_Song(0);
    ASSERT_NE(Current_MP3, nullptr);
    EXPECT_EQ(FileSize, static_cast<int>(read_text(longer).size()));
    EXPECT_EQ(Length_Hours, 0);
    EXPECT_EQ(Length_Minutes, 0);
    EXPECT_EQ(Length_Seconds, 3);
}

TEST(DialogKeys, TheEscapePressThatClosedADialogDoesNotQuit) {
    key[KEY_ESC] = 1;  // still down when the dialog returns
    Forget_Dialog_Keys();
    EXPECT_FALSE(Quit_Requested());
    key[KEY_ESC] = 0;
    EXPECT_FALSE(Quit_Requested());
    key[KEY_ESC] = 1;  // a new press quits
    EXPECT_TRUE(Quit_Requested());
    key[KEY_ESC] = 0;
    Forget_Dialog_Keys();  // a dialog closed otherwise leaves Escape working
    key[KEY_ESC] = 1;
    EXPECT_TRUE(Quit_Requested());
    key[KEY_ESC] = 0;
}

TEST_F(Navigation, EntriesThatAreNoRegularFilesAreSkippedWithTheirMessage) {
    const std::string fifo = scratch_->file("song.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    // Opening the FIFO for reading would wait for a writer for ever.
    for (const std::string &entry : {fifo, scratch_->path(), std::string("/dev/zero"), song_})
        ASSERT_TRUE(Append_Song(entry.c_str()));
    Current_Song = 0;
    testing::internal::CaptureStdout();
    Next_Song(0);
    const std::string shown = testing::internal::GetCapturedStdout();
    EXPECT_EQ(count_of(shown, kOpenFailure), 3);
    EXPECT_EQ(Current_Song, 3);
    EXPECT_NE(Current_MP3, nullptr);
}

TEST_F(Navigation, ASongThatShrinksWhileItPlaysGetsItsFinalPacket) {
    const std::string shrinking = scratch_->file("shrinking.mp3");
    ASSERT_TRUE(make_tone_song(shrinking, 350, 6.0));  // three packets and more
    ASSERT_TRUE(Append_Song(shrinking.c_str()));
    Current_Song = 0;
    Next_Song(0);
    ASSERT_NE(Current_MP3, nullptr);
    Mp3Stream *stream = Current_MP3->stream;
    ASSERT_NE(almp3_get_mp3stream_buffer(stream), nullptr);
    // Shorter than what the first packet already took: the next read finds
    // no bytes, and the feeder hands that over as the end instead of
    // waiting for them.
    ASSERT_EQ(truncate(shrinking.c_str(), 1000), 0);
    poll_mp3_file(Current_MP3);
    EXPECT_EQ(almp3_get_mp3stream_buffer(stream), nullptr);
}

TEST_F(Navigation, TagsBeforeAndAfterTheFramesAreNotCountedAsSound) {
    const std::string plain = scratch_->file("plain.mp3");
    ASSERT_TRUE(make_tone_song(plain, 300, 3.0));
    // Two stacked leading tags, the second far bigger than the first
    // packet (a cover picture); an APEv2 tag and an ID3v1 block at the end.
    const std::string tagged = scratch_->file("tagged.mp3");
    const std::string bytes = id3v2_tag(10000, true) + id3v2_tag(200000, false) + read_text(plain) +
                              ape_tag(100000) + "TAG" + std::string(125, ' ');
    write_text(tagged, bytes);
    ASSERT_TRUE(Append_Song(tagged.c_str()));
    Current_Song = 0;
    testing::internal::CaptureStdout();
    Next_Song(0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_NE(Current_MP3, nullptr);
    EXPECT_EQ(FileSize, static_cast<int>(bytes.size()));
    EXPECT_EQ(Length_Hours * 3600 + Length_Minutes * 60 + Length_Seconds, 3);
}

}  // namespace
