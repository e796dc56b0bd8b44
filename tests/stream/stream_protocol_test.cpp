// Playing, stopping and feeding a streaming object: the audio stream it
// opens, what a poll does in each state, the block exchange with its odd
// calls, and a stream whose frames change size midway.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "fake_allegro.h"
#include "stream/mp3stream_record.h"
#include "stream_feeder.h"
#include "test_files.h"

// The decoder layer's internals under test.
using namespace almp3;

namespace {

constexpr int kStereoFramePcm = 4608;  // MPEG-1, 1152 samples, two channels
constexpr int kFramesPerBuffer = kPlayerBuffer / kStereoFramePcm;  // 14

struct Song {
    std::vector<unsigned char> bytes;
    std::vector<int16_t> ref;
    explicit Song(const char *name) : bytes(read_bytes(encoded_path(name))), ref(reference_pcm(name)) {}
};

// Plays a stream and polls it until it stops, feeding every block asked for.
int play_to_end(Mp3Stream *s, BlockSource &source) {
    int result = 0;
    for (int polls = 0; result == 0 && polls < 10000; ++polls) {
        source.feed(s);
        result = almp3_poll_mp3stream(s);
    }
    return result;
}

// The first `samples` samples of pcm (all of it when shorter).
std::vector<int16_t> leading(const std::vector<int16_t> &pcm, size_t samples) {
    return std::vector<int16_t>(pcm.begin(), pcm.begin() + std::min(samples, pcm.size()));
}

TEST(StreamPlayback, OpensAWholeNumberOfFramesPerBufferAndPassesTheSettingsOn) {
    fake_allegro::reset();
    Song song("cbr44100s.mp3");
    BlockSource source(song.bytes, kPlayerBlock);
    Mp3Stream *s = source.create();
    ASSERT_NE(s, nullptr);
    int size = 12345;
    EXPECT_EQ(almp3_poll_mp3stream(s), -1);
    EXPECT_EQ(almp3_get_output_wave_mp3stream(s, &size), nullptr);
    EXPECT_EQ(size, 12345);
    EXPECT_EQ(almp3_play_ex_mp3stream(s, 4000, 255, 128, 1000), -1);
    EXPECT_EQ(almp3_is_playing_mp3stream(s), 0);

    ASSERT_EQ(almp3_play_ex_mp3stream(s, kPlayerBuffer, 200, 60, 1000), 0);
    EXPECT_EQ(almp3_is_playing_mp3stream(s), -1);
    const auto play = fake_allegro::last_play();
    EXPECT_EQ(play.len, kFramesPerBuffer * 1152);
    EXPECT_EQ(play.bits, 16);
    EXPECT_EQ(play.stereo, -1);
    EXPECT_EQ(play.freq, 44100);
    EXPECT_EQ(play.vol, 200);
    EXPECT_EQ(play.pan, 60);
    EXPECT_EQ(fake_allegro::adjust_calls(), 0);
    EXPECT_NE(almp3_get_output_wave_mp3stream(s, &size), nullptr);
    EXPECT_EQ(size, kFramesPerBuffer * kStereoFramePcm);

    // Playing again changes nothing.
    EXPECT_EQ(almp3_play_ex_mp3stream(s, kStereoFramePcm, 1, 2, 3), 0);
    EXPECT_EQ(fake_allegro::streams_open(), 1);
    EXPECT_EQ(fake_allegro::last_play().vol, 200);

    almp3_adjust_mp3stream(s, 90, 30, 1500);
    const auto adjust = fake_allegro::last_adjust();
    EXPECT_EQ(adjust.vol, 90);
    EXPECT_EQ(adjust.pan, 30);
    EXPECT_EQ(adjust.freq, 1500);
    EXPECT_NE(adjust.loop, 0);
    almp3_stop_mp3stream(s);
    EXPECT_EQ(fake_allegro::streams_open(), 0);

    // A speed other than normal is set right after opening.
    ASSERT_EQ(almp3_play_ex_mp3stream(s, kPlayerBuffer, 10, 20, 800), 0);
    EXPECT_EQ(fake_allegro::adjust_calls(), 2);
    EXPECT_EQ(fake_allegro::last_adjust().freq, 800);
    almp3_destroy_mp3stream(s);
    EXPECT_EQ(fake_allegro::streams_open(), 0);
}

TEST(StreamPlayback, AnAudioStreamThatCannotOpenLeavesTheObjectStopped) {
    fake_allegro::reset();
    Song song("cbr44100s.mp3");
    BlockSource source(song.bytes, kPlayerBlock);
    Mp3Stream *s = source.create();
    ASSERT_NE(s, nullptr);
    almp3_start_autopoll_mp3stream(s, 5);
    fake_allegro::set_play_fails(true);
    EXPECT_EQ(almp3_play_ex_mp3stream(s, kPlayerBuffer, 255, 128, 2000), 0);
    fake_allegro::set_play_fails(false);
    EXPECT_EQ(almp3_is_playing_mp3stream(s), 0);
    EXPECT_EQ(fake_allegro::adjust_calls(), 0);
    EXPECT_EQ(fake_allegro::timers_installed(), 0);
    EXPECT_EQ(almp3_poll_mp3stream(s), -1);
    almp3_destroy_mp3stream(s);
}

TEST(StreamPlayback, APollWithoutAFreeBufferConsumesNothing) {
    fake_allegro::reset();
    Song song("cbr44100s.mp3");
    BlockSource source(song.bytes, kPlayerBlock);
    Mp3Stream *s = source.create();
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), 0);
    fake_allegro::set_free_buffers(0);
    EXPECT_EQ(almp3_poll_mp3stream(s), 0);
    EXPECT_EQ(s->read_pos, s->lead_len);
    EXPECT_EQ(s->byte_pos, s->lead_len);
    EXPECT_EQ(s->frame_pos, 0);
    EXPECT_EQ(fake_allegro::buffers_handed_back(), 0);
    almp3_destroy_mp3stream(s);
}

