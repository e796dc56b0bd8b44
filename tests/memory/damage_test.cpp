// Damaged data: runs of rubbish, bit flips, truncation and frames that
// change format in mid-data. Damage within reach of a resynchronisation is
// skipped; longer damage stops playback with -2 and rewinds.
#include <gtest/gtest.h>

#include <random>

#include "fake_allegro.h"
#include "memory_support.h"
#include "test_files.h"

namespace {

constexpr int kFrameBytes = 4608;

// The Layer II file (frames stand alone) with rubbish after `at` bytes.
std::vector<unsigned char> with_rubbish(size_t at, size_t len) {
    auto bytes = read_bytes(encoded_path("l2_44100s.mp2"));
    const auto junk = sync_free_bytes(len, 7);
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), junk.begin(), junk.end());
    return bytes;
}

TEST(MemoryDamage, RubbishShorterThanTheSearchIsSkipped) {
    const auto ref = reference_pcm("l2_44100s.mp2");
    // Inserted at a frame boundary (frame 10 starts at byte 6269).
    const auto bytes = with_rubbish(6269, 10000);
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    const Playback p = play_through(m.get(), 4, 0, 10000);
    ASSERT_EQ(p.results.back(), ALMP3_POLL_FINISHED);
    // Every frame of the file is heard: the bad step gives the output of the
    // frame the resynchronisation accepted, decoded by a fresh decoder that
    // matches a continuous decode again two frames on.
    EXPECT_TRUE(same_pcm(head(p.pcm, 10 * 2304), head(ref, 10 * 2304)));
    EXPECT_EQ(p.pcm.size(), (ref.size() + 4 * 2304 - 1) / (4 * 2304) * (4 * 2304) + 2 * 4 * 2304);
    SamplePtr s(almp3_create_sample_from_mp3(m.get()));
    ASSERT_TRUE(s);
    const auto pcm = sample_signed(s.get());
    EXPECT_TRUE(same_pcm(head(pcm, 10 * 2304), head(ref, 10 * 2304)));
    const size_t common = std::min(pcm.size(), ref.size());
    EXPECT_TRUE(same_pcm(std::vector<int16_t>(pcm.begin() + 12 * 2304, pcm.begin() + common),
                         std::vector<int16_t>(ref.begin() + 12 * 2304, ref.begin() + common)));
}

TEST(MemoryDamage, RubbishLongerThanTheSearchStopsAndRewinds) {
    const auto bytes = with_rubbish(6269, 20000);
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    const Playback p = play_through(m.get(), 4, 0, 10000);
    // The sound decoded before the damage plays out behind two silent
    // buffers, as at a clean end, before -2 is reported.
    ASSERT_GE(p.results.size(), 3u);
    EXPECT_EQ(std::vector<int>(p.results.end() - 3, p.results.end()), (std::vector<int>{ALMP3_POLL_OK, ALMP3_POLL_OK, ALMP3_POLL_DAMAGED}));
    const size_t buffer = 4 * 2304;
    EXPECT_TRUE(all_zero(p.pcm, p.pcm.size() - 2 * buffer, p.pcm.size()));
    EXPECT_TRUE(same_pcm(head(p.pcm, 10 * 2304), head(reference_pcm("l2_44100s.mp2"), 10 * 2304)));
    EXPECT_EQ(almp3_is_playing_mp3(m.get()), ALMP3_FALSE);
    EXPECT_EQ(fake_allegro::streams_open(), 0);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m.get()), 0);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), 0);

    // Converting it stops a playing object and rewinds it, then refuses.
    ASSERT_EQ(almp3_play_mp3(m.get(), 4 * 2304, 255, 128), ALMP3_PLAY_OK);
    almp3_seek_abs_frames_mp3(m.get(), 5);
    ASSERT_EQ(almp3_poll_mp3(m.get()), ALMP3_POLL_OK);
    ASSERT_GT(almp3_get_pos_bytes_mp3(m.get()), 0);
    EXPECT_EQ(almp3_create_sample_from_mp3(m.get()), nullptr);
    EXPECT_EQ(almp3_is_playing_mp3(m.get()), ALMP3_FALSE);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m.get()), 0);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), 0);

    // Looping does not help either; a tail of rubbish with no frame after
    // it just ends the data.
    EXPECT_EQ(play_through(m.get(), 4, 1, 10000).results.back(), ALMP3_POLL_DAMAGED);
    auto tail = read_bytes(encoded_path("l2_44100s.mp2"));
    const auto junk = sync_free_bytes(3000, 3);
    tail.insert(tail.end(), junk.begin(), junk.end());
    MemoryPtr t = make_memory(tail);
    ASSERT_TRUE(t);
    EXPECT_EQ(play_through(t.get(), 4, 0, 10000).results.back(), ALMP3_POLL_FINISHED);
    // ... while up to a frame of it just ends the data.
    tail.resize(tail.size() - 3000 + 500);
    MemoryPtr u = make_memory(tail);
    ASSERT_TRUE(u);
    EXPECT_EQ(play_through(u.get(), 4, 0, 10000).results.back(), ALMP3_POLL_FINISHED);
}

