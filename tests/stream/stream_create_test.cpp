// Creation from the first block: the first frame is found behind tags and
// stray sync patterns but only within the search limit, the stream's
// parameters come from it, and a Xing header is read when there is one.
#include <gtest/gtest.h>

#include <cstring>

#include "stream/mp3stream_record.h"
#include "stream_feeder.h"
#include "test_files.h"

// The decoder layer's internals under test.
using namespace almp3;

namespace {

std::vector<unsigned char> first_block(const char *name) {
    auto bytes = read_bytes(encoded_path(name));
    bytes.resize(std::min<size_t>(bytes.size(), kPlayerBlock));
    return bytes;
}

Mp3Stream *create(const std::vector<unsigned char> &block, int is_last = 0) {
    return almp3_create_mp3stream(block.data(), static_cast<int>(block.size()), is_last);
}

TEST(StreamCreate, ReadsTheFirstFramesParameters) {
    const auto block = first_block("cbr44100s.mp3");
    Mp3Stream *s = create(block);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(almp3_get_wave_freq_mp3stream(s), 44100);
    EXPECT_EQ(almp3_get_wave_is_stereo_mp3stream(s), -1);
    EXPECT_EQ(almp3_get_wave_bits_mp3stream(s), 16);
    EXPECT_EQ(almp3_get_layer_mp3stream(s), 3);
    EXPECT_EQ(almp3_get_bitrate_mp3stream(s), 128000);
    EXPECT_EQ(almp3_get_audiostream_mp3stream(s), nullptr);
    EXPECT_EQ(s->engine.format.pcm_per_frame, 4608);
    EXPECT_EQ(s->engine.format.frame_len, 417);
    EXPECT_EQ(s->block_len, kPlayerBlock);
    EXPECT_EQ(s->last_len, -1);
    EXPECT_EQ(s->current, 1);
    EXPECT_TRUE(s->wants_block);
    EXPECT_EQ(std::memcmp(s->block_a.get(), block.data(), block.size()), 0);
    almp3_destroy_mp3stream(s);

    const auto mono = first_block("l2_24000m.mp2");
    s = create(mono, 1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(almp3_get_wave_is_stereo_mp3stream(s), 0);
    EXPECT_EQ(almp3_get_layer_mp3stream(s), 2);
    EXPECT_EQ(almp3_get_wave_freq_mp3stream(s), 24000);
    EXPECT_EQ(s->engine.format.pcm_per_frame, 2304);
    EXPECT_EQ(s->last_len, static_cast<int>(mono.size()));
    almp3_destroy_mp3stream(s);
    almp3_destroy_mp3stream(nullptr);
}

TEST(StreamCreate, FindsTheFirstFrameOnlyWithinTheSearchLimit) {
    const auto clean = first_block("cbr44100s.mp3");
    // A stray sync pattern in front, not followed by a frame: passed over.
    std::vector<unsigned char> block = {0xFF, 0xFB, 0x90, 0x64, 1, 2, 3};
    block.insert(block.end(), clean.begin(), clean.end());
    Mp3Stream *s = create(block);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->lead_len, 7);
    EXPECT_EQ(s->read_pos, 7);
    EXPECT_EQ(s->byte_pos, 7);
    almp3_destroy_mp3stream(s);

    // Nothing but rubbish up to the limit: no frame, however long the block.
    std::vector<unsigned char> late = sync_free_bytes(kFirstFrameSearchLimit, 5);
    late[0] = 0x55;  // no padding to pass over
    late.insert(late.end(), clean.begin(), clean.end());
    EXPECT_EQ(create(late), nullptr);
    // A frame that ends right at the limit is found (and needs no header
    // after it).
    late.erase(late.begin(), late.begin() + 417);
    s = create(late);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->lead_len, kFirstFrameSearchLimit - 417);
    almp3_destroy_mp3stream(s);

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
    EXPECT_EQ(s->lead_len, static_cast<int>(lead));
    almp3_destroy_mp3stream(s);

    // A block holding exactly one frame: it needs no following header.
    const std::vector<unsigned char> one(clean.begin(), clean.begin() + 417);
    s = create(one, 1);
    ASSERT_NE(s, nullptr);
    almp3_destroy_mp3stream(s);

    EXPECT_EQ(almp3_create_mp3stream(clean.data(), 0, 1), nullptr);
    EXPECT_EQ(almp3_create_mp3stream(clean.data(), -5, 1), nullptr);
}

TEST(StreamCreate, ReadsTheXingHeader) {
    auto block = first_block("vbr44100s.mp3");
    Mp3Stream *s = create(block);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->xing);
    const size_t at = static_cast<size_t>(s->lead_len) + 36;  // MPEG-1 stereo
    ASSERT_EQ(std::memcmp(block.data() + at, "Xing", 4), 0);
    EXPECT_EQ(s->xing->flags, 0x0F);
    const unsigned char *count = block.data() + at + 8;
    EXPECT_EQ(s->frame_count, (count[0] << 24) | (count[1] << 16) | (count[2] << 8) | count[3]);
    EXPECT_EQ(s->frame_count, s->xing->frames);
    EXPECT_EQ(std::memcmp(s->xing->toc, block.data() + at + 16, kXingTocEntries), 0);
    const unsigned char *scale = block.data() + at + 116;
    EXPECT_EQ(s->xing->scale, (scale[0] << 24) | (scale[1] << 16) | (scale[2] << 8) | scale[3]);
    almp3_destroy_mp3stream(s);

    // Without the frame count (the byte count and the table move up): a
    // header, but no count.
    block[at + 7] = 0x06;
    std::memmove(block.data() + at + 8, block.data() + at + 12, 4 + kXingTocEntries);
    s = create(block);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->xing);
    EXPECT_EQ(s->frame_count, -1);
    EXPECT_EQ(std::memcmp(s->xing->toc, block.data() + at + 12, kXingTocEntries), 0);
    almp3_destroy_mp3stream(s);

    // lame's CBR "Info" header has the same layout.
    block = first_block("cbr44100s.mp3");
    s = create(block);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->xing);
    ASSERT_EQ(std::memcmp(block.data() + 36, "Info", 4), 0);
    EXPECT_EQ(s->frame_count, (block[44] << 24) | (block[45] << 16) | (block[46] << 8) | block[47]);
    almp3_destroy_mp3stream(s);
}

}  // namespace
