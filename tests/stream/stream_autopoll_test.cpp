// Autopolling: the timer follows play and stop, a second start changes
// nothing, and the timer's polls from their own thread never collide with
// the caller feeding, stopping or destroying the object.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fake_allegro.h"
#include "stream_feeder.h"
#include "test_files.h"

namespace {

TEST(StreamAutopoll, TheTimerExistsWhilePlayingWithAutopollOn) {
    FedSong song("cbr44100s.mp3");
    Mp3Stream *s = song.s.get();
    ASSERT_NE(s, nullptr);
    almp3_start_autopoll_mp3stream(s, 50);
    almp3_start_autopoll_mp3stream(s, 5);  // changes nothing, not even the period
    EXPECT_EQ(fake_allegro::timers_installed(), 0);

    fake_allegro::set_free_buffers(0);  // the ticks find no buffer to fill
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
    EXPECT_EQ(fake_allegro::timers_installed(), 1);
    EXPECT_EQ(fake_allegro::last_timer_ms(), 50);
    almp3_stop_mp3stream(s);
    EXPECT_EQ(fake_allegro::timers_installed(), 0);
    // Autopoll stays on: the next play installs the timer again.
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
    EXPECT_EQ(fake_allegro::timers_installed(), 1);
    almp3_stop_autopoll_mp3stream(s);
    EXPECT_EQ(fake_allegro::timers_installed(), 0);
    EXPECT_EQ(almp3_is_playing_mp3stream(s), ALMP3_TRUE);
    almp3_start_autopoll_mp3stream(s, 5);
    EXPECT_EQ(fake_allegro::timers_installed(), 1);
    EXPECT_EQ(fake_allegro::last_timer_ms(), 5);
    song.s.reset();
    EXPECT_EQ(fake_allegro::timers_installed(), 0);
}

TEST(StreamAutopoll, TheTimerPlaysTheSongWhileTheCallerFeeds) {
    FedSong song("cbr44100s.mp3");
    Mp3Stream *s = song.s.get();
    ASSERT_NE(s, nullptr);
    // A block lasts about six ticks, so the caller has some 60 ms to hand
    // the next one over, even on a busy machine.
    almp3_start_autopoll_mp3stream(s, 10);
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (almp3_is_playing_mp3stream(s) && std::chrono::steady_clock::now() < deadline) {
        song.source.feed(s);
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    EXPECT_EQ(almp3_is_playing_mp3stream(s), ALMP3_FALSE);
    // The last poll stopped playback from the timer's own callback.
    EXPECT_EQ(fake_allegro::timers_installed(), 0);
    EXPECT_EQ(almp3_get_pos_frames_mp3stream(s), audio_frames_within(song.bytes, song.bytes.size()));
    EXPECT_TRUE(captured_begins_with(song.ref));
}

TEST(StreamAutopoll, StoppingOrDestroyingDuringTicksNeverDeadlocks) {
    const auto bytes = read_bytes(encoded_path("cbr44100s.mp3"));
    for (int round = 0; round < 20; ++round) {
        fake_allegro::reset();
        BlockSource source(bytes, kPlayerBlock);
        StreamPtr s = source.create();
        ASSERT_NE(s, nullptr);
        almp3_start_autopoll_mp3stream(s.get(), 1);
        ASSERT_EQ(almp3_play_mp3stream(s.get(), kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 4));
        source.feed(s.get());
        if (round % 2) almp3_stop_mp3stream(s.get());
        s.reset();
        EXPECT_EQ(fake_allegro::timers_installed(), 0);
    }
}

}  // namespace
