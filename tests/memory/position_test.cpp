// Positions, lengths and seeks of the in-memory object, by the constant-rate
// estimate on a real CBR file and by the Xing table of contents on a table
// built here. Times are checked against the reference decode's sample count
// and the format's frame sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_allegro.h"
#include "memory_support.h"
#include "test_files.h"

namespace {

// 128 kbit/s at 44100 Hz: frames of 1152 samples take 128000 * 1152 / 8 /
// 44100 bytes on average (417 or 418 with padding).
constexpr double kMeanFrameLen = 128000.0 * 1152 / 8 / 44100;
constexpr int kFrameLen = 417;

// Byte place of frame f of CBR data, within one byte of the format's mean.
::testing::AssertionResult at_frame_place(int pos_bytes, int f) {
    const double want = f * kMeanFrameLen;
    if (pos_bytes >= want - 1 && pos_bytes <= want + 1) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << pos_bytes << " is not frame " << f << "'s place " << want;
}

class MemoryCbrPositions : public ::testing::Test {
protected:
    void SetUp() override {
        bytes_ = read_bytes(encoded_path("cbr44100s.mp3"));
        // Without lame's "Info" header and its table: the constant rate.
        std::memcpy(bytes_.data() + 36, "Junk", 4);
        m_ = make_memory(bytes_);
        ASSERT_TRUE(m_);
        frames_ = almp3_get_length_frames_mp3(m());
    }
    Mp3Memory *m() { return m_.get(); }
    std::vector<unsigned char> bytes_;
    MemoryPtr m_;
    int frames_ = 0;
};

TEST_F(MemoryCbrPositions, LengthsAreTheReferenceDecodesSamplesOverTheRate) {
    EXPECT_EQ(almp3_get_msecs_per_frame_mp3(m()), 26);
    const int64_t ref_samples = static_cast<int64_t>(reference_pcm("cbr44100s.mp3").size()) / 2;
    EXPECT_EQ(frames_, ref_samples / 1152);
    // 26.12 ms per frame, not 26: the length is exact to the millisecond.
    EXPECT_EQ(almp3_get_length_msecs_mp3(m()), ref_samples * 1000 / 44100);
    EXPECT_EQ(almp3_get_length_secs_mp3(m()), ref_samples / 44100);
}

TEST_F(MemoryCbrPositions, FrameSeeksUseTheConstantRate) {
    almp3_seek_abs_frames_mp3(m(), 100);
    EXPECT_TRUE(at_frame_place(almp3_get_pos_bytes_mp3(m()), 100));
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 100);
    // 100 frames of 1152 samples at 44100 Hz: 2612.24 ms.
    EXPECT_EQ(almp3_get_pos_msecs_mp3(m()), 2612);
    EXPECT_EQ(almp3_get_pos_secs_mp3(m()), 2);

    // -30 ms is -1 frame (truncation toward zero); -25 ms is none.
    almp3_seek_rel_msecs_mp3(m(), -30);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 99);
    EXPECT_TRUE(at_frame_place(almp3_get_pos_bytes_mp3(m()), 99));
    almp3_seek_rel_msecs_mp3(m(), -25);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 99);
    almp3_seek_rel_secs_mp3(m(), 1);  // 1000 / 26 = 38 frames
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 137);
    // Frame 19 plays from 496.3 ms to 522.4 ms.
    almp3_seek_abs_msecs_mp3(m(), 520);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 19);
    almp3_seek_abs_secs_mp3(m(), 2);
    EXPECT_EQ(almp3_get_pos_frames_mp3(m()), 76);
    EXPECT_TRUE(at_frame_place(almp3_get_pos_bytes_mp3(m()), 76));
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
    EXPECT_TRUE(at_frame_place(almp3_get_pos_bytes_mp3(m()), 50));

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

// A CBR file whose "Info" header is given a hand-made table of contents: the
// first half of the duration in the first 50/256 of the bytes, the second
// half in the rest.
class MemoryTablePositions : public ::testing::Test {
protected:
    static constexpr int kXingAt = 36;  // MPEG-1 stereo

    void SetUp() override {
        bytes_ = read_bytes(encoded_path("cbr44100s.mp3"));
        ASSERT_EQ(std::string(bytes_.begin() + kXingAt, bytes_.begin() + kXingAt + 4), "Info");
        for (int i = 0; i < 100; ++i) toc()[i] = static_cast<unsigned char>(i <= 50 ? i : 50 + 4 * (i - 50));
    }
    unsigned char *toc() { return bytes_.data() + kXingAt + 16; }
    MemoryPtr make() { return make_memory(bytes_); }
    // Byte place, by the table, of the point at percent of the duration.
    double place(int percent) const { return bytes_.size() * (bytes_[kXingAt + 16 + percent] / 256.0); }

    std::vector<unsigned char> bytes_;
};

TEST_F(MemoryTablePositions, FrameSeeksLandWhereTheTablePutsTheirTime) {
    MemoryPtr m = make();
    ASSERT_TRUE(m);
    const int frames = almp3_get_length_frames_mp3(m.get());
    for (int percent : {10, 30, 60, 90}) {
        SCOPED_TRACE(percent);
        // The frame that plays at percent of the duration starts less than
        // one percent before it.
        const int f = frames * percent / 100;
        almp3_seek_abs_frames_mp3(m.get(), f);
        EXPECT_GE(almp3_get_pos_bytes_mp3(m.get()), place(percent - 1));
        EXPECT_LE(almp3_get_pos_bytes_mp3(m.get()), place(percent) + 1);
        EXPECT_EQ(almp3_get_pos_frames_mp3(m.get()), f);
    }
}

TEST_F(MemoryTablePositions, ATableWhoseCountsDoNotDescribeTheDataIsNotUsed) {
    // The byte count of a song twice as long (as when two are joined).
    const int doubled = 2 * static_cast<int>(bytes_.size());
    unsigned char *count = bytes_.data() + kXingAt + 12;
    for (int i = 0; i < 4; ++i) count[i] = static_cast<unsigned char>(doubled >> (24 - 8 * i));
    MemoryPtr m = make();
    ASSERT_TRUE(m);
    almp3_seek_abs_frames_mp3(m.get(), 51);
    EXPECT_TRUE(at_frame_place(almp3_get_pos_bytes_mp3(m.get()), 51));
}

TEST_F(MemoryTablePositions, WithoutTheTableFlagTheConstantRateIsUsed) {
    bytes_[kXingAt + 7] = 0x03;  // frames and bytes
    MemoryPtr m = make();
    ASSERT_TRUE(m);
    almp3_seek_abs_frames_mp3(m.get(), 51);
    EXPECT_TRUE(at_frame_place(almp3_get_pos_bytes_mp3(m.get()), 51));
}

}  // namespace
