// Positions, lengths and seek offsets, with the figures a player sees: the
// first frame's parameters, the Xing header and the source size. The truths
// are the files themselves: their frames as their headers lay them out, and
// their reference decodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "fake_allegro.h"
#include "stream_feeder.h"
#include "test_files.h"

namespace {

constexpr int kTagBody = 2990;
constexpr int kTagLen = kTagBody + 10;  // a leading ID3v2 tag with its header

std::vector<unsigned char> slice(const std::vector<unsigned char> &v, size_t from, size_t to) {
    return std::vector<unsigned char>(v.begin() + static_cast<long>(from), v.begin() + static_cast<long>(to));
}

std::vector<unsigned char> concat(std::vector<unsigned char> a, const std::vector<unsigned char> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}


// lame's CBR file without its "Info" frame: nothing but 128 kbit/s frames.
std::vector<unsigned char> headerless_cbr() {
    const auto file = read_bytes(encoded_path("cbr44100s.mp3"));
    return slice(file, mpeg_frames(file)[1].offset, file.size());
}

int size_of(const std::vector<unsigned char> &v) { return static_cast<int>(v.size()); }

// Plays the source in buffers of the first frame's PCM and polls until at
// least `frames` frames are decoded (exactly that many while frames keep
// the first one's size).
void decode_frames(Mp3Stream *s, BlockSource &source, const MpegFrame &first, int frames) {
    ASSERT_EQ(almp3_play_mp3stream(s, first.samples * first.channels * 2, 255, 128), ALMP3_PLAY_OK);
    while (almp3_get_pos_frames_mp3stream(s) < frames) {
        source.feed(s);
        ASSERT_EQ(almp3_poll_mp3stream(s), ALMP3_POLL_OK);
    }
}

TEST(StreamPosition, CountsDecodedFramesInExactTime) {
    FedSong song("id3v2.mp3");
    ASSERT_NE(song.s, nullptr);
    Mp3Stream *s = song.s.get();
    EXPECT_EQ(almp3_get_pos_frames_mp3stream(s), 0);
    EXPECT_EQ(almp3_get_pos_msecs_mp3stream(s), 0);
    EXPECT_EQ(almp3_get_pos_secs_mp3stream(s), 0);
    EXPECT_EQ(almp3_get_pos_bytes_mp3stream(s), kTagLen);

    const auto frames = mpeg_frames(song.bytes);
    ASSERT_TRUE(info_frame(song.bytes).lame);
    decode_frames(s, song.source, frames[0], 100);
    // The trimmed delay runs the frames on over the buffers' bounds, so the
    // poll that reaches 100 frames may decode one more.
    const int decoded = almp3_get_pos_frames_mp3stream(s);
    EXPECT_LE(decoded, 101);
    // The time of mpg123's decode of those frames, about 2.6 s, all of it
    // handed over but what the buffer being filled holds.
    const size_t samples = default_samples(song.bytes, decoded);
    EXPECT_EQ(almp3_get_pos_msecs_mp3stream(s), static_cast<int>(samples / 2 * 1000 / 44100));
    EXPECT_EQ(almp3_get_pos_secs_mp3stream(s), 2);
    const size_t handed = fake_allegro::captured_signed().size();
    EXPECT_GT(handed + static_cast<size_t>(frames[0].samples * frames[0].channels), samples);
    EXPECT_TRUE(captured_begins_with(head(song.ref, handed)));
    // The next byte to be fed lies past the frames decoded (behind the
    // Info frame), within the next one.
    EXPECT_GE(almp3_get_pos_bytes_mp3stream(s), static_cast<int>(frames[static_cast<size_t>(decoded) + 1].offset));
    EXPECT_LT(almp3_get_pos_bytes_mp3stream(s), static_cast<int>(frames[static_cast<size_t>(decoded) + 2].offset));
}

TEST(StreamPosition, MillisecondsPerFrameAreTruncated) {
    const std::pair<const char *, int> cases[] = {
        {"cbr44100s.mp3", 26}, {"cbr48000s.mp3", 24}, {"cbr32000m.mp3", 36},
        {"cbr22050s.mp3", 26}, {"cbr8000s.mp3", 72},  {"l2_24000m.mp2", 48},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        FedSong song(c.first);
        ASSERT_NE(song.s, nullptr);
        EXPECT_EQ(almp3_get_msecs_per_frame_mp3stream(song.s.get()), c.second);
    }
}

// The length is the frames of audio the source holds (an Info frame is
// none) and the time mpg123 decodes from them: from the Xing or Info
// header's count, or else from the bytes (a constant bit rate rounds to the
// nearest whole frame, a varying one is estimated from the first block).
// Bytes in front of the first frame and a trailing tag (left out of the
// source size, as the player does) are no audio. A VBR header whose fields
// were moved leaves the LAME tag out of place: mpg123 then trims only its
// own synthesis delay, when the header counts the frames.
TEST(StreamLength, IsTheFramesTheSourceHoldsAndTheirTime) {
    const auto cbr = headerless_cbr();
    // 200 frames and 100 bytes of the next.
    const auto cbr200 = slice(cbr, 0, mpeg_frames(cbr)[200].offset + 100);
    // lame's VBR header with its frame count but not its byte count: the
    // count holds whatever the source size. Without the count (flags 0x06),
    // the byte count in its place must not be read as frames.
    const auto vbr = read_bytes(encoded_path("vbr44100s.mp3"));
    const size_t xing = 36;  // behind the side information of MPEG-1 stereo
    ASSERT_EQ(std::memcmp(vbr.data() + xing, "Xing", 4), 0);
    ASSERT_EQ(vbr[xing + 7], 0x0F);
    auto no_bytes = vbr, no_count = vbr;
    no_bytes[xing + 7] = 0x0D;
    std::memmove(no_bytes.data() + xing + 12, no_bytes.data() + xing + 16, 100);  // the table moves up
    no_count[xing + 7] = 0x06;
    std::memmove(no_count.data() + xing + 8, no_count.data() + xing + 12, 104);

    struct Case {
        std::string what;
        std::vector<unsigned char> bytes;
        int total;
        int slack = 0;  // frames an estimate may miss
    };
    std::vector<Case> cases = {
        {"cbr without header", cbr, size_of(cbr)},
        {"200 cbr frames", cbr200, size_of(cbr200)},
        {"200 cbr frames behind a tag", with_id3v2(cbr200, kTagBody, false), size_of(cbr200) + kTagLen},
        {"vbr count without bytes", no_bytes, size_of(no_bytes)},
        {"vbr count without bytes, shorter total", no_bytes, size_of(no_bytes) * 2 / 3},
        {"vbr without count", no_count, size_of(no_count), static_cast<int>(mpeg_frames(vbr).size()) / 50},
    };
    for (const char *name :
         {"cbr44100s.mp3", "vbr44100s.mp3", "vbr48000m.mp3", "vbr22050m.mp3", "cbr22050s.mp3", "id3v2.mp3", "tag.mp3"}) {
        auto bytes = read_bytes(encoded_path(name));
        const int total = size_of(bytes) - almp3_get_trailing_tag_length(bytes.data() + bytes.size() - 128, 128);
        cases.push_back({name, std::move(bytes), total});
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        BlockSource source(c.bytes, kPlayerBlock);
        StreamPtr s = source.create();
        ASSERT_NE(s, nullptr);
        const MpegFrame first = mpeg_frames(c.bytes).front();
        EXPECT_NEAR(almp3_get_length_frames_mp3stream(s.get(), c.total), audio_frames_within(c.bytes, c.bytes.size()),
                    c.slack);
        const int64_t rate = almp3_get_wave_freq_mp3stream(s.get());
        const int64_t frame_ms = int64_t{first.samples} * 1000 / rate + 1;
        const int64_t samples = static_cast<int64_t>(command_line_decode_bytes(c.bytes).size()) / first.channels;
        const int64_t msecs = samples * 1000 / rate;
        EXPECT_NEAR(almp3_get_length_msecs_mp3stream(s.get(), c.total), msecs, c.slack * frame_ms);
        EXPECT_NEAR(almp3_get_length_secs_mp3stream(s.get(), c.total), msecs / 1000, c.slack > 0);
        EXPECT_EQ(almp3_get_length_bytes_mp3stream(s.get(), c.total), c.total);
    }
}

// Frame seeks without a table of contents land on the frame's first byte
// (within the byte of padding that the mean frame length cannot place).
constexpr int kPaddingSlack = 1;

TEST(StreamSeek, ByFrameTimeAndByteWithoutTable) {
    const auto cbr = headerless_cbr();
    const auto frames = mpeg_frames(cbr);
    const int count = static_cast<int>(frames.size());
    const int total = size_of(cbr);
    fake_allegro::reset();
    BlockSource source(cbr, kPlayerBlock);
    StreamPtr st = source.create();
    ASSERT_NE(st, nullptr);
    Mp3Stream *s = st.get();
    const auto at = [&](int f) { return static_cast<int>(frames[static_cast<size_t>(f)].offset); };
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, -1, total), ALMP3_SEEK_OUTSIDE);
    EXPECT_EQ(almp3_seek_abs_frames_mp3stream(s, count, total), ALMP3_SEEK_OUTSIDE);
    EXPECT_NEAR(almp3_seek_abs_frames_mp3stream(s, 100, total), at(100), kPaddingSlack);
    EXPECT_NEAR(almp3_seek_abs_frames_mp3stream(s, count - 1, total), at(count - 1), kPaddingSlack);
    // Frame 99 plays from 2586 ms to 2612 ms, frame 76 from 1985 ms.
    EXPECT_NEAR(almp3_seek_abs_msecs_mp3stream(s, 2600, total), at(99), kPaddingSlack);
    EXPECT_NEAR(almp3_seek_abs_secs_mp3stream(s, 2, total), at(76), kPaddingSlack);
    EXPECT_EQ(almp3_seek_abs_secs_mp3stream(s, count * 1152 / 44100 + 1, total), ALMP3_SEEK_OUTSIDE);

    // Relative seeks move from the next byte to be fed by whole frames.
    decode_frames(s, source, frames[0], 50);
    ASSERT_EQ(almp3_get_pos_frames_mp3stream(s), 50);
    const int pos = almp3_get_pos_bytes_mp3stream(s);
    EXPECT_NEAR(almp3_seek_rel_frames_mp3stream(s, 10, total), pos + at(60) - at(50), kPaddingSlack);
    EXPECT_NEAR(almp3_seek_rel_frames_mp3stream(s, -50, total), pos - at(50), kPaddingSlack);
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, -51, total), ALMP3_SEEK_OUTSIDE);
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(s, count - 50, total), ALMP3_SEEK_OUTSIDE);
    // 262 ms are 10 frames, a second is 38.
    EXPECT_NEAR(almp3_seek_rel_msecs_mp3stream(s, 262, total), pos + at(60) - at(50), kPaddingSlack);
    EXPECT_NEAR(almp3_seek_rel_secs_mp3stream(s, -1, total), pos - (at(50) - at(12)), kPaddingSlack);
    // Huge amounts in seconds are outside, not an overflow.
    EXPECT_EQ(almp3_seek_rel_secs_mp3stream(s, 2000000000, total), ALMP3_SEEK_OUTSIDE);
    // Byte seeks: anything inside the source.
    EXPECT_EQ(almp3_seek_abs_bytes_mp3stream(s, total, total), ALMP3_SEEK_OUTSIDE);
    EXPECT_EQ(almp3_seek_abs_bytes_mp3stream(s, 1234, total), 1234);
    EXPECT_EQ(almp3_seek_rel_bytes_mp3stream(s, 100, total), pos + 100);
    EXPECT_EQ(almp3_seek_rel_bytes_mp3stream(s, total - pos, total), ALMP3_SEEK_OUTSIDE);

    // Offsets count from the source's start: leading bytes are added back.
    const auto with_tag = with_id3v2(cbr, kTagBody, false);
    BlockSource tag_source(with_tag, kPlayerBlock);
    st = tag_source.create();
    ASSERT_NE(st, nullptr);
    EXPECT_NEAR(almp3_seek_abs_frames_mp3stream(st.get(), 100, total + kTagLen), kTagLen + at(100), kPaddingSlack);
    // Negative byte places down to the bytes in front of the first frame
    // mean the source's start.
    ASSERT_EQ(almp3_get_pos_bytes_mp3stream(st.get()), kTagLen);
    EXPECT_EQ(almp3_seek_abs_bytes_mp3stream(st.get(), -kTagLen, total + kTagLen), 0);
    EXPECT_EQ(almp3_seek_abs_bytes_mp3stream(st.get(), -kTagLen - 1, total + kTagLen), ALMP3_SEEK_OUTSIDE);
    EXPECT_EQ(almp3_seek_rel_bytes_mp3stream(st.get(), -2 * kTagLen, total + kTagLen), 0);
    EXPECT_EQ(almp3_seek_rel_bytes_mp3stream(st.get(), -2 * kTagLen - 1, total + kTagLen), ALMP3_SEEK_OUTSIDE);

    // Frames of half the first block's length (mono at 64 kbit/s) after
    // the first block: the estimate of a move back to the first frame lands
    // before the source's start, which means its first byte.
    const auto mono = read_bytes(encoded_path("cbr44100m.mp3"));
    const auto shrinking = concat(slice(cbr, 0, at(100)), slice(mono, mpeg_frames(mono)[1].offset, mono.size()));
    BlockSource shrink_source(shrinking, kPlayerBlock);
    st = shrink_source.create();
    decode_frames(st.get(), shrink_source, frames[0], 200);
    const int decoded = almp3_get_pos_frames_mp3stream(st.get());
    EXPECT_EQ(almp3_seek_rel_frames_mp3stream(st.get(), -decoded, size_of(shrinking)), 0);
}

