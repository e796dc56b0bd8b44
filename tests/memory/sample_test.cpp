// Converting a whole in-memory object to a library sample.
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_allegro.h"
#include "memory_support.h"
#include "test_files.h"

namespace {

TEST(MemorySample, EveryEncodedFileConvertsToItsReferencePcm) {
    for (const auto &f : encoded_files()) {
        SCOPED_TRACE(f.name);
        const auto ref = reference_pcm(f.name);
        const auto bytes = read_bytes(encoded_path(f.name));
        MemoryPtr m = make_memory(bytes);
        ASSERT_TRUE(m);
        SamplePtr s(almp3_create_sample_from_mp3(m.get()));
        ASSERT_TRUE(s);
        EXPECT_EQ(s->bits, 16);
        EXPECT_EQ(s->freq, f.rate);
        EXPECT_EQ(s->stereo != 0, f.channels == 2);
        // The whole timeline, and nothing more; it loops whole.
        EXPECT_TRUE(same_pcm(sample_signed(s.get()), ref));
        EXPECT_EQ(s->loop_start, 0u);
        EXPECT_EQ(s->loop_end, s->len);
        // Left rewound, with a fresh decoder for the next playback.
        EXPECT_EQ(almp3_get_pos_frames_mp3(m.get()), 0);
    }
}

// Two tagged songs joined into one file, with tags between their frames and
// padding after them: the sample is what mpg123 decodes from the file.
TEST(MemorySample, JoinedTaggedSongsConvertWhole) {
    const auto vbr = read_bytes(encoded_path("vbr44100s.mp3"));
    const auto cbr = read_bytes(encoded_path("cbr44100s.mp3"));
    auto picture = sync_free_bytes(60000, 21);
    for (size_t i = 0; i + 1 < picture.size(); i += 1009) picture[i] = 0xFF, picture[i + 1] = 0xFB;
    std::vector<unsigned char> file = with_trailing_tag(with_id3v2(vbr, 60000, false));
    std::copy(picture.begin(), picture.end(), file.begin() + 10);
    const auto second = with_trailing_tag(with_id3v2(cbr, 2000, true));
    file.insert(file.end(), second.begin(), second.end());
    file.resize(file.size() + 5000, 0);
    // mpg123 trims the first song's delay at the start and its padding at the
    // very end; the second song's Info frame plays as one silent frame.
    const auto ref = command_line_decode_bytes(file);
    ASSERT_FALSE(ref.empty());

    MemoryPtr m = make_memory(file);
    ASSERT_TRUE(m);
    EXPECT_EQ(almp3_get_length_msecs_mp3(m.get()), static_cast<int>(ref.size() / 2 * 1000 / 44100));
    SamplePtr s(almp3_create_sample_from_mp3(m.get()));
    ASSERT_TRUE(s);
    EXPECT_TRUE(same_pcm(sample_signed(s.get()), ref));
}

TEST(MemorySample, ConvertingStopsPlaybackAndRewinds) {
    fake_allegro::reset();
    const auto ref = reference_pcm("cbr44100s.mp3");
    const auto bytes = read_bytes(encoded_path("cbr44100s.mp3"));
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    ASSERT_EQ(almp3_play_mp3(m.get(), 4 * 4608, 255, 128), 0);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(almp3_poll_mp3(m.get()), 0);
    SamplePtr s(almp3_create_sample_from_mp3(m.get()));
    ASSERT_TRUE(s);
    EXPECT_EQ(almp3_is_playing_mp3(m.get()), 0);
    EXPECT_EQ(fake_allegro::streams_open(), 0);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), 0);
    const auto pcm = sample_signed(s.get());
    EXPECT_TRUE(same_pcm(head(pcm, ref.size()), head(ref, pcm.size())));

    // The next playback starts from the first frame with a fresh decoder.
    fake_allegro::reset();
    ASSERT_EQ(almp3_play_mp3(m.get(), 4 * 4608, 255, 128), 0);
    ASSERT_EQ(almp3_poll_mp3(m.get()), 0);
    EXPECT_TRUE(same_pcm(fake_allegro::captured_signed(), head(ref, 4 * 2304)));
}

TEST(MemorySample, AXingCountAboveTheFramesPresentIsNotTaken) {
    auto bytes = read_bytes(encoded_path("vbr44100s.mp3"));
    const auto ref = reference_pcm("vbr44100s.mp3");
    const int present = static_cast<int>(ref.size() / 2304);
    const int claimed = present + 40;
    bytes[44] = bytes[45] = 0;
    bytes[46] = static_cast<unsigned char>(claimed >> 8);
    bytes[47] = static_cast<unsigned char>(claimed & 0xFF);
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    SamplePtr s(almp3_create_sample_from_mp3(m.get()));
    ASSERT_TRUE(s);
    // The frames are counted from their headers: the sample is what mpg123
    // decodes of the file, no more (the padding the count would place lies
    // past the data: nothing is cut at the end).
    EXPECT_TRUE(same_pcm(sample_signed(s.get()), command_line_decode_bytes(bytes)));
}

TEST(MemorySample, ALoneFrameConvertsToOneFrame) {
    const auto bytes = read_bytes(encoded_path("l2_44100s.mp2"));
    const auto ref = reference_pcm("l2_44100s.mp2");
    std::vector<unsigned char> one(bytes.begin(), bytes.begin() + 626);
    MemoryPtr m = make_memory(one);
    ASSERT_TRUE(m);
    SamplePtr s(almp3_create_sample_from_mp3(m.get()));
    ASSERT_TRUE(s);
    EXPECT_TRUE(same_pcm(sample_signed(s.get()), head(ref, 2304)));
}

}  // namespace
