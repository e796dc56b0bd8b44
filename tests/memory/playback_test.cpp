// Playing the in-memory object through the (fake) audio stream: whole files
// against the reference decoder, the ending and looping rules, and the calls
// that must change nothing.
#include <gtest/gtest.h>

#include "fake_allegro.h"
#include "memory_support.h"
#include "test_files.h"

namespace {

struct Case {
    std::string name;
    std::vector<unsigned char> bytes;
    std::vector<int16_t> ref;
    int lead;
};

// Every encoded file, plus an ID3v2 tag with a footer in front of a CBR
// file and a trailing tag behind a VBR file with a Xing header.
std::vector<Case> playable_cases() {
    std::vector<Case> cases;
    for (const auto &f : encoded_files())
        cases.push_back({f.name, read_bytes(encoded_path(f.name)), reference_pcm(f.name), f.name == "id3v2.mp3" ? 3000 : 0});
    cases.push_back({"footer", with_id3v2(read_bytes(encoded_path("cbr44100s.mp3")), 700, true),
                     reference_pcm("cbr44100s.mp3"), 720});
    cases.push_back({"xing+tag", with_trailing_tag(read_bytes(encoded_path("vbr44100s.mp3"))),
                     reference_pcm("vbr44100s.mp3"), 0});
    return cases;
}

TEST(MemoryPlayback, PlaysEveryFileToItsEndLikeTheReferenceDecoder) {
    constexpr int kFramesPerBuffer = 3;
    for (const auto &c : playable_cases()) {
        SCOPED_TRACE(c.name);
        MemoryPtr m = make_memory(c.bytes);
        ASSERT_TRUE(m);
        const Playback p = play_through(m.get(), kFramesPerBuffer, 0, 100000);
        ASSERT_GE(p.results.size(), 3u);
        // The data's end is followed by exactly two silent buffers: 0, then 1.
        EXPECT_EQ(p.results.back(), 1);
        EXPECT_EQ(p.results[p.results.size() - 2], 0);
        EXPECT_TRUE(fake_allegro::buffer_was_silent(p.buffers - 1));
        EXPECT_TRUE(fake_allegro::buffer_was_silent(p.buffers - 2));
        const size_t buffer = static_cast<size_t>(kFramesPerBuffer * pcm_per_frame(m.get()) / 2);
        EXPECT_EQ(static_cast<size_t>(p.buffers), (c.ref.size() + buffer - 1) / buffer + 2);

        EXPECT_TRUE(same_pcm(head(p.pcm, c.ref.size()), c.ref));
        EXPECT_TRUE(all_zero(p.pcm, c.ref.size(), p.pcm.size()));
        // Finished: stopped and back at the first frame.
        EXPECT_EQ(almp3_is_playing_mp3(m.get()), 0);
        EXPECT_EQ(almp3_get_pos_frames_mp3(m.get()), 0);
        EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), c.lead);
        EXPECT_EQ(fake_allegro::streams_open(), 0);
    }
}

class MemoryCalls : public ::testing::Test {
protected:
    void SetUp() override {
        fake_allegro::reset();
        bytes_ = read_bytes(encoded_path("cbr44100s.mp3"));
        ref_ = reference_pcm("cbr44100s.mp3");
        m_ = make_memory(bytes_);
        ASSERT_TRUE(m_);
    }
    Mp3Memory *m() { return m_.get(); }

    static constexpr int kFrameBytes = 4608;
    std::vector<unsigned char> bytes_;
    std::vector<int16_t> ref_;
    MemoryPtr m_;
};

TEST_F(MemoryCalls, AnIdleObjectReportsAndChangesNothing) {
    EXPECT_EQ(almp3_poll_mp3(m()), -1);
    EXPECT_EQ(almp3_is_playing_mp3(m()), 0);
    almp3_set_loop_mp3(m(), 1);
    almp3_adjust_mp3(m(), 10, 20, 1500, 1);
    EXPECT_EQ(almp3_is_looping_mp3(m()), 0);
    EXPECT_EQ(fake_allegro::adjust_calls(), 0);
    int size = 1234;
    EXPECT_EQ(almp3_get_output_wave_mp3(m(), &size), nullptr);
    EXPECT_EQ(size, 1234);
    EXPECT_EQ(almp3_get_audiostream_mp3(m()), nullptr);
    almp3_stop_mp3(m());
    EXPECT_EQ(fake_allegro::streams_open(), 0);
}

TEST_F(MemoryCalls, BufferLengthIsCutToWholeFramesAndMustHoldOne) {
    EXPECT_EQ(almp3_play_mp3(m(), kFrameBytes - 1, 255, 128), -1);
    EXPECT_EQ(almp3_is_playing_mp3(m()), 0);
    EXPECT_EQ(fake_allegro::streams_open(), 0);

    ASSERT_EQ(almp3_play_mp3(m(), 2 * kFrameBytes + 100, 200, 64), 0);
    const auto call = fake_allegro::last_play();
    EXPECT_EQ(call.len, 2 * 1152);
    EXPECT_EQ(call.bits, 16);
    EXPECT_NE(call.stereo, 0);
    EXPECT_EQ(call.freq, 44100);
    EXPECT_EQ(call.vol, 200);
    EXPECT_EQ(call.pan, 64);
    int size = 0;
    EXPECT_NE(almp3_get_output_wave_mp3(m(), &size), nullptr);
    EXPECT_EQ(size, 2 * kFrameBytes);
    // The size is optional, as for the streaming object.
    EXPECT_NE(almp3_get_output_wave_mp3(m(), nullptr), nullptr);
    EXPECT_NE(almp3_get_audiostream_mp3(m()), nullptr);
}

