// Positions, lengths and seek offsets, with the figures a player sees: the
// first frame's parameters, the Xing header and the source size.
#include <gtest/gtest.h>

#include <cstdlib>

#include "mp3stream_record.h"
#include "stream_feeder.h"
#include "test_files.h"

namespace {

struct Stream {
    Mp3Stream *s;
    explicit Stream(const char *name) {
        const auto bytes = read_bytes(encoded_path(name));
        s = almp3_create_mp3stream(bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), kPlayerBlock)), 0);
    }
    ~Stream() { almp3_destroy_mp3stream(s); }
};

// A table of contents whose k-th entry is toc(k), over `frames` frames.
template <typename F>
void give_toc(Mp3Stream *s, int frames, F toc) {
    auto *x = static_cast<XingInfo *>(std::calloc(1, sizeof(XingInfo)));
    x->flags = kXingFrames | kXingToc;
    x->frames = frames;
    for (int k = 0; k < kXingTocEntries; ++k) x->toc[k] = static_cast<unsigned char>(toc(k));
    s->xing.reset(x);
    s->frame_count = frames;
}

TEST(StreamPosition, CountsDecodedFramesInExactTime) {
    Stream tagged("id3v2.mp3");
    ASSERT_NE(tagged.s, nullptr);
    EXPECT_EQ(almp3_get_pos_frames_mp3stream(tagged.s), 0);
    EXPECT_EQ(almp3_get_pos_msecs_mp3stream(tagged.s), 0);
    EXPECT_EQ(almp3_get_pos_secs_mp3stream(tagged.s), 0);
    EXPECT_EQ(almp3_get_pos_bytes_mp3stream(tagged.s), 3000);

    tagged.s->frame_pos = 100;
    EXPECT_EQ(almp3_get_pos_frames_mp3stream(tagged.s), 100);
    EXPECT_EQ(almp3_get_pos_msecs_mp3stream(tagged.s), 2612);
    EXPECT_EQ(almp3_get_pos_secs_mp3stream(tagged.s), 2);
}

TEST(StreamPosition, MillisecondsPerFrameAreTruncated) {
    const std::pair<const char *, int> cases[] = {
        {"cbr44100s.mp3", 26}, {"cbr48000s.mp3", 24}, {"cbr32000m.mp3", 36},
        {"cbr22050s.mp3", 26}, {"cbr8000s.mp3", 72},  {"l2_24000m.mp2", 48},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        Stream st(c.first);
        ASSERT_NE(st.s, nullptr);
        EXPECT_EQ(almp3_get_msecs_per_frame_mp3stream(st.s), c.second);
    }
}

TEST(StreamLength, ComesFromTheFrameLengthOrTheXingCount) {
    Stream st("cbr44100s.mp3");
    ASSERT_NE(st.s, nullptr);
    ASSERT_EQ(st.s->frame_count, -1);
    st.s->frame_len = 418;
    const int total = 418 * 500 + 100;
    EXPECT_EQ(almp3_get_length_frames_mp3stream(st.s, total), 500);
    EXPECT_EQ(almp3_get_length_msecs_mp3stream(st.s, total), 500 * 26);
    EXPECT_EQ(almp3_get_length_secs_mp3stream(st.s, total), 13);
    EXPECT_EQ(almp3_get_length_bytes_mp3stream(st.s, total), total);

    st.s->frame_count = 900;
    for (int any_total : {1000, total, 50000000}) {
        EXPECT_EQ(almp3_get_length_frames_mp3stream(st.s, any_total), 900);
        EXPECT_EQ(almp3_get_length_msecs_mp3stream(st.s, any_total), 900 * 26);
        EXPECT_EQ(almp3_get_length_secs_mp3stream(st.s, any_total), 23);
    }
}