// A VBR file of silence, then noise: its frames lie far from evenly over
// the bytes, and only the Xing table of contents finds them (the first
// block's frames, all silence, say nothing of the noise's).
TEST(StreamSeek, FollowsTheXingTableOfContents) {
    const auto file = read_bytes(encoded_path("quiet_loud.mp3"));
    const auto frames = mpeg_frames(file);
    // Frame numbers count the frames of audio: frame f is frames[f + 1],
    // behind the Info frame.
    const int count = audio_frames_within(file, file.size());
    const int total = size_of(file);
    // The table places 1 % steps of the time at 1/256 steps of the bytes.
    const int slack = total / 256 + static_cast<int>(frames.back().length);
    const auto with_tag = with_id3v2(file, kTagBody, false);
    fake_allegro::reset();
    BlockSource source(file, kPlayerBlock), tag_source(with_tag, kPlayerBlock);
    StreamPtr s = source.create(), t = tag_source.create();
    ASSERT_NE(s, nullptr);
    ASSERT_NE(t, nullptr);
    for (const int f : {count / 10, count / 3, count * 6 / 10, count * 9 / 10}) {
        SCOPED_TRACE(f);
        const int offset = static_cast<int>(frames[static_cast<size_t>(f) + 1].offset);
        EXPECT_NEAR(almp3_seek_abs_frames_mp3stream(s.get(), f, total), offset, slack);
        EXPECT_NEAR(almp3_seek_abs_frames_mp3stream(t.get(), f, total + kTagLen), kTagLen + offset, slack);
    }
    decode_frames(s.get(), source, frames[0], 20);
    ASSERT_EQ(almp3_get_pos_frames_mp3stream(s.get()), 20);
    EXPECT_NEAR(almp3_seek_rel_frames_mp3stream(s.get(), count * 6 / 10 - 20, total),
                static_cast<int>(frames[static_cast<size_t>(count * 6 / 10) + 1].offset), slack);
}

