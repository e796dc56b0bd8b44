// The real mp3player, started in a fresh folder on a private display, driven
// by key presses; what it plays is told apart by each song's own tone in the
// captured sound.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "player_session.h"
#include "player_test_util.h"

namespace {

const std::vector<int> kTones = {300, 500, 700, 900, 1100, 1300, 1500};
constexpr int kStepMs = 1200;     // time given to each key's effect
constexpr int kSettleMs = 400;    // part of a step before its sound is judged
constexpr int kMessageWaitMs = 5000;
constexpr int kFirstSongWaitMs = 5000;  // start-up until the first song plays

std::string song_name(int hz) { return "song-" + std::to_string(hz) + ".mp3"; }

// Presses keys and returns the tone heard afterwards.
int tone_after(PlayerSession &p, const std::string &keys) {
    p.key(keys);
    const size_t from = p.frames_now() + frames_in_ms(kSettleMs);
    sleep_ms(kStepMs);
    return dominant_tone(p.sound(), from, p.frames_now(), kTones);
}

// The tone heard over the next ms milliseconds.
int tone_now(PlayerSession &p, int ms) {
    const size_t from = p.frames_now();
    sleep_ms(ms);
    return dominant_tone(p.sound(), from, p.frames_now(), kTones);
}

TEST(Player, PlaysTheListInOrderAndWrapsToItsStart) {
    PlayerSession p(false);
    ASSERT_TRUE(p.ok());
    p.write_playlist({p.song("one.mp3", 300, 1.5), "two.mp3", p.song("three.mp2", 700, 1.5)});
    p.song("two.mp3", 500, 1.5);
    ASSERT_TRUE(p.start()) << p.log();
    // Sound runs faster than real time here: 4.5 s of songs take about 2 s.
    for (int waited = 0; waited < 15000 && p.frames_now() < frames_in_ms(8000); waited += 100) sleep_ms(100);
    EXPECT_EQ(p.quit(), 0) << p.log();
    const auto heard = tone_sequence(p.sound(), kTones);
    ASSERT_GE(heard.size(), 4u);
    EXPECT_EQ(std::vector<int>(heard.begin(), heard.begin() + 4), (std::vector<int>{300, 500, 700, 300}));
}

TEST(Player, ArrowInsertAndDeleteMoveThroughTheList) {
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    std::vector<std::string> list;
    for (int hz : kTones) list.push_back(p.song(song_name(hz), hz, 4));
    p.write_playlist(list);  // 7 songs: Insert and Delete move 2
    ASSERT_TRUE(p.start()) << p.log();
    ASSERT_TRUE(p.wait_for_title("song-300.", kFirstSongWaitMs));
    EXPECT_EQ(tone_now(p, 800), 300);
    EXPECT_EQ(tone_after(p, "Right"), 500);
    EXPECT_EQ(tone_after(p, "Delete"), 900);
    EXPECT_EQ(tone_after(p, "Left"), 700);
    EXPECT_EQ(tone_after(p, "Insert"), 300);
    EXPECT_EQ(tone_after(p, "Left"), 1500);
    EXPECT_EQ(tone_after(p, "Delete"), 500);
    EXPECT_EQ(tone_after(p, "Insert"), 1500);
    EXPECT_EQ(p.title(), "song-1500.");
    EXPECT_EQ(p.quit(), 0) << p.log();
}

TEST(Player, ShuffleChoosesAtRandomAndLeftReturnsToTheSongBefore) {
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    std::vector<std::string> list;
    for (int hz : kTones) list.push_back(p.song(song_name(hz), hz, 4));
    p.write_playlist(list);
    ASSERT_TRUE(p.start()) << p.log();
    ASSERT_TRUE(p.wait_for_title("song-300.", kFirstSongWaitMs));
    EXPECT_EQ(tone_now(p, 600), 300);
    p.key("s");
    std::vector<int> forward;
    for (int i = 0; i < 5; ++i) forward.push_back(tone_after(p, "Right"));
    // Five moves in order would have gone 500, 700, 900, 1100, 1300.
    EXPECT_NE(forward, (std::vector<int>{500, 700, 900, 1100, 1300}));
    EXPECT_EQ(tone_after(p, "Left"), forward[3]);
    EXPECT_EQ(tone_after(p, "Left"), forward[3]);
    EXPECT_EQ(p.quit(), 0) << p.log();
}

TEST(Player, SpacePausesAndResumesWhereItStopped) {
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    p.write_playlist({p.song("only.mp3", 500, 3)});
    ASSERT_TRUE(p.start()) << p.log();
    ASSERT_TRUE(p.wait_for_title("only.", kFirstSongWaitMs));
    sleep_ms(1000);
    EXPECT_EQ(tone_after(p, "space"), 0);
    p.key("space");
    sleep_ms(3000);
    EXPECT_EQ(p.quit(), 0) << p.log();
    // Heard: the song's start, the pause, the rest of the song (not the song
    // from its start again), then (a one-song list repeats) the song again
    // after the gap at its end. The sound queued when the pause came is
    // heard after it, so the two parts make up the whole song.
    const auto runs = tone_runs(p.sound(), 500, kTones);
    ASSERT_GE(runs.size(), 2u);
    EXPECT_LT(runs[1].length_ms, 2500);
    // Nothing is skipped or started again: a pause used to lose 500 to 650 ms.
    // The heard length to the tenth of a second is PausedSong's to check, in
    // windows of the song's own tone; these runs are cut more coarsely.
    EXPECT_NEAR(runs[0].length_ms + runs[1].length_ms, 3000, 200) << runs[0].length_ms << " + " << runs[1].length_ms;
    EXPECT_GE(runs[1].start_ms - (runs[0].start_ms + runs[0].length_ms), 1000);
}

TEST(Player, VolumeAndPanningChangeTheLevelAndBalance) {
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    p.write_playlist({p.song("long.mp3", 700, 15)});
    ASSERT_TRUE(p.start()) << p.log();
    ASSERT_TRUE(p.wait_for_title("long.", kFirstSongWaitMs));
    // Left and right levels after keys (pressed with a pause between them,
    // as a user holding a key would).
    auto levels_after = [&p](const std::string &keys) {
        if (!keys.empty()) p.session().sh("xdotool mousemove 20 20 " + keys);
        sleep_ms(kSettleMs);
        const size_t from = p.frames_now();
        sleep_ms(700);
        const auto s = p.sound();
        return std::pair<double, double>{channel_rms(s, from, p.frames_now(), 0),
                                         channel_rms(s, from, p.frames_now(), 1)};
    };
    const auto full = levels_after("");
    EXPECT_GT(full.first, 5000);
    EXPECT_NEAR(full.first, full.second, full.first * 0.05);
    // Volume is already at its top: = changes nothing.
    const auto still_full = levels_after("key --delay 40 equal equal equal");
    EXPECT_NEAR(still_full.first, full.first, full.first * 0.05);
    // 128 steps down (main and keypad minus) halve the volume; 64 up with the
    // keypad plus bring it to three quarters.
    const auto half = levels_after("key --delay 15 --repeat 64 minus key --delay 15 --repeat 64 KP_Subtract");
    EXPECT_NEAR(half.first / full.first, 0.5, 0.08);
    EXPECT_NEAR(half.first, half.second, half.first * 0.05);
    const auto three_quarters = levels_after("key --delay 15 --repeat 64 KP_Add");
    EXPECT_NEAR(three_quarters.first / full.first, 0.75, 0.08);
    // Panning far to the left, then past the centre far to the right.
    const auto left = levels_after("key --delay 15 --repeat 120 Home");
    EXPECT_GT(left.first, 2.0 * left.second);
    const auto right = levels_after("key --delay 15 --repeat 240 End");
    EXPECT_GT(right.second, 2.0 * right.first);
    EXPECT_EQ(p.quit(), 0) << p.log();
}

TEST(Player, F4StopsPlaybackAndEmptiesTheList) {
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    p.write_playlist({p.song(song_name(300), 300, 4), p.song(song_name(500), 500, 4)});
    ASSERT_TRUE(p.start()) << p.log();
    ASSERT_TRUE(p.wait_for_title("song-300.", kFirstSongWaitMs));
    EXPECT_EQ(tone_now(p, 700), 300);
    EXPECT_EQ(tone_after(p, "F4"), 0);
    // Nothing left to move to or to pause.
    EXPECT_EQ(tone_after(p, "Right"), 0);
    EXPECT_EQ(tone_after(p, "space Delete"), 0);
    EXPECT_EQ(p.quit(), 0) << p.log();
}

TEST(Player, WithoutAPlaylistItStartsSilentOverItsBackground) {
    PlayerSession p(false);
    ASSERT_TRUE(p.ok());
    ASSERT_EQ(p.session().sh("convert -size 64x48 xc:'rgb(0,0,255)' '" + p.path("bg.jpg") + "'"), 0);
    ASSERT_TRUE(p.start()) << p.log();
    sleep_ms(1500);
    // The top left belongs to no panel: the stretched image shows there, in
    // both corners of that band.
    for (const auto &rgb : {p.pixel(5, 5), p.pixel(300, 150)}) {
        EXPECT_LT(rgb.r, 16);
        EXPECT_LT(rgb.g, 16);
        EXPECT_GT(rgb.b, 240);
    }
    EXPECT_EQ(p.quit(), 0) << p.log();
    const auto sound = p.sound();
    EXPECT_LT(channel_rms(sound, 0, sound.size() / 2, 0), 1.0);
    EXPECT_LT(channel_rms(sound, 0, sound.size() / 2, 1), 1.0);
}

TEST(Player, UnplayableEntriesShowTheirMessagesAndAreSkipped) {
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    const std::string missing = p.path("missing.mp3");
    write_text(missing, "");  // exists while the list loads, gone before it plays
    write_text(p.path("empty.mp3"), "");
    write_text(p.path("short.mp3"), "not an mp3 at all\n");
    std::string noise(40000, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919u) % 251u == 0 ? 0xff : i % 13);
    write_text(p.path("noise.mp3"), noise);
    p.write_playlist({p.song(song_name(300), 300, 2.5), missing, p.path("empty.mp3"), p.path("short.mp3"),
                      p.path("noise.mp3"), p.song(song_name(500), 500, 3)});
    ASSERT_TRUE(p.start()) << p.log();
    ASSERT_TRUE(p.wait_for_title("song-300.", kFirstSongWaitMs));
    unlink(missing.c_str());
    EXPECT_EQ(p.answer_message(kMessageWaitMs), "Unable to physically open file!");
    EXPECT_EQ(p.answer_message(kMessageWaitMs), "Packet Length is a negative value!");
    EXPECT_EQ(p.answer_message(kMessageWaitMs), "Could not create MP3 Stream for final packet!");
    EXPECT_EQ(p.answer_message(kMessageWaitMs), "Could not create MP3 Stream for final packet!");
    EXPECT_EQ(p.answer_message(kMessageWaitMs), "Could not create MP3 Stream for packet!");
    EXPECT_EQ(tone_now(p, 1000), 500);
    EXPECT_EQ(p.title(), "song-500.");
    EXPECT_EQ(p.quit(), 0) << p.log();
    const auto heard = tone_sequence(p.sound(), kTones);
    EXPECT_EQ(heard, (std::vector<int>{300, 500}));
}

