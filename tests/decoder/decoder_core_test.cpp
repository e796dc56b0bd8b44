// The decoder core over libmpg123: one frame per call, exact "need more" and
// "bad header" answers, bounded input, and PCM equal to the mpg123 command
// line on every kind of file the encoders make.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/decoder_core.h"
#include "engine/first_frame.h"
#include "test_files.h"

// The decoder layer's internals under test.
using namespace almp3;

namespace {

struct Core {
    DecoderState st;
    Core() { EXPECT_TRUE(InitMP3(&st)); }
    ~Core() { ExitMP3(&st); }
};

// Decodes a whole file from its first frame, feeding chunk bytes at a time
// while the core asks for more, as the decoder objects do.
std::vector<int16_t> decode_all(const std::vector<unsigned char> &file, int start, int chunk, int *frames) {
    Core core;
    std::vector<int16_t> pcm;
    unsigned char out[kMaxFramePcm];
    size_t pos = static_cast<size_t>(start);
    *frames = 0;
    for (;;) {
        int produced = -7;
        CoreResult rc = decodeMP3(&core.st, nullptr, 0, out, sizeof out, &produced);
        while (rc == CoreResult::kNeedMore && pos < file.size()) {
            const int n = static_cast<int>(std::min<size_t>(chunk, file.size() - pos));
            rc = decodeMP3(&core.st, file.data() + pos, n, out, sizeof out, &produced);
            pos += static_cast<size_t>(n);
        }
        if (rc != CoreResult::kFrame) break;
        ++*frames;
        const int16_t *s = reinterpret_cast<const int16_t *>(out);
        pcm.insert(pcm.end(), s, s + produced / 2);
    }
    return pcm;
}

TEST(DecoderCore, MatchesTheReferenceDecoderOnEveryEncodedFile) {
    const auto files = encoded_files();
    ASSERT_GT(files.size(), 20u);
    for (const auto &f : files) {
        SCOPED_TRACE(f.name);
        const auto bytes = read_bytes(encoded_path(f.name));
        const auto first = find_first_frame(bytes.data(), std::min<int>(bytes.size(), kFirstFrameSearchLimit));
        ASSERT_TRUE(first);
        int frames = 0;
        // Odd chunk sizes split headers and frames at every possible place.
        const auto pcm = decode_all(bytes, first->offset, 333, &frames);
        const auto ref = raw_pcm(f.name);
        EXPECT_EQ(pcm.size(), ref.size());
        EXPECT_LE(max_sample_diff(pcm, ref), 1);
        const int samples = f.layer == 3 && f.rate <= 24000 ? 576 : 1152;
        EXPECT_EQ(static_cast<size_t>(frames) * samples * f.channels, pcm.size());
    }
}

TEST(DecoderCore, LeavesTheFirstFrameOfACutLayer2StreamSounding) {
    // Layer II has no bit reservoir to reach back into.
    const auto l2 = read_bytes(encoded_path("l2_44100s.mp2"));
    const auto at = find_first_frame(l2.data() + l2.size() / 2, kFirstFrameSearchLimit);
    ASSERT_TRUE(at);
    int frames = 0;
    const auto pcm = decode_all(l2, static_cast<int>(l2.size() / 2) + at->offset, 333, &frames);
    ASSERT_GE(pcm.size(), 2304u);
    EXPECT_FALSE(std::all_of(pcm.begin(), pcm.begin() + 2304, [](int16_t v) { return v == 0; }));
}

TEST(DecoderCore, AnswersNeedMoreUntilTheWholeFrameIsHeld) {
    const auto bytes = read_bytes(encoded_path("cbr44100s.mp3"));
    Core core;
    unsigned char out[kMaxFramePcm];
    int produced = -7;
    EXPECT_EQ(decodeMP3(&core.st, nullptr, 0, out, sizeof out, &produced), CoreResult::kNeedMore);
    EXPECT_EQ(decodeMP3(&core.st, bytes.data(), 3, out, sizeof out, &produced), CoreResult::kNeedMore);
    EXPECT_EQ(decodeMP3(&core.st, bytes.data() + 3, 1, out, sizeof out, &produced), CoreResult::kNeedMore);
    // The header is read now: the fields describe it.
    EXPECT_EQ(core.st.header.layer, 3);
    EXPECT_EQ(core.st.header.lsf, 0);
    EXPECT_EQ(core.st.header.channels, 2);
    EXPECT_EQ(core.st.header.sampling_frequency, 0);
    EXPECT_EQ(core.st.header.framesize + 4, 417);  // 128 kbit/s at 44.1 kHz, unpadded
    const int need = core.st.header.framesize + 4 - 4;
    EXPECT_EQ(decodeMP3(&core.st, bytes.data() + 4, need - 1, out, sizeof out, &produced), CoreResult::kNeedMore);
    EXPECT_EQ(produced, -7);
    EXPECT_EQ(decodeMP3(&core.st, bytes.data() + 3 + need, 1, out, sizeof out, &produced), CoreResult::kFrame);
    EXPECT_EQ(produced, 4608);
    // Nothing left: need more again.
    EXPECT_EQ(decodeMP3(&core.st, nullptr, 0, out, sizeof out, &produced), CoreResult::kNeedMore);
}

TEST(DecoderCore, RejectsABadHeaderButReportsIt) {
    Core core;
    unsigned char out[kMaxFramePcm];
    int produced = 0;
    // Sync and MPEG-1 Layer III, but the bit-rate index 15 is invalid.
    const unsigned char bad[8] = {0xFF, 0xFB, 0xF0, 0x00, 0, 0, 0, 0};
    EXPECT_EQ(decodeMP3(&core.st, bad, sizeof bad, out, sizeof out, &produced), CoreResult::kBad);
    EXPECT_EQ(core.st.header.word, 0xFFFBF000u);
    EXPECT_EQ(core.st.header.bitrate_index, 15);
    EXPECT_EQ(core.st.header.layer, 3);
    // No sync at all.
    Core other;
    const unsigned char text[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(decodeMP3(&other.st, text, 4, out, sizeof out, &produced), CoreResult::kBad);
    EXPECT_EQ(other.st.header.word, 0x61626364u);
}

TEST(DecoderCore, BoundsWhatOneStateHolds) {
    Core core;
    unsigned char out[kMaxFramePcm];
    int produced = 0;
    std::vector<unsigned char> junk(kCoreInputCapacity + 1, 0);
    EXPECT_EQ(decodeMP3(&core.st, junk.data(), static_cast<int>(junk.size()), out, sizeof out, &produced), CoreResult::kBad);
    EXPECT_EQ(core.st.held, 0);
    // Feeding on after errors stops at the bound instead of growing.
    CoreResult rc = CoreResult::kFrame;
    for (int i = 0; i < 100; ++i) rc = decodeMP3(&core.st, junk.data(), 1000, out, sizeof out, &produced);
    EXPECT_EQ(rc, CoreResult::kBad);
    EXPECT_LE(core.st.held, kCoreInputCapacity);
}

TEST(DecoderCore, NeverWritesPastTheOutputCapacity) {
    const auto bytes = read_bytes(encoded_path("cbr44100s.mp3"));
    Core core;
    std::vector<unsigned char> out(4608 + 16, 0xEE);
    int produced = 0;
    const auto first = find_first_frame(bytes.data(), 8192);
    ASSERT_TRUE(first);
    // Too little room: refused, and the frame stays held for a call with room.
    EXPECT_EQ(decodeMP3(&core.st, bytes.data() + first->offset, 2000, out.data(), 4607, &produced), CoreResult::kBad);
    for (unsigned char c : out) ASSERT_EQ(c, 0xEE);
    EXPECT_EQ(decodeMP3(&core.st, nullptr, 0, out.data(), 4608, &produced), CoreResult::kFrame);
    EXPECT_EQ(produced, 4608);
    for (int i = 4608; i < 4608 + 16; ++i) EXPECT_EQ(out[i], 0xEE);
}

TEST(DecoderCore, ExitReleasesAndInitStartsAfresh) {
    const auto bytes = read_bytes(encoded_path("cbr44100s.mp3"));
    const auto first = find_first_frame(bytes.data(), 8192);
    ASSERT_TRUE(first);
    DecoderState st;
    ASSERT_TRUE(InitMP3(&st));
    unsigned char out[kMaxFramePcm];
    int produced = 0;
    EXPECT_EQ(decodeMP3(&st, bytes.data() + 1, 100, out, sizeof out, &produced), CoreResult::kBad);  // no sync at byte 1
    ExitMP3(&st);
    ExitMP3(&st);  // twice is harmless
    EXPECT_EQ(decodeMP3(&st, nullptr, 0, out, sizeof out, &produced), CoreResult::kBad);
    ASSERT_TRUE(InitMP3(&st));
    EXPECT_EQ(decodeMP3(&st, bytes.data() + first->offset, 1000, out, sizeof out, &produced), CoreResult::kFrame);
    ExitMP3(&st);
}

}  // namespace

namespace {

TEST(DecoderCore, RefusesAMalformedJointStereoBoundSilently) {
    // MPEG-1 Layer II, 32 kbit/s at 44.1 kHz, joint stereo with the widest
    // stereo bound (16 subbands), although that rate codes only 8.
    std::vector<unsigned char> frame(104, 0);
    const unsigned char header[4] = {0xFF, 0xFD, 0x10, 0x70};
    std::copy(header, header + 4, frame.begin());
    Core core;
    unsigned char out[kMaxFramePcm];
    int produced = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(decodeMP3(&core.st, frame.data(), static_cast<int>(frame.size()), out, sizeof out, &produced), CoreResult::kBad);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(core.st.header.layer, 2);
    EXPECT_EQ(core.st.header.framesize, 0);

    // The same frame with the narrowest bound (4 subbands) is decoded.
    frame[3] = 0x40;
    Core good;
    EXPECT_EQ(decodeMP3(&good.st, frame.data(), static_cast<int>(frame.size()), out, sizeof out, &produced), CoreResult::kFrame);
    EXPECT_EQ(produced, 4608);
}

}  // namespace