TEST_F(MemoryCalls, PlayingTwiceChangesNothing) {
    ASSERT_EQ(almp3_play_ex_mp3(m(), kFrameBytes, 255, 128, 1000, 0), 0);
    EXPECT_EQ(almp3_play_ex_mp3(m(), 4 * kFrameBytes, 1, 2, 1500, 1), 0);
    EXPECT_EQ(fake_allegro::streams_open(), 1);
    EXPECT_EQ(almp3_is_looping_mp3(m()), 0);
    EXPECT_EQ(fake_allegro::adjust_calls(), 0);
    int size = 0;
    almp3_get_output_wave_mp3(m(), &size);
    EXPECT_EQ(size, kFrameBytes);
}

TEST_F(MemoryCalls, SpeedAndLoopAreAdjustedOnTheStreamsSample) {
    ASSERT_EQ(almp3_play_ex_mp3(m(), kFrameBytes, 100, 30, 1500, 0), 0);
    ASSERT_EQ(fake_allegro::adjust_calls(), 1);
    EXPECT_EQ(fake_allegro::last_adjust().freq, 1500);
    EXPECT_EQ(fake_allegro::last_adjust().loop, -1);
    almp3_adjust_mp3(m(), 7, 8, 1000, 5);
    EXPECT_EQ(fake_allegro::adjust_calls(), 2);
    EXPECT_EQ(fake_allegro::last_adjust().vol, 7);
    EXPECT_EQ(almp3_is_looping_mp3(m()), 5);
    almp3_set_loop_mp3(m(), 0);
    EXPECT_EQ(almp3_is_looping_mp3(m()), 0);
}

TEST_F(MemoryCalls, AFailedAudioStreamLeavesTheObjectIdle) {
    almp3_start_autopoll_mp3(m(), 5);
    fake_allegro::set_play_fails(true);
    EXPECT_EQ(almp3_play_ex_mp3(m(), kFrameBytes, 255, 128, 1500, 1), 0);
    EXPECT_EQ(almp3_is_playing_mp3(m()), 0);
    EXPECT_EQ(fake_allegro::adjust_calls(), 0);
    EXPECT_EQ(fake_allegro::timers_installed(), 0);
}

TEST_F(MemoryCalls, NoFreeBufferMeansNothingIsDecoded) {
    ASSERT_EQ(almp3_play_mp3(m(), 3 * kFrameBytes, 255, 128), 0);
    fake_allegro::set_free_buffers(0);
    EXPECT_EQ(almp3_poll_mp3(m()), 0);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 0);
    EXPECT_EQ(fake_allegro::buffers_handed_back(), 0);
    fake_allegro::set_free_buffers(1);
    EXPECT_EQ(almp3_poll_mp3(m()), 0);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 3);
}

TEST_F(MemoryCalls, StopKeepsThePlaceAndRewindRestartsAtTheFirstFrame) {
    ASSERT_EQ(almp3_play_mp3(m(), 4 * kFrameBytes, 255, 128), 0);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(almp3_poll_mp3(m()), 0);
    almp3_stop_mp3(m());
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 12);
    ASSERT_EQ(almp3_play_mp3(m(), 4 * kFrameBytes, 255, 128), 0);
    ASSERT_EQ(almp3_poll_mp3(m()), 0);
    // Stop and play again continue the audio as if nothing happened.
    auto pcm = fake_allegro::captured_signed();
    ASSERT_EQ(pcm.size(), 16u * 2304);
    EXPECT_TRUE(same_pcm(pcm, head(ref_, pcm.size())));

    almp3_rewind_mp3(m());
    EXPECT_EQ(almp3_is_playing_mp3(m()), -1);
    ASSERT_EQ(almp3_poll_mp3(m()), 0);
    pcm = fake_allegro::captured_signed();
    const std::vector<int16_t> again(pcm.end() - 4 * 2304, pcm.end());
    EXPECT_TRUE(same_pcm(again, head(ref_, again.size())));
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 4);
}

TEST_F(MemoryCalls, EndingGoesOnAfterASeekButStopsForLoopingTurnedOn) {
    // A buffer that holds all the audio.
    const int frames = static_cast<int>(ref_.size() / 2304) + 1;
    ASSERT_EQ(almp3_play_mp3(m(), frames * kFrameBytes, 255, 128), 0);
    ASSERT_EQ(almp3_poll_mp3(m()), 0);  // all the audio: now ending
    almp3_seek_abs_frames_mp3(m(), 10);
    EXPECT_EQ(almp3_poll_mp3(m()), 0);
    EXPECT_EQ(almp3_poll_mp3(m()), 1);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 10);

    // Looping turned on while ending: the next buffer is audio again, from
    // the first frame.
    fake_allegro::reset();
    almp3_rewind_mp3(m());
    ASSERT_EQ(almp3_play_mp3(m(), frames * kFrameBytes, 255, 128), 0);
    ASSERT_EQ(almp3_poll_mp3(m()), 0);
    almp3_set_loop_mp3(m(), 1);
    ASSERT_EQ(almp3_poll_mp3(m()), 0);
    EXPECT_FALSE(fake_allegro::buffer_was_silent(1));
    const auto pcm = fake_allegro::captured_signed();
    const std::vector<int16_t> second(pcm.begin() + static_cast<std::ptrdiff_t>(pcm.size() / 2), pcm.end());
    EXPECT_TRUE(same_pcm(head(second, ref_.size()), ref_));
}

}  // namespace
