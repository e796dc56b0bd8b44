// Pausing the audio output: the voice halts with its queued sound kept, no
// buffer is filled while paused (whoever polls), and after resuming the
// sound goes on exactly where it stopped.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fake_allegro.h"
#include "stream_feeder.h"
#include "test_files.h"

namespace {

constexpr int kPollsBeforePause = 3;
constexpr int kPollsWhilePaused = 50;

TEST(StreamPause, ResumingGoesOnWhereTheSoundStoppedWithNothingLostOrRepeated) {
    fake_allegro::reset();
    const auto bytes = read_bytes(encoded_path("cbr44100s.mp3"));
    const auto ref = reference_pcm("cbr44100s.mp3");
    BlockSource source(bytes, kPlayerBlock);
    Mp3Stream *s = source.create();
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), 0);
    for (int i = 0; i < kPollsBeforePause; ++i) {
        source.feed(s);
        ASSERT_EQ(almp3_poll_mp3stream(s), 0);
    }
    const int buffers = fake_allegro::buffers_handed_back();
    ASSERT_EQ(buffers, kPollsBeforePause);

    almp3_pause_mp3stream(s);
    almp3_pause_mp3stream(s);  // a second pause changes nothing
    EXPECT_FALSE(fake_allegro::voice_running());
    EXPECT_EQ(almp3_is_playing_mp3stream(s), -1);
    EXPECT_EQ(fake_allegro::streams_open(), 1);
    // Polls, the caller's and autopoll's, and a play request find nothing
    // to do while paused.
    almp3_start_autopoll_mp3stream(s, 1);
    for (int i = 0; i < kPollsWhilePaused; ++i) {
        source.feed(s);
        EXPECT_EQ(almp3_poll_mp3stream(s), 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    almp3_stop_autopoll_mp3stream(s);
    EXPECT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), 0);
    EXPECT_FALSE(fake_allegro::voice_running());
    EXPECT_EQ(fake_allegro::buffers_handed_back(), buffers);
    // Settings still reach the halted voice.
    almp3_adjust_mp3stream(s, 100, 30, 1000);
    EXPECT_EQ(fake_allegro::last_adjust().vol, 100);

    almp3_resume_mp3stream(s);
    EXPECT_TRUE(fake_allegro::voice_running());
    int result = 0;
    for (int polls = 0; result == 0 && polls < 10000; ++polls) {
        source.feed(s);
        result = almp3_poll_mp3stream(s);
    }
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(captured_begins_with(ref));
    almp3_destroy_mp3stream(s);
}

TEST(StreamPause, StopEndsThePauseAndAStreamThatIsNotPlayingCannotPause) {
    fake_allegro::reset();
    const auto bytes = read_bytes(encoded_path("cbr44100s.mp3"));
    BlockSource source(bytes, kPlayerBlock);
    Mp3Stream *s = source.create();
    ASSERT_NE(s, nullptr);
    almp3_pause_mp3stream(s);
    almp3_resume_mp3stream(s);
    EXPECT_EQ(almp3_is_playing_mp3stream(s), 0);
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), 0);
    EXPECT_TRUE(fake_allegro::voice_running());

    almp3_pause_mp3stream(s);
    almp3_stop_mp3stream(s);
    EXPECT_EQ(almp3_is_playing_mp3stream(s), 0);
    EXPECT_EQ(fake_allegro::streams_open(), 0);
    // The next play starts a running voice, and a resume has nothing left to
    // end.
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), 0);
    almp3_resume_mp3stream(s);
    EXPECT_TRUE(fake_allegro::voice_running());
    source.feed(s);
    EXPECT_EQ(almp3_poll_mp3stream(s), 0);
    EXPECT_EQ(fake_allegro::buffers_handed_back(), 1);
    // Destroying a paused stream closes its audio stream.
    almp3_pause_mp3stream(s);
    almp3_destroy_mp3stream(s);
    EXPECT_EQ(fake_allegro::streams_open(), 0);
}

}  // namespace