TEST(Player, AListWhereEverySongFailsStopsAfterOneRound) {
    PlayerSession p(false);
    ASSERT_TRUE(p.ok());
    for (const char *name : {"a.mp3", "b.mp3", "c.mp3"}) write_text(p.path(name), "no frames here\n");
    p.write_playlist({p.path("a.mp3"), p.path("b.mp3"), p.path("c.mp3")});
    ASSERT_TRUE(p.start()) << p.log();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(p.answer_message(kMessageWaitMs), "Could not create MP3 Stream for final packet!") << i;
    EXPECT_EQ(p.answer_message(1500), "");
    // Right tries the round once more, then the player is idle again.
    p.key("Right");
    for (int i = 0; i < 3; ++i) EXPECT_NE(p.answer_message(kMessageWaitMs), "") << i;
    EXPECT_EQ(p.answer_message(1000), "");
    EXPECT_EQ(p.quit(), 0) << p.log();
}

TEST(Player, F3AddsSongsAndF2SavesTheList) {
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    const std::string first = p.song(song_name(500), 500, 2.5);
    const std::string second = p.song(song_name(900), 900, 2);
    ASSERT_TRUE(p.start()) << p.log();
    EXPECT_EQ(tone_now(p, 500), 0);
    // Added to an empty list, a song starts at once.
    p.key("F3");
    sleep_ms(500);
    p.enter_in_dialog(first);
    EXPECT_EQ(tone_now(p, 700), 500);
    // Added to a list that plays, it waits its turn.
    p.key("F3");
    sleep_ms(500);
    p.enter_in_dialog(second);
    EXPECT_EQ(tone_now(p, 500), 500);
    // It follows once the first has played out (the dialog's pause lost
    // none of it).
    int heard = 500;
    for (int i = 0; i < 12 && heard == 500; ++i) heard = tone_now(p, 500);
    EXPECT_EQ(heard, 900);
    // A save that cannot be made (its folder does not exist) says so and
    // names the file; a file named like a temporary file is left alone.
    const std::string saved = p.path("saved.qpl");
    write_text(saved, "old list\n");
    write_text(saved + ".tmp", "kept\n");
    const std::string nowhere = p.path("no-folder/saved.qpl");
    p.key("F2");
    sleep_ms(500);
    p.enter_in_dialog(nowhere);
    EXPECT_EQ(p.answer_message(kMessageWaitMs),
              "Could not save the playlist to " + nowhere + ":\n" + std::strerror(ENOENT));
    p.key("F2");
    sleep_ms(500);
    p.enter_in_dialog(saved);
    sleep_ms(500);
    EXPECT_EQ(read_lines(saved), (std::vector<std::string>{first, second}));
    EXPECT_EQ(read_text(saved + ".tmp"), "kept\n");
    EXPECT_EQ(p.quit(), 0) << p.log();
}