// A time is a sample of mpg123's trimmed decode: a time seek goes to the
// frame of audio whose decode holds that sample (the trimmed delay moves
// 2 s from frame 76 to 77, and 2600 ms from 99 to 100).
TEST(StreamSeek, ATimeIsASampleOfTheTrimmedDecode) {
    const auto file = read_bytes(encoded_path("vbr44100s.mp3"));
    const int total = size_of(file);
    ASSERT_TRUE(info_frame(file).lame);
    BlockSource source(file, kPlayerBlock);
    StreamPtr s = source.create();
    ASSERT_NE(s, nullptr);
    for (const int ms : {2000, 2600}) {
        SCOPED_TRACE(ms);
        const size_t sample = size_t{44100} * static_cast<size_t>(ms) / 1000;
        int f = 0;
        while (default_samples(file, f + 1) / 2 <= sample) ++f;
        ASSERT_NE(almp3_seek_abs_frames_mp3stream(s.get(), f, total),
                  almp3_seek_abs_frames_mp3stream(s.get(), f - 1, total));
        EXPECT_EQ(almp3_seek_abs_msecs_mp3stream(s.get(), ms, total), almp3_seek_abs_frames_mp3stream(s.get(), f, total));
    }
    EXPECT_EQ(almp3_seek_abs_secs_mp3stream(s.get(), 2, total), almp3_seek_abs_msecs_mp3stream(s.get(), 2000, total));
}

// Two songs joined: the first song's header does not describe the source,
// so its count and table are not used; the steady song's first block gives
// the estimate.
TEST(StreamSeek, AHeaderOfOneSongIsNotUsedForTwoJoined) {
    const auto song = read_bytes(encoded_path("vbr44100s.mp3"));
    const auto joined = concat(song, song);
    const auto frames = mpeg_frames(joined);
    const int count = audio_frames_within(joined, joined.size());
    fake_allegro::reset();
    BlockSource source(joined, kPlayerBlock);
    StreamPtr s = source.create();
    ASSERT_NE(s, nullptr);
    const int total = size_of(joined);
    EXPECT_NEAR(almp3_get_length_frames_mp3stream(s.get(), total), count, count / 50);
    const int f = count * 3 / 4;
    const int offset = static_cast<int>(frames[static_cast<size_t>(f) + 1].offset);
    EXPECT_NEAR(almp3_seek_abs_frames_mp3stream(s.get(), f, total), offset, total / 50);
}

}  // namespace
