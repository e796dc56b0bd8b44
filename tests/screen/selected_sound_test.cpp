// Enter and Backspace heard in the real player's sound: each song is a tone
// of its own, so the captured sound tells which one plays after each key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player_session.h"
#include "screen_layout.h"
#include "screen_session.h"

namespace {

const std::vector<int> kTones = {300, 500, 700, 900};
constexpr int kSettleMs = 400;  // part of a step before its sound is judged
constexpr int kListenMs = 900;
constexpr double kSongSeconds = 40;

class SelectedSound : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(s_.ok());
        std::vector<std::string> paths;
        for (int hz : kTones) {
            const auto song = s_.songs({"song-" + std::to_string(hz) + ".mp3"}, hz, kSongSeconds);
            ASSERT_EQ(song.size(), 1u);
            paths.push_back(song[0]);
        }
        s_.write_playlist(paths);
        ASSERT_TRUE(s_.start());
    }
    void TearDown() override { EXPECT_EQ(s_.quit(), 0); }

    size_t frames_now() { return static_cast<size_t>(s_.session().captured_bytes()) / 4; }
    // The tone heard over the next moment.
    int tone_now() {
        sleep_ms(kSettleMs);
        const size_t from = frames_now();
        sleep_ms(kListenMs);
        return dominant_tone(s_.session().captured_sound(), from, frames_now(), kTones);
    }
    // Presses keys and returns the tone heard afterwards.
    int tone_after(const std::string &keys) {
        s_.key(keys);
        return tone_now();
    }
    bool playlist_row_shows(int row, const std::string &text) {
        const Rect &p = kLayout800.playlist;
        return s_.shot().text_mismatches(p.x + kTextX, p.y + row * kRowHeight, text, kWhite, kLayout800.width) == 0;
    }

    ScreenSession s_{kLayout800.width, kLayout800.height, true};
};

TEST_F(SelectedSound, EnterPlaysTheSelectionAndBackspaceRemovesIt) {
    EXPECT_EQ(tone_now(), 300);
    // Only the main keyboard's Enter plays the selection.
    EXPECT_EQ(tone_after("Down Down KP_Enter"), 300);
    EXPECT_EQ(tone_after("Return"), 700);
    // The playing entry goes: the one that took its place plays.
    EXPECT_EQ(tone_after("BackSpace"), 900);
    // An entry before the playing one goes: the song plays on, and the next
    // song is the one after it (the list is now 500, 900: back to 500).
    EXPECT_EQ(tone_after("Up Up BackSpace"), 900);
    EXPECT_EQ(tone_after("Right"), 500);
}

TEST_F(SelectedSound, PastTheEndOfTheListEnterAndBackspaceDoNothing) {
    // Remove the last entry while selected: the selection is past the end.
    EXPECT_EQ(tone_after("Down Down Down BackSpace"), 300);
    // The slot past the end still holds the removed song's path: Enter must
    // not play it, Backspace must not remove the entry above.
    EXPECT_EQ(tone_after("Return"), 300);
    s_.key("BackSpace");
    EXPECT_TRUE(playlist_row_shows(2, "  2. song-700.mp3"));
    EXPECT_EQ(tone_after("Up Return"), 700);
}

}  // namespace
