// Creating the in-memory object: the tags at both ends are set aside, the
// first frame is found within its window, and the parameters come from that
// frame and its Xing header.
#include <gtest/gtest.h>

#include <cstring>

#include "memory_support.h"
#include "test_files.h"

namespace {

std::vector<unsigned char> cbr() { return read_bytes(encoded_path("cbr44100s.mp3")); }

// Audio frames of 1152 stereo samples in a file with an Info or Xing frame:
// those mpg123 decodes untrimmed, the Info frame (one silent frame) left out.
int audio_frames(const char *name) { return static_cast<int>(raw_pcm(name).size() / 2304) - 1; }

TEST(MemoryCreation, ReadsTheFirstFrameOfEveryEncodedFile) {
    for (const auto &f : encoded_files()) {
        SCOPED_TRACE(f.name);
        const auto bytes = read_bytes(encoded_path(f.name));
        MemoryPtr m = make_memory(bytes);
        ASSERT_TRUE(m);
        EXPECT_EQ(almp3_get_wave_freq_mp3(m.get()), f.rate);
        EXPECT_EQ(almp3_get_wave_is_stereo_mp3(m.get()), f.channels == 2 ? -1 : 0);
        EXPECT_EQ(almp3_get_wave_bits_mp3(m.get()), 16);
        EXPECT_EQ(almp3_get_layer_mp3(m.get()), f.layer);
        EXPECT_EQ(almp3_get_length_bytes_mp3(m.get()), static_cast<int>(bytes.size()));
        EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), f.name == "id3v2.mp3" ? 3000 : 0);
    }
}

TEST(MemoryCreation, TakesTheBitRateAndFrameCountOfACbrFile) {
    const auto bytes = cbr();
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    EXPECT_EQ(almp3_get_bitrate_mp3(m.get()), 128000);
    // Every frame but lame's "Info" frame, which holds no sound.
    EXPECT_EQ(almp3_get_length_frames_mp3(m.get()), audio_frames("cbr44100s.mp3"));
}

TEST(MemoryCreation, CountsEveryFrameOfAXingFileAndOfOneWithoutItsHeader) {
    auto bytes = read_bytes(encoded_path("vbr44100s.mp3"));
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    EXPECT_EQ(almp3_get_length_frames_mp3(m.get()), audio_frames("vbr44100s.mp3"));
    // VBR without a header: the walk still counts every frame, the former
    // header's frame (now rubbish that decodes as silence) included.
    std::memcpy(bytes.data() + 36, "Junk", 4);
    MemoryPtr n = make_memory(bytes);
    ASSERT_TRUE(n);
    EXPECT_EQ(almp3_get_length_frames_mp3(n.get()), audio_frames("vbr44100s.mp3") + 1);
}

TEST(MemoryCreation, SetsAsideId3v2TagsWithAndWithoutFooter) {
    const auto audio = cbr();
    for (bool footer : {false, true}) {
        SCOPED_TRACE(footer);
        const auto bytes = with_id3v2(audio, 5000, footer);
        MemoryPtr m = make_memory(bytes);
        ASSERT_TRUE(m);
        const int lead = 5000 + 10 + (footer ? 10 : 0);
        EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), lead);
        EXPECT_EQ(almp3_get_length_bytes_mp3(m.get()), static_cast<int>(bytes.size()));
        EXPECT_EQ(almp3_get_length_frames_mp3(m.get()), audio_frames("cbr44100s.mp3"));
    }
}

TEST(MemoryCreation, SetsAsideATrailingTagBlock) {
    const auto audio = cbr();
    const auto bytes = with_trailing_tag(audio);
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    EXPECT_EQ(almp3_get_length_bytes_mp3(m.get()), static_cast<int>(bytes.size()));
    EXPECT_EQ(almp3_get_length_frames_mp3(m.get()), audio_frames("cbr44100s.mp3"));
    // The 128 bytes lie beyond the audio: no byte seek reaches them.
    almp3_seek_abs_bytes_mp3(m.get(), static_cast<int>(audio.size()));
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), 0);
}

TEST(MemoryCreation, RefusesATagLongerThanTheData) {
    const auto audio = cbr();
    auto bytes = with_id3v2(audio, 100, false);
    // Code a size far beyond the data: creation must not read past it.
    bytes[6] = 0x7F;
    std::vector<unsigned char> exact(bytes.begin(), bytes.begin() + 2000);
    EXPECT_FALSE(make_memory(exact));
    // A tag that covers the data exactly leaves nothing to play.
    const auto only_tag = with_id3v2({}, 100, true);
    EXPECT_FALSE(make_memory(only_tag));
}

TEST(MemoryCreation, SearchesOnlyTheFirstWindowAfterTheTag) {
    const auto audio = cbr();
    // Rubbish between the tag and the first frame is passed over while the
    // frame lies within the window.
    std::vector<unsigned char> near(20000, 0x11);
    near.insert(near.end(), audio.begin(), audio.end());
    const auto near_tagged = with_id3v2(near, 3000, false);
    MemoryPtr m = make_memory(near_tagged);
    ASSERT_TRUE(m);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), 3010 + 20000);

    std::vector<unsigned char> far(28672, 0x11);
    far.insert(far.end(), audio.begin(), audio.end());
    const auto far_tagged = with_id3v2(far, 3000, false);
    EXPECT_FALSE(make_memory(far_tagged));
}

TEST(MemoryCreation, RefusesEmptyDataAndDataWithoutLayerIIOrIIIFrames) {
    const unsigned char one = 0xFF;
    EXPECT_EQ(almp3_create_mp3(&one, 0), nullptr);
    EXPECT_EQ(almp3_create_mp3(&one, -5), nullptr);
    EXPECT_EQ(almp3_create_mp3(nullptr, 100), nullptr);
    const std::vector<unsigned char> zeros(5000, 0);
    EXPECT_FALSE(make_memory(zeros));
    // Free-format headers (bit-rate index 0) are never frames.
    std::vector<unsigned char> free_format;
    for (int i = 0; i < 50; ++i) {
        const unsigned char frame[] = {0xFF, 0xFB, 0x00, 0x44};
        free_format.insert(free_format.end(), frame, frame + 4);
        free_format.resize(free_format.size() + 413, 0);
    }
    EXPECT_FALSE(make_memory(free_format));
    almp3_destroy_mp3(nullptr);
}

TEST(MemoryCreation, AcceptsALoneFrameAtTheWindowsEnd) {
    const auto audio = cbr();
    // The second frame of the file, alone: nothing follows it.
    std::vector<unsigned char> one(audio.begin() + 417, audio.begin() + 417 + 417);
    MemoryPtr m = make_memory(one);
    ASSERT_TRUE(m);
    EXPECT_EQ(almp3_get_length_frames_mp3(m.get()), 1);
}

TEST(MemoryCreation, DistrustsAXingFrameCountTheDataCannotHold) {
    auto bytes = read_bytes(encoded_path("vbr44100s.mp3"));
    // A count of 2^30 frames in a 78 KB file.
    bytes[44] = 0x40;
    bytes[45] = bytes[46] = bytes[47] = 0;
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    const int frames = almp3_get_length_frames_mp3(m.get());
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, static_cast<int>(bytes.size()) / 24);
    // A negative count is no count either.
    bytes[44] = 0xFF;
    MemoryPtr n = make_memory(bytes);
    ASSERT_TRUE(n);
    EXPECT_EQ(almp3_get_length_frames_mp3(n.get()), frames);
}

}  // namespace