TEST(MemoryDamage, BitFlipsNeverStopPlayback) {
    for (const char *name : {"cbr44100s.mp3", "vbr44100s.mp3", "l2_44100s.mp2", "vbr8000m.mp3"}) {
        SCOPED_TRACE(name);
        auto bytes = read_bytes(encoded_path(name));
        std::mt19937 rng(11);
        for (int i = 0; i < 300; ++i) bytes[1000 + rng() % (bytes.size() - 1000)] ^= static_cast<unsigned char>(1u << (rng() % 8));
        MemoryPtr m = make_memory(bytes);
        ASSERT_TRUE(m);
        const Playback p = play_through(m.get(), 3, 0, 10000);
        EXPECT_EQ(p.results.back(), ALMP3_POLL_FINISHED);
        SamplePtr s(almp3_create_sample_from_mp3(m.get()));
        EXPECT_TRUE(s);
    }
}

TEST(MemoryDamage, TruncatedDataEndsWithTheLastWholeFrame) {
    const auto full = read_bytes(encoded_path("cbr44100s.mp3"));
    for (size_t cut : {size_t{417 * 50 + 200}, size_t{417 * 50 + 3}, size_t{1000}}) {
        SCOPED_TRACE(cut);
        const std::vector<unsigned char> bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
        MemoryPtr m = make_memory(bytes);
        ASSERT_TRUE(m);
        const Playback p = play_through(m.get(), 4, 0, 10000);
        EXPECT_EQ(p.results.back(), ALMP3_POLL_FINISHED);
        // mpg123 decodes the cut file to its last whole frame.
        const auto ref = command_line_decode_bytes(bytes);
        ASSERT_FALSE(ref.empty());
        EXPECT_TRUE(same_pcm(head(p.pcm, ref.size()), ref)) << p.pcm.size() << " played, " << ref.size();
        SamplePtr s(almp3_create_sample_from_mp3(m.get()));
        ASSERT_TRUE(s);
        EXPECT_TRUE(same_pcm(sample_signed(s.get()), ref));
        // Looping over a truncated file keeps going.
        EXPECT_EQ(play_through(m.get(), 4, 1, 40).results.back(), ALMP3_POLL_OK);
    }
}

