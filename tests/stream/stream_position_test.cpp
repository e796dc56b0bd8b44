// Positions, lengths and seek offsets, with the figures a player sees: the
// first frame's parameters, the Xing header and the source size.
#include <gtest/gtest.h>

#include <cstdlib>

#include "stream/mp3stream_record.h"
#include "stream_feeder.h"
#include "test_files.h"

// The decoder layer's internals under test.
using namespace almp3;

namespace {

struct Stream {
    Mp3Stream *s;
    explicit Stream(const char *name) {
        const auto bytes = read_bytes(encoded_path(name));
        s = almp3_create_mp3stream(bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), kPlayerBlock)), 0);
    }
    ~Stream() { almp3_destroy_mp3stream(s); }
};

// A table of contents whose k-th entry is toc(k), over `frames` frames after
// the header's own.
template <typename F>
void give_toc(Mp3Stream *s, int frames, F toc) {
    XingInfo x{};
    x.flags = kXingFrames | kXingToc;
    x.frames = frames;
    for (int k = 0; k < kXingTocEntries; ++k) x.toc[k] = static_cast<unsigned char>(toc(k));
    s->xing = x;
    s->frame_count = frames;
}

// Start of frame f of 128 kbit/s, 44100 Hz data: 1152 samples take
// 128000 * 1152 / 8 / 44100 = 417.96 bytes on average, whatever the padding.
int cbr_place(int64_t f) { return static_cast<int>(f * 128000 * 1152 / (8 * 44100)); }

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

TEST(StreamLength, IsTheExactTimeOfTheFramesTheBytesOrTheXingCountHold) {
    Stream st("cbr44100s.mp3");
    ASSERT_NE(st.s, nullptr);
    st.s->xing.reset();
    // 209100 bytes at 128 kbit/s: 500.2 frames of 1152 samples at 44100 Hz,
    // 500 whole ones lasting 13061.2 ms (not 500 * 26).
    const int total = 418 * 500 + 100;
    EXPECT_EQ(almp3_get_length_frames_mp3stream(st.s, total), 500);
    EXPECT_EQ(almp3_get_length_msecs_mp3stream(st.s, total), 13061);
    EXPECT_EQ(almp3_get_length_secs_mp3stream(st.s, total), 13);
    EXPECT_EQ(almp3_get_length_bytes_mp3stream(st.s, total), total);
    // Bytes in front of the first frame are no audio.
    st.s->lead_len = 418 * 100;
    EXPECT_EQ(almp3_get_length_frames_mp3stream(st.s, total + 418 * 100), 500);

    // A count of 899 frames after the header's own: 900 frames, 23510 ms.
    give_toc(st.s, 899, [](int k) { return k; });
    st.s->lead_len = 0;
    for (int any_total : {900 * 418, 900 * 300}) {
        EXPECT_EQ(almp3_get_length_frames_mp3stream(st.s, any_total), 900);
        EXPECT_EQ(almp3_get_length_msecs_mp3stream(st.s, any_total), 23510);
    }
}

TEST(StreamLength, OfRealFilesMatchesWhatDecodes) {
    // The reference decode's frames: every frame, the info frame included.
    // The source size leaves out a trailing tag, as the player's does.
    for (const char *name : {"cbr44100s.mp3", "vbr44100s.mp3", "vbr48000m.mp3", "id3v2.mp3", "tag.mp3"}) {
        SCOPED_TRACE(name);
        const auto bytes = read_bytes(encoded_path(name));
        const auto ref = reference_pcm(name);
        Stream st(name);
        ASSERT_NE(st.s, nullptr);
        const int total =
            static_cast<int>(bytes.size()) - almp3_get_trailing_tag_length(bytes.data() + bytes.size() - 128, 128);
        const int channels = st.s->engine.format.stereo ? 2 : 1;
        const int64_t ref_samples = static_cast<int64_t>(ref.size()) / channels;
        EXPECT_EQ(almp3_get_length_frames_mp3stream(st.s, total), ref_samples / st.s->engine.format.samples_per_frame);
        EXPECT_EQ(almp3_get_length_msecs_mp3stream(st.s, total), ref_samples * 1000 / st.s->engine.format.freq);
        // A CBR stream without its header: the bytes give the same count.
        if (std::string(name) != "cbr44100s.mp3") continue;
        st.s->xing.reset();
        EXPECT_EQ(almp3_get_length_frames_mp3stream(st.s, total), ref_samples / st.s->engine.format.samples_per_frame);
    }
}

TEST(StreamSeek, ByFrameTimeAndByteWithoutTable) {
    Stream st("cbr44100s.mp3");
    ASSERT_NE(st.s, nullptr);
    Mp3Stream *s = st.s;
    s->xing.reset();
    const int total = 418 * 500 + 100;  // 500 frames
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, -1, total), -1);
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 500, total), -1);
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 100, total), cbr_place(100));
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 499, total), cbr_place(499));
    // Frame 99 plays from 2586 ms to 2612 ms, frame 76 from 1985 ms.
    EXPECT_EQ(almp3_seek_abs_msecs_mp3stream(s, 2600, total), cbr_place(99));
    EXPECT_EQ(almp3_seek_abs_secs_mp3stream(s, 2, total), cbr_place(76));
    EXPECT_EQ(almp3_seek_abs_secs_mp3stream(s, 14, total), -1);

    s->frame_pos = 50;
    s->byte_pos = cbr_place(50) + 7;
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, 10, total), s->byte_pos + cbr_place(10));
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, -50, total), s->byte_pos - cbr_place(50));
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, -51, total), -1);
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, 450, total), -1);
    EXPECT_EQ(almp3_seek_rel_msecs_mp3stream(s, 262, total), s->byte_pos + cbr_place(10));
    EXPECT_EQ(almp3_seek_rel_secs_mp3stream(s, -1, total), s->byte_pos - cbr_place(38));
    // An estimate before the source's start (the first frames were longer
    // than the mean) gives the start.
    s->byte_pos = 100;
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, -10, total), 0);
    s->byte_pos = cbr_place(50) + 7;
    // Huge amounts in seconds are outside, not an overflow.
    EXPECT_EQ(almp3_seek_rel_secs_mp3stream(s, 2000000000, total), -1);
    // Offsets count from the source's start: leading bytes are added back.
    s->lead_len = 3000;
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 100, total + 3000), 3000 + cbr_place(100));

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
    // 1000 frames over 256000 bytes, the first half of the duration in the
    // first 50/256 of the bytes: entry k is the place of k percent.
    give_toc(s, 999, [](int k) { return k <= 50 ? k : 50 + 4 * (k - 50); });
    constexpr int kAudio = 256000;
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 300, kAudio), 30 * 1000);
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 600, kAudio), 90 * 1000);
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 605, kAudio), 92 * 1000);  // halfway to 94
    s->frame_pos = 290;
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, 10, kAudio), 30 * 1000);
    // Leading bytes are added back to the offsets within the audio.
    s->lead_len = 5000;
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 600, kAudio + 5000), 5000 + 90 * 1000);

    // A header whose byte count is half the audio's (two songs joined)
    // describes only the first song: the constant-rate estimate.
    s->lead_len = 0;
    s->xing->flags |= kXingBytes;
    s->xing->bytes = kAudio / 2;
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, 600, kAudio), cbr_place(600));
}

}  // namespace
