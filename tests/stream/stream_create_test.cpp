// Creation from the first block: the first frame is found behind tags and
// stray sync patterns but only within the search limit, the stream's
// parameters come from it (the Xing header's part is the length's).
#include <gtest/gtest.h>

#include "fake_allegro.h"
#include "stream_feeder.h"
#include "test_files.h"

namespace {

constexpr int kFirstFrameSearch = 28672;  // bytes searched for the first frame

std::vector<unsigned char> first_block(const char *name) {
    auto bytes = read_bytes(encoded_path(name));
    bytes.resize(std::min<size_t>(bytes.size(), kPlayerBlock));
    return bytes;
}

StreamPtr create(const std::vector<unsigned char> &block, int is_last = 0) {
    return StreamPtr(almp3_create_mp3stream(block.data(), static_cast<int>(block.size()), is_last));
}

// The parameters as the generator asked the encoders for them; the block is
// copied (the caller's is overwritten at once), the object asks for the
// next block unless this one is the last, and a buffer holds no less than
// one frame's PCM.
TEST(StreamCreate, ReadsTheFirstFramesParameters) {
    struct Case {
        const char *name;
        int freq, stereo, layer, bitrate, frame_pcm, is_last;
    };
    for (const Case &c : {Case{"cbr44100s.mp3", 44100, ALMP3_TRUE, 3, 128000, 4608, 0},
                          Case{"cbr22050s.mp3", 22050, ALMP3_TRUE, 3, 32000, 2304, 0},
                          Case{"l2_24000m.mp2", 24000, ALMP3_FALSE, 2, 64000, 2304, 1}}) {
        SCOPED_TRACE(c.name);
        fake_allegro::reset();
        auto block = first_block(c.name);
        StreamPtr s = create(block, c.is_last);
        ASSERT_NE(s, nullptr);
        std::fill(block.begin(), block.end(), 0);
        EXPECT_EQ(almp3_get_wave_freq_mp3stream(s.get()), c.freq);
        EXPECT_EQ(almp3_get_wave_is_stereo_mp3stream(s.get()), c.stereo);
        EXPECT_EQ(almp3_get_wave_bits_mp3stream(s.get()), 16);
        EXPECT_EQ(almp3_get_layer_mp3stream(s.get()), c.layer);
        EXPECT_EQ(almp3_get_bitrate_mp3stream(s.get()), c.bitrate);
        EXPECT_EQ(almp3_get_audiostream_mp3stream(s.get()), nullptr);
        EXPECT_EQ(almp3_get_mp3stream_buffer(s.get()) != nullptr, c.is_last == 0);
        EXPECT_EQ(almp3_play_mp3stream(s.get(), c.frame_pcm - 1, 255, 128), ALMP3_PLAY_BUFFER_TOO_SMALL);
        ASSERT_EQ(almp3_play_mp3stream(s.get(), c.frame_pcm, 255, 128), ALMP3_PLAY_OK);
        int size = 0;
        EXPECT_NE(almp3_get_output_wave_mp3stream(s.get(), &size), nullptr);
        EXPECT_EQ(size, c.frame_pcm);
        // The first block alone, whether the source ends there or starves.
        int result = ALMP3_POLL_OK;
        for (int polls = 0; result == ALMP3_POLL_OK && polls < 1000; ++polls) result = almp3_poll_mp3stream(s.get());
        EXPECT_EQ(result, c.is_last ? ALMP3_POLL_FINISHED : ALMP3_POLL_STARVED);
        const auto file = read_bytes(encoded_path(c.name));
        const size_t samples = default_samples(file, audio_frames_within(file, kPlayerBlock));
        EXPECT_TRUE(captured_begins_with(head(reference_pcm(c.name), samples)));
    }
    almp3_destroy_mp3stream(nullptr);
}

TEST(StreamCreate, FindsTheFirstFrameOnlyWithinTheSearchLimit) {
    const auto clean = first_block("cbr44100s.mp3");
    const size_t first_len = mpeg_frames(clean).front().length;
    // A stray sync pattern in front, not followed by a frame: passed over.
    std::vector<unsigned char> block = {0xFF, 0xFB, 0x90, 0x64, 1, 2, 3};
    block.insert(block.end(), clean.begin(), clean.end());
    StreamPtr s = create(block);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(almp3_get_pos_bytes_mp3stream(s.get()), 7);

    // Nothing but rubbish up to the limit: no frame, however long the block.
    std::vector<unsigned char> late = sync_free_bytes(kFirstFrameSearch, 5);
    late[0] = 0x55;  // no padding to pass over
    late.insert(late.end(), clean.begin(), clean.end());
    EXPECT_EQ(create(late), nullptr);
    // A frame that ends right at the limit is found (and needs no header
    // after it).
    late.erase(late.begin(), late.begin() + static_cast<long>(first_len));
    s = create(late);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(almp3_get_pos_bytes_mp3stream(s.get()), kFirstFrameSearch - static_cast<int>(first_len));

    // Stacked tags and zero padding in front are passed over by their sizes,
    // however far they reach into the block.
    std::vector<unsigned char> tagged = {'I', 'D', '3', 3, 0, 0, 0, 1, 0x7F, 0x7F};  // 32767-byte body
    tagged.resize(10 + 32767, 0xFF);
    const std::vector<unsigned char> v24 = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 0, 20};  // 20 bytes and a footer
    tagged.insert(tagged.end(), v24.begin(), v24.end());
    tagged.resize(tagged.size() + 20 + 10 + 5000, 0);
    const size_t lead = tagged.size();
    tagged.insert(tagged.end(), clean.begin(), clean.end());
    s = create(tagged);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(almp3_get_pos_bytes_mp3stream(s.get()), static_cast<int>(lead));

    // A block holding exactly one frame: it needs no following header.
    EXPECT_NE(create(std::vector<unsigned char>(clean.begin(), clean.begin() + static_cast<long>(first_len)), 1),
              nullptr);
    EXPECT_EQ(almp3_create_mp3stream(clean.data(), 0, 1), nullptr);
    EXPECT_EQ(almp3_create_mp3stream(clean.data(), -5, 1), nullptr);
}

}  // namespace
