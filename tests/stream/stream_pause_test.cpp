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
    FedSong song("cbr44100s.mp3");
    Mp3Stream *s = song.s.get();
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
    for (int i = 0; i < kPollsBeforePause; ++i) {
        song.source.feed(s);
        ASSERT_EQ(almp3_poll_mp3stream(s), ALMP3_POLL_OK);
    }
    const int buffers = fake_allegro::buffers_handed_back();
    ASSERT_EQ(buffers, kPollsBeforePause);

    almp3_pause_mp3stream(s);
    almp3_pause_mp3stream(s);  // a second pause changes nothing
    EXPECT_FALSE(fake_allegro::voice_running());
    EXPECT_EQ(almp3_is_playing_mp3stream(s), ALMP3_TRUE);
    EXPECT_EQ(fake_allegro::streams_open(), 1);
    // Polls, the caller's and autopoll's, and a play request find nothing
    // to do while paused.
    almp3_start_autopoll_mp3stream(s, 1);
    for (int i = 0; i < kPollsWhilePaused; ++i) {
        song.source.feed(s);
        EXPECT_EQ(almp3_poll_mp3stream(s), ALMP3_POLL_OK);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    almp3_stop_autopoll_mp3stream(s);
    EXPECT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
    EXPECT_FALSE(fake_allegro::voice_running());
    EXPECT_EQ(fake_allegro::buffers_handed_back(), buffers);
    // Settings still reach the halted voice.
    almp3_adjust_mp3stream(s, 100, 30, 1000);
    EXPECT_EQ(fake_allegro::last_adjust().vol, 100);

    almp3_resume_mp3stream(s);
    EXPECT_TRUE(fake_allegro::voice_running());
    EXPECT_EQ(play_to_end(s, song.source), ALMP3_POLL_FINISHED);
    EXPECT_TRUE(captured_begins_with(song.ref));
}

TEST(StreamPause, StopEndsThePauseAndAStreamThatIsNotPlayingCannotPause) {
    FedSong song("cbr44100s.mp3");
    Mp3Stream *s = song.s.get();
    ASSERT_NE(s, nullptr);
    almp3_pause_mp3stream(s);
    almp3_resume_mp3stream(s);
    EXPECT_EQ(almp3_is_playing_mp3stream(s), ALMP3_FALSE);
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
    EXPECT_TRUE(fake_allegro::voice_running());

    almp3_pause_mp3stream(s);
    almp3_stop_mp3stream(s);
    EXPECT_EQ(almp3_is_playing_mp3stream(s), ALMP3_FALSE);
    EXPECT_EQ(fake_allegro::streams_open(), 0);
    // The next play starts a running voice, and a resume has nothing left to
    // end.
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
    almp3_resume_mp3stream(s);
    EXPECT_TRUE(fake_allegro::voice_running());
    song.source.feed(s);
    EXPECT_EQ(almp3_poll_mp3stream(s), ALMP3_POLL_OK);
    EXPECT_EQ(fake_allegro::buffers_handed_back(), 1);
    // Destroying a paused stream closes its audio stream.
    almp3_pause_mp3stream(s);
    song.s.reset();
    EXPECT_EQ(fake_allegro::streams_open(), 0);
}

}  // namespace
