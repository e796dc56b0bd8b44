// Files laid out as real collections have them: both objects decode what the
// mpg123 command line decodes from them, every frame, end normally and know
// their length.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "layout_files.h"
#include "memory_support.h"
#include "stream_feeder.h"
#include "test_files.h"

namespace {

struct Layout {
    const char *name;
    // A stream can tell the length from its first block and the byte count
    // between the tags: the file has a Xing frame count, or frames of one
    // bit rate with no more than a small tag between them. A VBR file without
    // a Xing header, or a cover picture between two songs, can only be
    // estimated.
    bool length_in_first_block;
};

void PrintTo(const Layout &layout, std::ostream *os) { *os << layout.name; }

const Layout kLayouts[] = {
    {"cover_60k.mp3", true},    {"cover_200k.mp3", true}, {"cover_1m.mp3", true},
    {"padded_40k.mp3", true},   {"footer_v24.mp3", true}, {"two_tags.mp3", true},
    {"ape_cover.mp3", true},    {"lyrics3.mp3", true},    {"zero_runs.mp3", true},
    {"joined.mp3", true},       {"joined_cover.mp3", false}, {"vbr_no_xing.mp3", false},
    {"padded_first.mp3", true},
};

constexpr int kChannels = 2;
constexpr int kRate = 44100;
constexpr int kFrameSamples = 1152 * kChannels;
constexpr int kFramesPerBuffer = 14;  // the player's 65536-byte request
constexpr int kMaxPolls = 10000;
constexpr double kLengthToleranceMs = 100;

class RealWorldLayout : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override {
        file_ = read_bytes(layout_path(GetParam().name));
        ref_ = read_pcm(layout_path(GetParam().name) + ".ref");
        ASSERT_FALSE(file_.empty());
        ASSERT_FALSE(ref_.empty());
        span_ = audio_span(file_);
        // A file cut out of a longer stream (padded_first) begins with frames
        // the reference decodes without the data before the cut; both
        // objects play them as silence.
        const size_t cut_off = std::min(cut_off_frames(file_, span_.skip) * kFrameSamples, ref_.size());
        std::fill(ref_.begin(), ref_.begin() + static_cast<long>(cut_off), 0);
    }
    double reference_ms() const { return 1000.0 * static_cast<double>(ref_.size()) / kChannels / kRate; }

    std::vector<unsigned char> file_;
    std::vector<int16_t> ref_;
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
    const std::vector<unsigned char> rest(file_.begin() + static_cast<long>(span_.skip), file_.end());
    const ProtocolRun run = run_protocol(rest, kPlayerBlock, kPlayerBuffer, kMaxPolls);
    ASSERT_TRUE(run.created);
    EXPECT_EQ(run.results.back(), 1);
    EXPECT_EQ(std::count(run.results.begin(), run.results.end(), -2), 0);
    EXPECT_EQ(static_cast<size_t>(run.frames) * kFrameSamples, ref_.size());
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
    EXPECT_NEAR(almp3_get_length_msecs_mp3(m.get()), reference_ms(), kLengthToleranceMs);

    if (!GetParam().length_in_first_block) return;
    const int total = static_cast<int>(span_.end - span_.skip);
    const int first = std::min(total, kPlayerBlock);
    Mp3Stream *s = almp3_create_mp3stream(file_.data() + span_.skip, first, first == total);
    ASSERT_NE(s, nullptr);
    EXPECT_NEAR(almp3_get_length_msecs_mp3stream(s, total), reference_ms(), kLengthToleranceMs);
    almp3_destroy_mp3stream(s);
}

std::string layout_name(const ::testing::TestParamInfo<Layout> &info) {
    std::string name = info.param.name;
    name = name.substr(0, name.find('.'));
    return name;
}

INSTANTIATE_TEST_SUITE_P(Files, RealWorldLayout, ::testing::ValuesIn(kLayouts), layout_name);

}  // namespace