TEST(StreamPlayback, StopThenPlayGoesOnWithTheNextFrame) {
    fake_allegro::reset();
    Song song("cbr44100s.mp3");
    BlockSource source(song.bytes, kPlayerBlock);
    Mp3Stream *s = source.create();
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), 0);
    for (int i = 0; i < 3; ++i) {
        source.feed(s);
        ASSERT_EQ(almp3_poll_mp3stream(s), 0);
    }
    const int frames = s->frame_pos;
    const int bytes = s->byte_pos;
    almp3_stop_mp3stream(s);
    EXPECT_EQ(s->frame_pos, frames);
    EXPECT_EQ(s->byte_pos, bytes);
    EXPECT_EQ(almp3_poll_mp3stream(s), -1);

    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), 0);
    EXPECT_EQ(play_to_end(s, source), 1);
    EXPECT_EQ(static_cast<size_t>(s->frame_pos) * 2304, song.ref.size());
    // Both audio streams together carry the song without a gap.
    EXPECT_LE(max_sample_diff(leading(fake_allegro::captured_signed(), song.ref.size()), song.ref), 1);
    almp3_destroy_mp3stream(s);
}

TEST(StreamFeeding, ACallerThatNeverFeedsHearsTheFirstBlockThenLate) {
    fake_allegro::reset();
    Song song("cbr44100s.mp3");
    BlockSource source(song.bytes, kPlayerBlock);
    Mp3Stream *s = source.create();
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), 0);
    int result = 0;
    int polls = 0;
    while (result == 0 && polls < 100) {
        result = almp3_poll_mp3stream(s);
        ++polls;
    }
    EXPECT_EQ(result, -3);
    EXPECT_EQ(almp3_is_playing_mp3stream(s), 0);
    EXPECT_EQ(almp3_poll_mp3stream(s), -1);
    // 32768 bytes hold 78 frames of 417-418 bytes; the last is incomplete.
    EXPECT_EQ(s->frame_pos, (kPlayerBlock - s->lead_len) / 418);

    // A caller that catches up and plays again loses nothing.
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), 0);
    EXPECT_EQ(play_to_end(s, source), 1);
    EXPECT_EQ(static_cast<size_t>(s->frame_pos) * 2304, song.ref.size());
    almp3_destroy_mp3stream(s);
}

TEST(StreamFeeding, ASourceWithinOneBlockPlaysThenTwoSilentBuffers) {
    fake_allegro::reset();
    Song song("cbr44100s.mp3");
    const std::vector<unsigned char> part(song.bytes.begin(), song.bytes.begin() + 20000);
    BlockSource source(part, kPlayerBlock);
    Mp3Stream *s = source.create();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(almp3_get_mp3stream_buffer(s), nullptr);
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), 0);
    std::vector<int> results;
    for (int i = 0; i < 10 && (results.empty() || results.back() == 0); ++i)
        results.push_back(almp3_poll_mp3stream(s));
    // 20000 bytes: 47 whole frames, 4 buffers (the last part filled), then
    // the silent two.
    EXPECT_EQ(s->frame_pos, 47);
    EXPECT_EQ(results, (std::vector<int>{0, 0, 0, 0, 0, 1}));
    EXPECT_FALSE(fake_allegro::buffer_was_silent(3));
    EXPECT_TRUE(fake_allegro::buffer_was_silent(4));
    EXPECT_TRUE(fake_allegro::buffer_was_silent(5));
    EXPECT_EQ(almp3_get_mp3stream_buffer(s), nullptr);
    almp3_destroy_mp3stream(s);
}

TEST(StreamFeeding, DataEndingWithAFullBufferIsFollowedByTwoSilentBuffersToo) {
    // Exactly two buffers of frames (the 128 kbit/s frames are 417 bytes,
    // 418 with the padding bit).
    Song song("cbr44100s.mp3");
    size_t end = 0;
    for (int i = 0; i < 2 * kFramesPerBuffer; ++i) end += 417 + ((song.bytes[end + 2] >> 1) & 1);
    const std::vector<unsigned char> part(song.bytes.begin(), song.bytes.begin() + static_cast<long>(end));
    const ProtocolRun run = run_protocol(part);
    ASSERT_TRUE(run.created);
    EXPECT_EQ(run.frames, 2 * kFramesPerBuffer);
    EXPECT_EQ(run.results, (std::vector<int>{0, 0, 0, 1}));
    EXPECT_EQ(run.buffers, 4);
}