TEST(Player, F1LoadsAListAndAFruitlessF1KeepsTheListFile) {
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    const std::string low = p.song(song_name(300), 300, 4);
    const std::string high = p.song(song_name(1100), 1100, 4);
    // A line naming no file is skipped on loading, so a save of the list
    // shows by its absence.
    p.write_playlist({low, p.path("gone.mp3")});
    p.write_playlist({high, low}, "other.qpl");
    ASSERT_TRUE(p.start()) << p.log();
    ASSERT_TRUE(p.wait_for_title("song-300.", kFirstSongWaitMs));
    EXPECT_EQ(tone_now(p, 600), 300);

    // A name of no file: nothing changes, and the music plays on.
    p.key("F1");
    sleep_ms(500);
    p.enter_in_dialog(p.path("nothere.qpl"));
    EXPECT_EQ(tone_now(p, 800), 300);
    // F2 offers the list file it still has.
    p.key("F2");
    sleep_ms(500);
    p.session().sh("xdotool key Return");
    EXPECT_EQ(tone_now(p, 800), 300);
    EXPECT_EQ(read_lines(p.path("playlist.qpl")), (std::vector<std::string>{low}));
    EXPECT_NE(access(p.path("nothere.qpl").c_str(), F_OK), 0);

    // A real list replaces the playing one and starts its first song.
    p.key("F1");
    sleep_ms(500);
    p.enter_in_dialog(p.path("other.qpl"));
    EXPECT_EQ(tone_now(p, 800), 1100);
    EXPECT_EQ(p.title(), "song-1100.");
    EXPECT_EQ(p.quit(), 0) << p.log();
}

TEST(Player, WithoutADisplayItReportsTheFailureAndExitsWithMinusOne) {
    HeadlessSession session;
    ASSERT_TRUE(session.ok());
    const std::string out = session.dir() + "/out.txt";
    EXPECT_EQ(session.sh(std::string("env -u DISPLAY ") + MP3PLAYER + " > " + out + " 2>&1"), 255);
    EXPECT_NE(read_text(out).find("Unable to set graphics mode"), std::string::npos);
}

}  // namespace
