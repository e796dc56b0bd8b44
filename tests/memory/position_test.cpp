// Positions, lengths and seeks of the in-memory object, by the constant-rate
// estimate on a real CBR file and by the Xing table of contents on a table
// built here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_allegro.h"
#include "memory_support.h"
#include "test_files.h"

namespace {

constexpr int kFrameLen = 417;  // 128 kbit/s at 44100 Hz, no padding

class MemoryCbrPositions : public ::testing::Test {
protected:
    void SetUp() override {
        bytes_ = read_bytes(encoded_path("cbr44100s.mp3"));
        m_ = make_memory(bytes_);
        ASSERT_TRUE(m_);
        frames_ = almp3_get_length_frames_mp3(m());
    }
    Mp3Memory *m() { return m_.get(); }
    std::vector<unsigned char> bytes_;
    MemoryPtr m_;
    int frames_ = 0;
};

TEST_F(MemoryCbrPositions, LengthsCountWholeMillisecondsPerFrame) {
    EXPECT_EQ(almp3_get_msecs_per_frame_mp3(m()), 26);
    EXPECT_EQ(frames_, static_cast<int>(bytes_.size()) / kFrameLen);
    EXPECT_EQ(almp3_get_length_msecs_mp3(m()), frames_ * 26);
    EXPECT_EQ(almp3_get_length_secs_mp3(m()), frames_ * 26 / 1000);
}

TEST_F(MemoryCbrPositions, FrameSeeksUseTheConstantRate) {
    almp3_seek_abs_frames_mp3(m(), 100);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m()), 100 * kFrameLen);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 100);
    // 100 frames of 1152 samples at 44100 Hz: 2612.24 ms.
    EXPECT_EQ(almp3_get_pos_msecs_mp3(m()), 2612);
    EXPECT_EQ(almp3_get_pos_secs_mp3(m()), 2);

    // -30 ms is -1 frame (truncation toward zero); -25 ms is none.
    almp3_seek_rel_msecs_mp3(m(), -30);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 99);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m()), 99 * kFrameLen);
    almp3_seek_rel_msecs_mp3(m(), -25);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 99);
    almp3_seek_rel_secs_mp3(m(), 1);  // 1000 / 26 = 38 frames
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 137);
    almp3_seek_abs_msecs_mp3(m(), 520);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 20);
    almp3_seek_abs_secs_mp3(m(), 2);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 76);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m()), 76 * kFrameLen);
}

TEST_F(MemoryCbrPositions, SeeksOutsideTheDataDoNothing) {
    almp3_seek_abs_frames_mp3(m(), 50);
    almp3_seek_abs_frames_mp3(m(), frames_);
    almp3_seek_abs_frames_mp3(m(), -1);
    almp3_seek_rel_frames_mp3(m(), -51);  // does not clamp to 0
    almp3_seek_rel_frames_mp3(m(), frames_ - 50);
    almp3_seek_abs_secs_mp3(m(), 1000000000);  // overflows 32 bits in ms
    almp3_seek_abs_bytes_mp3(m(), static_cast<int>(bytes_.size()));
    almp3_seek_abs_bytes_mp3(m(), -1);  // no tag in front
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 50);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m()), 50 * kFrameLen);

    almp3_seek_abs_frames_mp3(m(), frames_ - 1);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), frames_ - 1);
}

TEST_F(MemoryCbrPositions, ByteSeeksCountFromTheFirstFrame) {
    almp3_seek_abs_bytes_mp3(m(), 100 * 418);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 100);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m()), 100 * 418);
    almp3_seek_rel_bytes_mp3(m(), -418);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m()), 99 * 418);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 99 * 418 / kFrameLen);
}

TEST(MemoryTaggedPositions, ByteSeeksReachIntoTheTagButNoFurther) {
    const auto bytes = read_bytes(encoded_path("id3v2.mp3"));
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    constexpr int kLead = 3000;
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), kLead);
    EXPECT_EQ(almp3_get_length_bytes_mp3(m.get()), static_cast<int>(bytes.size()));

    // Two reckonings: seeking to the reported position lands kLead further.
    almp3_seek_abs_bytes_mp3(m.get(), 5000);
    const int reported = almp3_get_pos_bytes_mp3(m.get());
    EXPECT_EQ(reported, 5000 + kLead);
    almp3_seek_abs_bytes_mp3(m.get(), reported);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), reported + kLead);

    almp3_seek_abs_bytes_mp3(m.get(), -kLead);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), kLead);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m.get()), 0);
    almp3_seek_abs_bytes_mp3(m.get(), 1000);
    almp3_seek_abs_bytes_mp3(m.get(), -kLead - 1);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), 1000 + kLead);
}

