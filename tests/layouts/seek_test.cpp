// Seeks in long VBR files whose bit rate changes strongly halfway. The
// in-memory object lands on the target's sample, and from there plays what
// mpg123's default decode of the whole file holds there. The streaming
// object estimates where the data for a time begins and lands within 1 % of
// the duration of its target; where it landed is found from the decoded
// sound itself, looked up among the frames of that decode.
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
constexpr int kMsPerSecond = 1000;
constexpr int kFrameLen = 1152;
constexpr size_t kFrameSamples = kFrameLen * kChannels;
constexpr int kFrameBytes = static_cast<int>(kFrameSamples * 2);
// Frames decoded after a seek. A stream started in mid-file plays the
// frames whose bit reservoir reaches back before its first byte, and the
// next one, as silence; the frames after those are looked up.
constexpr int kDecodedFrames = 16;
constexpr int kMatchedFrames = 2;  // consecutive frames that place a landing
constexpr double kToleranceShare = 0.01;

// True when `frames` frames of pcm from frame j equal the reference's from
// sample `at` (all channels counted), within 1 LSB.
bool frames_match(const std::vector<int16_t> &pcm, size_t j, const std::vector<int16_t> &ref, size_t at,
                  size_t frames) {
    if (at + frames * kFrameSamples > ref.size()) return false;
    for (size_t i = 0; i < frames * kFrameSamples; ++i)
        if (std::abs(int{pcm[j * kFrameSamples + i]} - int{ref[at + i]}) > 1) return false;
    return true;
}

// The audio frame at which a stream restarted in mid-file began, or none
// when its sound is not, after the silent frames in front, frame after frame
// what the reference plays from some frame on. The reference's audio frame
// k starts at its sample k x 1152 - trim (the frame that holds sample 0
// is never the landing of a seek in mid-file).
std::optional<long> landing_frame(const std::vector<int16_t> &pcm, const std::vector<int16_t> &ref, long trim) {
    const size_t decoded = pcm.size() / kFrameSamples;
    size_t sounding = 0;
    while (sounding < decoded && all_zero(pcm, sounding * kFrameSamples, (sounding + 1) * kFrameSamples)) ++sounding;
    if (sounding + kMatchedFrames > decoded) return std::nullopt;
    for (long k = (trim + kFrameLen - 1) / kFrameLen; (k * kFrameLen - trim) * kChannels < static_cast<long>(ref.size());
         ++k) {
        const auto at = static_cast<size_t>((k * kFrameLen - trim) * kChannels);
        if (!frames_match(pcm, sounding, ref, at, kMatchedFrames)) continue;
        if (!frames_match(pcm, sounding, ref, at, decoded - sounding)) return std::nullopt;
        return k - static_cast<long>(sounding);
    }
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

    // The sound a player hears after it seeks to msecs, one frame per buffer.
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
// per frame to fall short. The LAME tag in front makes it exact for both
// objects: the timeline's samples, truncated to the millisecond.
TEST_P(VbrSeek, TheLengthIsTheDecodedDuration) {
    EXPECT_EQ(length_ms(), static_cast<int>(static_cast<int64_t>(ref_.size() / kChannels) * kMsPerSecond / kRate));
}

// Targets at each tenth of the two minutes, 12 s apart: none of them falls
// on a frame boundary.
TEST_P(VbrSeek, SeeksLandOnTheirTarget) {
    // The samples the default decode trims in front of the first frames.
    constexpr int kSomeFrames = 10;
    const long trim =
        static_cast<long>(kSomeFrames * kFrameSamples - default_samples(file_, kSomeFrames)) / kChannels;
    for (int percent = 10; percent <= 90; percent += 10) {
        const int target_ms = static_cast<int>(duration_s() * kMsPerSecond * percent / 100);
        SCOPED_TRACE("seek to " + std::to_string(target_ms) + " ms");
        const std::vector<int16_t> pcm = decode_after_seek(target_ms);
        ASSERT_EQ(pcm.size(), kDecodedFrames * kFrameSamples);
        if (GetParam().object == Object::Memory) {
            // Exact: from sample floor(ms x rate / 1000) on.
            const size_t at = static_cast<size_t>(int64_t{target_ms} * kRate / kMsPerSecond) * kChannels;
            ASSERT_LE(at + pcm.size(), ref_.size());
            const std::vector<int16_t> expected(ref_.begin() + static_cast<long>(at),
                                                ref_.begin() + static_cast<long>(at + pcm.size()));
            EXPECT_LE(max_sample_diff(pcm, expected), 1);
            continue;
        }
        const auto landing = landing_frame(pcm, ref_, trim);
        ASSERT_TRUE(landing.has_value()) << "the decoded sound is not the reference's from a frame on";
        const double landed_s = static_cast<double>(*landing * kFrameLen - trim) / kRate;
        EXPECT_NEAR(landed_s, static_cast<double>(target_ms) / kMsPerSecond, duration_s() * kToleranceShare);
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