// A whole Layer I frame (which the core decodes but the object does not
// take for a frame) left in the decoder at the data's end, with less room
// in the buffer than its PCM: it must be used up, not retried forever.
TEST(MemoryDamage, AHeldFrameTooLargeForTheRoomIsUsedUp) {
    const auto vbr = read_bytes(encoded_path("vbr22050m.mp3"));
    // The mono Xing frame and the next: 1152 bytes of PCM each, fed in
    // 1792-byte chunks.
    const auto frames = mpeg_frames(vbr);
    ASSERT_EQ(frames[0].offset, 0u);
    std::vector<unsigned char> data(vbr.begin(), vbr.begin() + static_cast<std::ptrdiff_t>(frames[2].offset));
    // A stereo Layer I frame at 384 kbit/s, 44100 Hz: 416 bytes, 1536 of PCM.
    const unsigned char layer1[] = {0xFF, 0xFF, 0xC0, 0x00};
    data.insert(data.end(), layer1, layer1 + 4);
    data.resize(data.size() + 412, 0);
    MemoryPtr m = make_memory(data);
    ASSERT_TRUE(m);
    ASSERT_EQ(pcm_per_frame(m.get()), 1152);
    const Playback p = play_through(m.get(), 1, 0, 10);
    EXPECT_EQ(p.results.back(), ALMP3_POLL_FINISHED);
    SamplePtr s(almp3_create_sample_from_mp3(m.get()));
    EXPECT_TRUE(s);
}

TEST(MemoryDamage, FramesThatOutgrowTheFirstRunOnIntoTheNextBuffer) {
    // One mono Layer II frame (2304 bytes of PCM), then a stereo Layer III
    // file (4608 bytes per frame): output is sized by the first frame.
    const auto mono = read_bytes(encoded_path("l2_44100m.mp2"));
    const auto mono_ref = reference_pcm("l2_44100m.mp2");
    const auto mono_len = static_cast<std::ptrdiff_t>(mpeg_frames(mono)[0].length);
    const auto stereo = read_bytes(encoded_path("cbr44100s.mp3"));
    // Its Info frame, inside the data, decodes as one silent frame, and
    // nothing of it is trimmed: its untrimmed decode.
    const auto stereo_ref = raw_pcm("cbr44100s.mp3");
    std::vector<unsigned char> mixed(mono.begin(), mono.begin() + mono_len);
    mixed.insert(mixed.end(), stereo.begin(), stereo.end());
    MemoryPtr m = make_memory(mixed);
    ASSERT_TRUE(m);
    ASSERT_EQ(pcm_per_frame(m.get()), 2304);

    // With a stream buffer of one mono frame, each stereo frame's PCM runs
    // on into the next buffer: none of it is lost.
    const Playback p = play_through(m.get(), 1, 0, 100000);
    ASSERT_EQ(p.results.back(), ALMP3_POLL_FINISHED);
    EXPECT_TRUE(same_pcm(head(p.pcm, 1152), head(mono_ref, 1152)));
    for (int k = 5; k < 20; ++k) {
        const std::vector<int16_t> got(p.pcm.begin() + 1152 + k * 2304, p.pcm.begin() + 1152 + (k + 1) * 2304);
        const std::vector<int16_t> want(stereo_ref.begin() + k * 2304, stereo_ref.begin() + (k + 1) * 2304);
        EXPECT_TRUE(same_pcm(got, want)) << "frame " << k;
    }

    // The sample, sized by the frames counted at the first frame's PCM size,
    // fills up with whole stereo frames and cuts the one at its end.
    SamplePtr s(almp3_create_sample_from_mp3(m.get()));
    ASSERT_TRUE(s);
    const auto pcm = sample_signed(s.get());
    const size_t frames = static_cast<size_t>(almp3_get_length_frames_mp3(m.get()));
    ASSERT_EQ(pcm.size(), frames * 1152);
    const size_t stereo_part = pcm.size() - 1152;
    ASSERT_LT(stereo_part, stereo_ref.size());
    const std::vector<int16_t> last(pcm.end() - 5000, pcm.end());
    const std::vector<int16_t> want(stereo_ref.begin() + static_cast<std::ptrdiff_t>(stereo_part) - 5000,
                                    stereo_ref.begin() + static_cast<std::ptrdiff_t>(stereo_part));
    EXPECT_TRUE(same_pcm(last, want));
}

}  // namespace