TEST(MemorySeekedPlayback, ASeekTakesEffectAtTheNextBuffer) {
    fake_allegro::reset();
    const auto ref = reference_pcm("l2_44100s.mp2");
    const auto bytes = read_bytes(encoded_path("l2_44100s.mp2"));
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    ASSERT_EQ(almp3_play_mp3(m.get(), 3 * 4608, 255, 128), 0);
    ASSERT_EQ(almp3_poll_mp3(m.get()), 0);
    // The constant-rate place of frame 40 lies a little before it: the
    // resynchronisation finds the frame itself.
    almp3_seek_abs_frames_mp3(m.get(), 40);
    ASSERT_EQ(almp3_poll_mp3(m.get()), 0);
    // A fresh Layer II decoder matches a continuous decode after one frame.
    const auto pcm = fake_allegro::captured_signed();
    const std::vector<int16_t> after(pcm.begin() + 4 * 2304, pcm.end());
    const std::vector<int16_t> expected(ref.begin() + 41 * 2304, ref.begin() + 43 * 2304);
    EXPECT_TRUE(same_pcm(after, expected));
    EXPECT_EQ(almp3_get_pos_frames_mp3(m.get()), 43);
}

// A file whose first frame carries a hand-made Xing table: 256 frames, data
// padded to 100000 bytes so that mark i stands for byte i * 1000.
class MemoryTablePositions : public ::testing::Test {
protected:
    static constexpr int kAudioLen = 100000;
    static constexpr int kXingAt = 36;  // MPEG-1 stereo

    void SetUp() override {
        bytes_ = read_bytes(encoded_path("cbr44100s.mp3"));
        ASSERT_EQ(std::string(bytes_.begin() + kXingAt, bytes_.begin() + kXingAt + 4), "Info");
        bytes_.resize(kAudioLen, 0);
        unsigned char *x = bytes_.data() + kXingAt;
        std::memcpy(x, "Xing", 4);
        x[7] = 0x0F;  // frames, bytes, toc, scale
        x[8] = 0, x[9] = 0, x[10] = 1, x[11] = 0;  // 256 frames
        for (int i = 0; i < 100; ++i) toc()[i] = static_cast<unsigned char>(2 * i);
    }
    unsigned char *toc() { return bytes_.data() + kXingAt + 16; }
    MemoryPtr make() { return make_memory(bytes_); }

    std::vector<unsigned char> bytes_;
};

TEST_F(MemoryTablePositions, FrameSeeksInterpolateInTheTable) {
    MemoryPtr m = make();
    ASSERT_TRUE(m);
    EXPECT_EQ(almp3_get_length_frames_mp3(m.get()), 256);
    almp3_seek_abs_frames_mp3(m.get(), 52);  // on mark 26
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), 26000);
    almp3_seek_abs_frames_mp3(m.get(), 51);  // back from mark 26 along its segment
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), 25500);
    almp3_seek_rel_frames_mp3(m.get(), 10);  // frame 61: back from mark 31
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), 30500);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m.get()), 61);
    almp3_seek_abs_frames_mp3(m.get(), 250);  // beyond the last mark (198)
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), kAudioLen);
}

TEST_F(MemoryTablePositions, EqualNeighbouringMarksFallBackToTheConstantRate) {
    toc()[30] = toc()[31] = 60;
    MemoryPtr m = make();
    ASSERT_TRUE(m);
    almp3_seek_abs_frames_mp3(m.get(), 59);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), 59 * kFrameLen);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m.get()), 59);
}

TEST_F(MemoryTablePositions, WithoutTheTableFlagTheConstantRateIsUsed) {
    bytes_[kXingAt + 7] = 0x01;  // frames only
    MemoryPtr m = make();
    ASSERT_TRUE(m);
    EXPECT_EQ(almp3_get_length_frames_mp3(m.get()), 256);
    almp3_seek_abs_frames_mp3(m.get(), 51);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), 51 * kFrameLen);
}

TEST_F(MemoryTablePositions, AMoveNeverLeavesTheData) {
    // Mark 1 holds frame 128 at byte 1000: frame 127 lies at byte 500.
    toc()[1] = 128;
    toc()[2] = 130;
    MemoryPtr m = make();
    ASSERT_TRUE(m);
    almp3_seek_abs_frames_mp3(m.get(), 127);
    ASSERT_EQ(almp3_get_pos_bytes_mp3(m.get()), 500);
    // Frame 27 has no place in the table (it interpolates below 0): the
    // constant-rate move of 100 frames back from byte 500 would end 41200
    // bytes before the data.
    almp3_seek_rel_frames_mp3(m.get(), -100);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m.get()), 27);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), 0);
    fake_allegro::reset();
    ASSERT_EQ(almp3_play_mp3(m.get(), 4608, 255, 128), 0);
    EXPECT_EQ(almp3_poll_mp3(m.get()), 0);
    EXPECT_EQ(fake_allegro::buffers_handed_back(), 1);
}

}  // namespace