TEST(StreamFeeding, ASourceOfWholeBlocksEndsWithAnEmptyFinalBlock) {
    Song song("cbr44100s.mp3");
    constexpr int kBlock = 8192;
    const std::vector<unsigned char> two(song.bytes.begin(), song.bytes.begin() + 2 * kBlock);
    fake_allegro::reset();
    BlockSource source(two, kBlock);
    Mp3Stream *s = source.create();
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), 0);
    ASSERT_TRUE(source.feed(s));  // the second block, count -1
    EXPECT_EQ(s->last_len, -1);
    EXPECT_EQ(play_to_end(s, source), 1);  // the third block has count 0
    EXPECT_EQ(s->last_len, 0);
    EXPECT_EQ(almp3_get_mp3stream_buffer(s), nullptr);
    EXPECT_EQ(s->frame_pos, (2 * kBlock - s->lead_len) / 418);
    const size_t samples = static_cast<size_t>(s->frame_pos) * 2304;
    EXPECT_LE(max_sample_diff(leading(fake_allegro::captured_signed(), samples), leading(song.ref, samples)), 1);
    almp3_destroy_mp3stream(s);
}

TEST(StreamFeeding, GivingBackWithoutALoanAndOddCountsAreSafe) {
    fake_allegro::reset();
    Song song("cbr44100s.mp3");
    Mp3Stream *s = almp3_create_mp3stream(song.bytes.data(), kPlayerBlock, 0);
    ASSERT_NE(s, nullptr);
    auto *lent = static_cast<unsigned char *>(almp3_get_mp3stream_buffer(s));
    ASSERT_EQ(lent, s->block_b.get());
    std::memcpy(lent, song.bytes.data() + kPlayerBlock, kPlayerBlock);
    almp3_free_mp3stream_buffer(s, 100000);  // more than a block: taken as a block
    EXPECT_EQ(s->last_len, kPlayerBlock);
    EXPECT_FALSE(s->wants_block);
    EXPECT_EQ(std::memcmp(s->window.get() + kPlayerBlock, song.bytes.data() + kPlayerBlock, kPlayerBlock), 0);

    // Nothing is lent now (the final block is in): a stray give-back and
    // further loans change nothing, also once the final block is current.
    almp3_free_mp3stream_buffer(s, -1);
    EXPECT_EQ(s->last_len, kPlayerBlock);
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), 0);
    while (!s->wants_block) ASSERT_EQ(almp3_poll_mp3stream(s), 0);
    EXPECT_EQ(almp3_get_mp3stream_buffer(s), nullptr);
    almp3_free_mp3stream_buffer(s, -1);
    EXPECT_EQ(s->last_len, kPlayerBlock);
    EXPECT_TRUE(s->wants_block);
    almp3_destroy_mp3stream(s);

    // Negative counts other than -1 make an empty final block.
    s = almp3_create_mp3stream(song.bytes.data(), kPlayerBlock, 0);
    ASSERT_NE(almp3_get_mp3stream_buffer(s), nullptr);
    almp3_free_mp3stream_buffer(s, -7);
    EXPECT_EQ(s->last_len, 0);
    almp3_destroy_mp3stream(s);
}

TEST(StreamFeeding, AStreamThatTurnsStereoMidwayLosesNothing) {
    // A mono file followed by a stereo one: stereo frames are twice the
    // buffer's frame size. What does not fit the rest of a buffer runs on
    // into the next one, even with buffers of one mono frame.
    Song mono("cbr44100m.mp3");
    Song stereo("cbr44100s.mp3");
    std::vector<unsigned char> both = mono.bytes;
    both.insert(both.end(), stereo.bytes.begin(), stereo.bytes.end());
    const int frames = static_cast<int>(mono.ref.size() / 1152 + stereo.ref.size() / 2304);

    for (int buffer_len : {kPlayerBuffer, 2304 * 3, 2304}) {
        SCOPED_TRACE(buffer_len);
        const ProtocolRun run = run_protocol(both, kPlayerBlock, buffer_len);
        EXPECT_EQ(run.results.back(), ALMP3_POLL_FINISHED);
        EXPECT_EQ(run.frames, frames);
        const auto pcm = fake_allegro::captured_signed();
        ASSERT_GE(pcm.size(), mono.ref.size() + stereo.ref.size());
        EXPECT_LE(max_sample_diff(leading(pcm, mono.ref.size()), mono.ref), 1);
        // The synthesis filter carries on from the mono part, so the first
        // stereo frames differ a little from a fresh decode.
        const auto tail = pcm.begin() + static_cast<long>(mono.ref.size());
        EXPECT_GT(psnr_db(std::vector<int16_t>(tail, tail + static_cast<long>(stereo.ref.size())), stereo.ref), 60.0);
    }
}

}  // namespace
