// The polling timer: it follows playback, removes itself when playback ends,
// and runs on its own thread while the caller keeps using the object.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fake_allegro.h"
#include "memory_support.h"
#include "test_files.h"

namespace {

constexpr int kFrameBytes = 4608;

bool wait_until_stopped(Mp3Memory *m, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (almp3_is_playing_mp3(m) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return !almp3_is_playing_mp3(m);
}

TEST(MemoryAutopoll, TheTimerFollowsPlayback) {
    fake_allegro::reset();
    const auto bytes = read_bytes(encoded_path("cbr44100s.mp3"));
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    fake_allegro::set_free_buffers(0);
    almp3_start_autopoll_mp3(m.get(), 5);
    almp3_start_autopoll_mp3(m.get(), 7);
    EXPECT_EQ(fake_allegro::timers_installed(), 0);
    ASSERT_EQ(almp3_play_mp3(m.get(), kFrameBytes, 255, 128), 0);
    EXPECT_EQ(fake_allegro::timers_installed(), 1);
    almp3_stop_mp3(m.get());
    EXPECT_EQ(fake_allegro::timers_installed(), 0);
    ASSERT_EQ(almp3_play_mp3(m.get(), kFrameBytes, 255, 128), 0);
    EXPECT_EQ(fake_allegro::timers_installed(), 1);
    almp3_stop_autopoll_mp3(m.get());
    EXPECT_EQ(fake_allegro::timers_installed(), 0);
    almp3_start_autopoll_mp3(m.get(), 5);
    EXPECT_EQ(fake_allegro::timers_installed(), 1);
    m.reset();
    EXPECT_EQ(fake_allegro::timers_installed(), 0);
}

TEST(MemoryAutopoll, TheTimerPlaysAFileToItsEndAndRemovesItself) {
    fake_allegro::reset();
    const auto ref = reference_pcm("cbr44100s.mp3");
    const auto bytes = read_bytes(encoded_path("cbr44100s.mp3"));
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    almp3_start_autopoll_mp3(m.get(), 1);
    ASSERT_EQ(almp3_play_mp3(m.get(), 8 * kFrameBytes, 255, 128), 0);
    ASSERT_TRUE(wait_until_stopped(m.get(), std::chrono::seconds(60)));
    EXPECT_EQ(fake_allegro::timers_installed(), 0);
    EXPECT_TRUE(same_pcm(head(fake_allegro::captured_signed(), ref.size()), ref));
}

// The caller stops, seeks, adjusts and replays while the timer polls every
// millisecond; stop and destroy remove the timer while holding the object,
// so a timer that waited for the object would deadlock here.
TEST(MemoryAutopoll, CallerAndTimerNeverOverlapOrDeadlock) {
    fake_allegro::reset();
    const auto bytes = read_bytes(encoded_path("vbr44100s.mp3"));
    for (int round = 0; round < 3; ++round) {
        MemoryPtr m = make_memory(bytes);
        ASSERT_TRUE(m);
        almp3_start_autopoll_mp3(m.get(), 1);
        ASSERT_EQ(almp3_play_ex_mp3(m.get(), 2 * kFrameBytes, 255, 128, 1000, 1), 0);
        for (int i = 0; i < 300; ++i) {
            almp3_seek_abs_frames_mp3(m.get(), (i * 37) % 200);
            almp3_seek_rel_msecs_mp3(m.get(), -30);
            almp3_adjust_mp3(m.get(), 255, 128, 1000, 1);
            almp3_get_pos_msecs_mp3(m.get());  // a read while the timer may be decoding
            if (i % 50 == 0) {
                almp3_stop_mp3(m.get());
                ASSERT_EQ(almp3_play_ex_mp3(m.get(), 2 * kFrameBytes, 255, 128, 1000, 1), 0);
            }
            // 1 ms: shorter pauses return at once with the Windows runtime.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(almp3_is_playing_mp3(m.get()), -1);
        if (round == 0) {
            // Conversion stops playback and its timer first.
            SamplePtr s(almp3_create_sample_from_mp3(m.get()));
            EXPECT_TRUE(s);
            EXPECT_EQ(almp3_is_playing_mp3(m.get()), 0);
            EXPECT_EQ(fake_allegro::timers_installed(), 0);
        }
        // Destroyed while the timer runs.
    }
    EXPECT_EQ(fake_allegro::timers_installed(), 0);
    EXPECT_GT(fake_allegro::buffers_handed_back(), 10);
}

}  // namespace