TEST(StreamLength, OfRealFilesMatchesWhatDecodes) {
    for (const char *name : {"cbr44100s.mp3", "vbr44100s.mp3", "vbr48000m.mp3"}) {
        SCOPED_TRACE(name);
        const auto bytes = read_bytes(encoded_path(name));
        const ProtocolRun run = run_protocol(bytes);
        Stream st(name);
        ASSERT_NE(st.s, nullptr);
        const int total = static_cast<int>(bytes.size());
        // lame's frame count leaves out the info frame itself.
        EXPECT_NEAR(almp3_get_length_frames_mp3stream(st.s, total), run.frames, 1);
        // 6 s of sound plus the encoder's delay and padding.
        EXPECT_EQ(almp3_get_length_secs_mp3stream(st.s, total), 6);
    }
}

TEST(StreamSeek, ByFrameTimeAndByteWithoutTable) {
    Stream st("cbr44100s.mp3");
    ASSERT_NE(st.s, nullptr);
    Mp3Stream *s = st.s;
    s->frame_len = 418;
    const int total = 418 * 500 + 100;
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, -1, total), -1);
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 500, total), -1);
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 100, total), 100 * 418);
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 499, total), 499 * 418);
    EXPECT_EQ(almp3_seek_abs_msecs_mp3stream(s, 2600, total), 100 * 418);
    EXPECT_EQ(almp3_seek_abs_secs_mp3stream(s, 2, total), 2000 / 26 * 418);
    EXPECT_EQ(almp3_seek_abs_secs_mp3stream(s, 14, total), -1);

    s->frame_pos = 50;
    s->byte_pos = 50 * 418 + 7;
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, 10, total), s->byte_pos + 4180);
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, -50, total), s->byte_pos - 50 * 418);
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, -51, total), -1);
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, 450, total), -1);
    EXPECT_EQ(almp3_seek_rel_msecs_mp3stream(s, 260, total), s->byte_pos + 4180);
    EXPECT_EQ(almp3_seek_rel_secs_mp3stream(s, -1, total), s->byte_pos - 1000 / 26 * 418);
    // An estimate before the source's start (the first frames were longer
    // than the first one) gives the start.
    s->byte_pos = 100;
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, -10, total), 0);
    s->byte_pos = 50 * 418 + 7;
    // Huge amounts in seconds are outside, not an overflow.
    EXPECT_EQ(almp3_seek_rel_secs_mp3stream(s, 2000000000, total), -1);

    s->lead_len = 10;
    EXPECT_EQ(almp3_seek_abs_bytes_mp3stream(s, -5, total), 0);
    EXPECT_EQ(almp3_seek_abs_bytes_mp3stream(s, -11, total), -1);
    EXPECT_EQ(almp3_seek_abs_bytes_mp3stream(s, total, total), -1);
    EXPECT_EQ(almp3_seek_abs_bytes_mp3stream(s, 1234, total), 1234);
    EXPECT_EQ(almp3_seek_rel_bytes_mp3stream(s, 100, total), s->byte_pos + 100);
    EXPECT_EQ(almp3_seek_rel_bytes_mp3stream(s, -s->byte_pos - 5, total), 0);
    EXPECT_EQ(almp3_seek_rel_bytes_mp3stream(s, -s->byte_pos - 11, total), -1);
    EXPECT_EQ(almp3_seek_rel_bytes_mp3stream(s, total, total), -1);
}

TEST(StreamSeek, FollowsTheXingTableOfContents) {
    Stream st("cbr44100s.mp3");
    ASSERT_NE(st.s, nullptr);
    Mp3Stream *s = st.s;
    // Marks 0, 10, 20, ... over 1000 bytes: the line between neighbours.
    give_toc(s, 2560, [](int k) { return k; });
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 15, 1000), 15);
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 20, 1000), 20);
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 995, 1000), 1000);  // past the last mark
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, 15, 1000), 15);

    // Two equal marks around the target: the constant-rate estimate.
    give_toc(s, 2560, [](int k) { return k / 2 * 2; });
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 15, 100000), 15 * s->frame_len);

    // A target beyond the table's own count (but inside a larger source
    // count) is estimated too.
    give_toc(s, 2560, [](int k) { return k; });
    s->xing->frames = 100;
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 150, 100000), 150 * s->frame_len);
}

}  // namespace
