// Files laid out as real collections have them: both objects decode what the
// mpg123 command line decodes from them by default, every frame, end
// normally and know their length.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "layout_files.h"
#include "memory_support.h"
#include "stream_feeder.h"
#include "test_files.h"

namespace {

// What the streaming object can tell of the length from its first block and
// the byte count between the tags.
enum class StreamLength {
    // The first frame's Info/Xing header counts the frames and its LAME tag
    // gives the delay and padding: the length is the timeline's.
    Exact,
    // Frames of one bit rate, or a header that describes only the first of
    // two joined songs: the length is estimated from the byte count.
    Estimated,
    // A VBR file without a Xing header, or a cover picture between two
    // songs: the estimate from the first block's frames may be far off.
    Unknown,
};

struct Layout {
    const char *name;
    StreamLength stream_length;
};

void PrintTo(const Layout &layout, std::ostream *os) { *os << layout.name; }

const Layout kLayouts[] = {
    {"cover_60k.mp3", StreamLength::Exact},      {"cover_200k.mp3", StreamLength::Exact},
    {"cover_1m.mp3", StreamLength::Exact},       {"padded_40k.mp3", StreamLength::Exact},
    {"footer_v24.mp3", StreamLength::Exact},     {"two_tags.mp3", StreamLength::Exact},
    {"ape_cover.mp3", StreamLength::Exact},      {"lyrics3.mp3", StreamLength::Exact},
    {"zero_runs.mp3", StreamLength::Exact},      {"joined.mp3", StreamLength::Estimated},
    {"joined_cover.mp3", StreamLength::Unknown}, {"vbr_no_xing.mp3", StreamLength::Unknown},
    {"padded_first.mp3", StreamLength::Estimated},
};

constexpr int kChannels = 2;
constexpr int kRate = 44100;
constexpr int kFrameSamples = 1152 * kChannels;
constexpr int kFramesPerBuffer = 14;  // the player's 65536-byte request
constexpr int kMaxPolls = 10000;
constexpr double kLengthToleranceMs = 100;
constexpr int kMsPerSecond = 1000;

class RealWorldLayout : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override {
        file_ = read_bytes(layout_path(GetParam().name));
        ref_ = read_pcm(layout_path(GetParam().name) + ".ref");
        raw_ = read_pcm(layout_path(GetParam().name) + ".raw");
        ASSERT_FALSE(file_.empty());
        ASSERT_FALSE(ref_.empty());
        ASSERT_EQ(raw_.size() % kFrameSamples, 0U);
        span_ = audio_span(file_);
        // A file cut out of a longer stream (padded_first) begins with frames
        // the reference decodes without the data before the cut; both
        // objects play them as silence.
        const size_t cut_off = std::min(cut_off_frames(file_, span_.skip) * kFrameSamples, ref_.size());
        std::fill(ref_.begin(), ref_.begin() + static_cast<long>(cut_off), 0);
    }
    // The timeline's length: its samples, truncated to the millisecond.
    int reference_ms() const {
        return static_cast<int>(static_cast<int64_t>(ref_.size() / kChannels) * kMsPerSecond / kRate);
    }
    // Every frame of the file but a leading Info frame is a frame of audio
    // (a joined song's Info frame plays as a silent one).
    int audio_frames() const {
        return static_cast<int>(raw_.size() / kFrameSamples) - (info_frame(file_data()).present ? 1 : 0);
    }
    std::vector<unsigned char> file_data() const {
        return std::vector<unsigned char>(file_.begin() + static_cast<long>(span_.skip), file_.end());
    }

    std::vector<unsigned char> file_;
    std::vector<int16_t> ref_;
    std::vector<int16_t> raw_;
    AudioSpan span_{};
};

// What reached the sound card is the reference, then only silence.
::testing::AssertionResult reference_then_silence(const std::vector<int16_t> &pcm, const std::vector<int16_t> &ref) {
    if (pcm.size() < ref.size())
        return ::testing::AssertionFailure() << "only " << pcm.size() << " of " << ref.size() << " samples";
    const int diff = max_sample_diff(head(pcm, ref.size()), ref);
    if (diff > 1) return ::testing::AssertionFailure() << "differs from the reference by up to " << diff;
    if (!all_zero(pcm, ref.size(), pcm.size())) return ::testing::AssertionFailure() << "sound after the reference's end";
    return ::testing::AssertionSuccess();
}

TEST_P(RealWorldLayout, StreamFedAsAPlayerFeedsItPlaysEveryFrame) {
    const ProtocolRun run = run_protocol(file_data(), kPlayerBlock, kPlayerBuffer, kMaxPolls);
    ASSERT_TRUE(run.created);
    EXPECT_EQ(run.results.back(), 1);
    EXPECT_EQ(std::count(run.results.begin(), run.results.end(), -2), 0);
    EXPECT_EQ(run.frames, audio_frames());
    EXPECT_TRUE(reference_then_silence(run.pcm, ref_));
}

TEST_P(RealWorldLayout, MemoryObjectPlaysAndConvertsEveryFrame) {
    MemoryPtr m = make_memory(file_);
    ASSERT_TRUE(m);
    const Playback p = play_through(m.get(), kFramesPerBuffer, 0, kMaxPolls);
    EXPECT_EQ(p.results.back(), 1);
    EXPECT_TRUE(reference_then_silence(p.pcm, ref_));

    SamplePtr s(almp3_create_sample_from_mp3(m.get()));
    ASSERT_TRUE(s);
    EXPECT_TRUE(same_pcm(sample_signed(s.get()), ref_));
}

TEST_P(RealWorldLayout, BothObjectsKnowTheLength) {
    MemoryPtr m = make_memory(file_);
    ASSERT_TRUE(m);
    EXPECT_EQ(almp3_get_length_msecs_mp3(m.get()), reference_ms());
    EXPECT_EQ(almp3_get_length_frames_mp3(m.get()), audio_frames());

    if (GetParam().stream_length == StreamLength::Unknown) return;
    const int total = static_cast<int>(span_.end - span_.skip);
    const int first = std::min(total, kPlayerBlock);
    StreamPtr s(almp3_create_mp3stream(file_.data() + span_.skip, first, first == total));
    ASSERT_TRUE(s);
    const int ms = almp3_get_length_msecs_mp3stream(s.get(), total);
    if (GetParam().stream_length == StreamLength::Exact)
        EXPECT_EQ(ms, reference_ms());
    else
        EXPECT_NEAR(ms, reference_ms(), kLengthToleranceMs);
}

std::string layout_name(const ::testing::TestParamInfo<Layout> &info) {
    std::string name = info.param.name;
    name = name.substr(0, name.find('.'));
    return name;
}

INSTANTIATE_TEST_SUITE_P(Files, RealWorldLayout, ::testing::ValuesIn(kLayouts), layout_name);

}  // namespace
