// Seeks in long VBR files whose bit rate changes strongly halfway land within
// 1 % of the duration of their target. Where a seek landed is found from the
// decoded sound itself: the frames decoded after the seek are looked up in
// the mpg123 command line's decode of the whole file.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "layout_files.h"
#include "memory_support.h"
#include "stream_feeder.h"
#include "test_files.h"

namespace {

constexpr int kChannels = 2;
constexpr int kRate = 44100;
constexpr size_t kFrameSamples = 1152 * kChannels;
constexpr int kFrameBytes = static_cast<int>(kFrameSamples * 2);
// Frames decoded after a seek. A restart in mid-file first meets the
// decoder's warm-up (the bit reservoir's missing bytes) and possibly false
// sync words; the sound is looked up from the third frame on.
constexpr int kDecodedFrames = 16;
constexpr int kFirstMatched = 3;
constexpr int kMatchedFrames = 2;  // consecutive frames that must match
constexpr double kToleranceShare = 0.01;

// True when `frames` frames of pcm from frame j equal the reference's from
// frame k, within 1 LSB.
bool frames_match(const std::vector<int16_t> &pcm, size_t j, const std::vector<int16_t> &ref, size_t k,
                  size_t frames) {
    for (size_t i = 0; i < frames * kFrameSamples; ++i)
        if (std::abs(int{pcm[j * kFrameSamples + i]} - int{ref[k * kFrameSamples + i]}) > 1) return false;
    return true;
}

// The reference frame at which decoding after the seek began, or none when
// the decoded frames are nowhere in the reference.
std::optional<long> landing_frame(const std::vector<int16_t> &pcm, const std::vector<int16_t> &ref) {
    const size_t decoded = pcm.size() / kFrameSamples;
    const size_t ref_frames = ref.size() / kFrameSamples;
    for (size_t j = kFirstMatched; j + kMatchedFrames <= decoded; ++j)
        for (size_t k = 0; k + kMatchedFrames <= ref_frames; ++k)
            if (frames_match(pcm, j, ref, k, kMatchedFrames)) return static_cast<long>(k) - static_cast<long>(j);
    return std::nullopt;
}

enum class Object { Memory, Stream };

struct SeekCase {
    const char *file;
    Object object;
};

void PrintTo(const SeekCase &c, std::ostream *os) {
    *os << c.file << (c.object == Object::Memory ? " in memory" : " streamed");
}

class VbrSeek : public ::testing::TestWithParam<SeekCase> {
protected:
    void SetUp() override {
        file_ = read_bytes(layout_path(GetParam().file));
        ref_ = read_pcm(layout_path(GetParam().file) + ".ref");
        ASSERT_FALSE(file_.empty());
        ASSERT_FALSE(ref_.empty());
    }

    // The sound decoded after a seek to msecs, one frame per buffer.
    std::vector<int16_t> decode_after_seek(int msecs) {
        if (GetParam().object == Object::Memory) {
            MemoryPtr m = make_memory(file_);
            if (!m) return {};
            almp3_seek_abs_msecs_mp3(m.get(), msecs);
            return play_through(m.get(), 1, 0, kDecodedFrames).pcm;
        }
        // A player that seeks asks where the data for msecs begins and
        // starts a new stream from there.
        const int total = static_cast<int>(file_.size());
        Mp3Stream *s = almp3_create_mp3stream(file_.data(), kPlayerBlock, 0);
        if (!s) return {};
        const int offset = almp3_seek_abs_msecs_mp3stream(s, msecs, total);
        almp3_destroy_mp3stream(s);
        if (offset < 0 || offset >= total) return {};
        const std::vector<unsigned char> rest(file_.begin() + offset, file_.end());
        return run_protocol(rest, kPlayerBlock, kFrameBytes, kDecodedFrames).pcm;
    }

    // The length the object reports.
    int length_ms() {
        if (GetParam().object == Object::Memory) {
            MemoryPtr m = make_memory(file_);
            return m ? almp3_get_length_msecs_mp3(m.get()) : -1;
        }
        Mp3Stream *s = almp3_create_mp3stream(file_.data(), kPlayerBlock, 0);
        const int ms = s ? almp3_get_length_msecs_mp3stream(s, static_cast<int>(file_.size())) : -1;
        almp3_destroy_mp3stream(s);
        return ms;
    }

    double duration_s() const { return static_cast<double>(ref_.size()) / kChannels / kRate; }

    std::vector<unsigned char> file_;
    std::vector<int16_t> ref_;
};

// Two minutes are long enough for a length counted in whole milliseconds
// per frame to fall short.
TEST_P(VbrSeek, TheLengthIsTheDecodedDuration) {
    constexpr double kLengthToleranceMs = 100;
    EXPECT_NEAR(length_ms(), duration_s() * 1000, kLengthToleranceMs);
}

TEST_P(VbrSeek, SeeksLandWithinOnePercentOfTheDuration) {
    for (int percent = 10; percent <= 90; percent += 10) {
        const double target_s = duration_s() * percent / 100;
        SCOPED_TRACE("seek to " + std::to_string(percent) + " %");
        const auto landing = landing_frame(decode_after_seek(static_cast<int>(target_s * 1000)), ref_);
        ASSERT_TRUE(landing.has_value()) << "the decoded sound is nowhere in the reference";
        const double landed_s = static_cast<double>(*landing) * 1152 / kRate;
        EXPECT_NEAR(landed_s, target_s, duration_s() * kToleranceShare);
    }
}

const SeekCase kSeekCases[] = {
    {"seek_quiet_loud.mp3", Object::Memory},
    {"seek_quiet_loud.mp3", Object::Stream},
    {"seek_loud_quiet.mp3", Object::Memory},
    {"seek_loud_quiet.mp3", Object::Stream},
};

std::string seek_name(const ::testing::TestParamInfo<SeekCase> &info) {
    std::string file = info.param.file;
    file = file.substr(0, file.find('.'));
    return file + (info.param.object == Object::Memory ? "_memory" : "_stream");
}

INSTANTIATE_TEST_SUITE_P(Files, VbrSeek, ::testing::ValuesIn(kSeekCases), seek_name);

}  // namespace
