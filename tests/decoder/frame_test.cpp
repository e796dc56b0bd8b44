// The pieces both decoder objects share: the frame-header test, tag and Xing
// detection, the first-frame search, the table-of-contents seek and the
// conversion to unsigned PCM.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "almp3.h"
#include "engine/first_frame.h"
#include "engine/output.h"
#include "format/tags.h"
#include "format/xing.h"
#include "test_files.h"

// The decoder layer's internals under test.
using namespace almp3;

namespace {

TEST(FrameHeader, AcceptsLayerIIAndIIIOfEveryVersion) {
    EXPECT_TRUE(frame_header_test(read_header(0xFFFB9000u)));  // MPEG-1 Layer III 128k 44.1k
    EXPECT_TRUE(frame_header_test(read_header(0xFFFD9000u)));  // MPEG-1 Layer II
    EXPECT_TRUE(frame_header_test(read_header(0xFFF39000u)));  // MPEG-2 Layer III
    EXPECT_TRUE(frame_header_test(read_header(0xFFE39000u)));  // MPEG-2.5 Layer III
}

TEST(FrameHeader, RejectsEachForbiddenField) {
    EXPECT_FALSE(frame_header_test(read_header(0xFFDB9000u)));  // sync bit missing
    EXPECT_FALSE(frame_header_test(read_header(0xFFEB9000u)));  // version 01 reserved
    EXPECT_FALSE(frame_header_test(read_header(0xFFFF9000u)));  // Layer I
    EXPECT_FALSE(frame_header_test(read_header(0xFFF99000u)));  // layer 00 reserved
    EXPECT_FALSE(frame_header_test(read_header(0xFFFB0000u)));  // free format
    EXPECT_FALSE(frame_header_test(read_header(0xFFFBF000u)));  // bit-rate index 15
    EXPECT_FALSE(frame_header_test(read_header(0xFFFB9C00u)));  // sampling index 3 reserved
}

TEST(FrameHeader, NeverReadsPastTheData) {
    const unsigned char h[4] = {0xFF, 0xFB, 0x90, 0x00};
    EXPECT_EQ(frame_len_at(h, 0, 4), 417);
    EXPECT_EQ(frame_len_at(h, 0, 3), 0);
    EXPECT_EQ(frame_len_at(h, 1, 4), 0);
    EXPECT_EQ(frame_len_at(h, -1, 4), 0);
    const unsigned char t[3] = {'T', 'A', 'G'};
    EXPECT_TRUE(tag_block_at(t, 0, 3));
    EXPECT_FALSE(tag_block_at(t, 0, 2));
}

// Lengths as the ID3v2 format defines them: a 28-bit size in four bytes of
// seven bits, plus the 10-byte header and, when flagged, the footer.
TEST(Id3v2Length, CountsHeaderBodyAndFooterAndRefusesWhatIsNoHeader) {
    unsigned char h[10] = {'I', 'D', '3', 4, 0, 0x00, 0x00, 0x09, 0x5C, 0x3F};
    const int body = (0x09 << 14) | (0x5C << 7) | 0x3F;  // 163391 bytes
    EXPECT_EQ(almp3_get_id3v2_length(h, 10), 10 + body);
    h[5] = 0x10;  // footer present
    EXPECT_EQ(almp3_get_id3v2_length(h, 10), 20 + body);
    h[6] = 0x7F, h[7] = 0x7F, h[8] = 0x7F, h[9] = 0x7F;  // the largest size
    EXPECT_EQ(almp3_get_id3v2_length(h, 10), 20 + 0x0FFFFFFF);

    EXPECT_EQ(almp3_get_id3v2_length(h, 9), 0);
    EXPECT_EQ(almp3_get_id3v2_length(nullptr, 10), 0);
    unsigned char bad[10];
    std::memcpy(bad, h, 10);
    bad[8] = 0x80;  // a size byte with its top bit set
    EXPECT_EQ(almp3_get_id3v2_length(bad, 10), 0);
    std::memcpy(bad, h, 10);
    bad[3] = 0xFF;  // no version
    EXPECT_EQ(almp3_get_id3v2_length(bad, 10), 0);
    std::memcpy(bad, h, 10);
    bad[0] = 'T';
    EXPECT_EQ(almp3_get_id3v2_length(bad, 10), 0);
}

// Tags after the audio, built by their published layouts and stacked in the
// order taggers write them: APEv2, Lyrics3 v2, ID3v1 last. Each is found from
// its end, so peeling them one by one reaches the audio's end exactly.
TEST(TrailingTagLength, PeelsApeLyrics3Id3v1AndFooteredId3v2FromTheEnd) {
    std::vector<unsigned char> file(5000, 0x55);  // stands for audio
    const size_t audio_end = file.size();
    auto append = [&](const std::vector<unsigned char> &bytes) { file.insert(file.end(), bytes.begin(), bytes.end()); };
    auto le = [](uint32_t v) {
        return std::vector<unsigned char>{static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    };
    // ID3v2.4 appended with a footer: header, 300-byte body, footer "3DI".
    const std::vector<unsigned char> v24 = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 2, 44};
    append(v24);
    append(std::vector<unsigned char>(300, 0));
    std::vector<unsigned char> footer = v24;
    footer[0] = '3', footer[1] = 'D', footer[2] = 'I';
    append(footer);
    // APEv2 with header: header, 1000 bytes of items, footer; the size counts
    // items and footer.
    auto ape_block = [&](uint32_t flags) {
        std::vector<unsigned char> b = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
        for (uint32_t v : {2000u, 1032u, 1u, flags}) { const auto w = le(v); b.insert(b.end(), w.begin(), w.end()); }
        b.resize(32, 0);
        return b;
    };
    append(ape_block(0xA0000000u));
    append(std::vector<unsigned char>(1000, 'x'));
    append(ape_block(0x80000000u));
    // Lyrics3 v2: "LYRICSBEGIN", fields, the size of both, "LYRICS200".
    const std::string lyrics = "LYRICSBEGININD00002" "10" "LYR00005hello";
    append(std::vector<unsigned char>(lyrics.begin(), lyrics.end()));
    char size[7];
    std::snprintf(size, sizeof size, "%06zu", lyrics.size());
    append(std::vector<unsigned char>(size, size + 6));
    append({'L', 'Y', 'R', 'I', 'C', 'S', '2', '0', '0'});
    std::vector<unsigned char> v1(128, ' ');
    std::memcpy(v1.data(), "TAG", 3);
    append(v1);

    std::vector<int> peeled;
    size_t end = file.size();
    for (int n; (n = almp3_get_trailing_tag_length(file.data() + end - 128, 128)) > 0;) {
        ASSERT_LE(static_cast<size_t>(n), end);
        peeled.push_back(n);
        end -= static_cast<size_t>(n);
    }
    EXPECT_EQ(peeled, (std::vector<int>{128, static_cast<int>(lyrics.size()) + 15, 32 + 1032, 320}));
    EXPECT_EQ(end, audio_end);

    // Too few bytes to hold the footer, or a size that is not digits: no tag.
    EXPECT_EQ(almp3_get_trailing_tag_length(v1.data(), 127), 0);
    std::vector<unsigned char> bad(file.end() - 128 - 24, file.end() - 128);
    bad[bad.size() - 15] = 'x';  // the first size digit
    EXPECT_EQ(almp3_get_trailing_tag_length(bad.data(), static_cast<int>(bad.size())), 0);
    EXPECT_EQ(almp3_get_trailing_tag_length(nullptr, 128), 0);
}

TEST(FirstFrame, IsFoundBehindAnId3TagAndNotBeyondTheLimit) {
    const auto bytes = read_bytes(encoded_path("id3v2.mp3"));
    const auto f = find_first_frame(bytes.data(), kFirstFrameSearchLimit);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->offset, 3000);
    EXPECT_EQ(f->header.layer, 3);
    EXPECT_EQ(f->produced, 4608);
    EXPECT_EQ(format_of(*f).pcm_per_frame, 4608);

    // The same audio behind 28672 bytes of zeros is out of reach.
    std::vector<unsigned char> far(kFirstFrameSearchLimit, 0);
    const auto audio = read_bytes(encoded_path("cbr44100s.mp3"));
    far.insert(far.end(), audio.begin(), audio.end());
    EXPECT_FALSE(find_first_frame(far.data(), kFirstFrameSearchLimit));
}

TEST(FirstFrame, PassesOverFalseSyncAndAcceptsALoneFinalFrame) {
    const auto audio = read_bytes(encoded_path("cbr44100s.mp3"));
    // A sync pattern followed by rubbish, then the real stream.
    std::vector<unsigned char> data = {0xFF, 0xFB, 0x90, 0x00, 1, 2, 3, 4, 5};
    data.insert(data.end(), audio.begin(), audio.end());
    auto f = find_first_frame(data.data(), kFirstFrameSearchLimit);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->offset, 9);
    // A block that ends right after one complete frame.
    f = find_first_frame(audio.data(), 417);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->offset, 0);
    EXPECT_FALSE(find_first_frame(audio.data(), 416));
}

TEST(FirstFrame, WorksOutThePcmSizeWhenTheTrialGaveNone) {
    FirstFrame f{};
    f.header.layer = 3;
    f.header.lsf = 1;
    f.header.channels = 1;
    f.header.sampling_frequency = 5;  // 16 kHz
    EXPECT_EQ(format_of(f).pcm_per_frame, 576 * 2);
    f.header.layer = 2;
    f.header.channels = 2;
    EXPECT_EQ(format_of(f).pcm_per_frame, 1152 * 4);
}

std::vector<unsigned char> frame_with_xing(int distance, uint32_t flags, int avail) {
    std::vector<unsigned char> frame(static_cast<size_t>(avail), 0);
    std::memcpy(&frame[distance], "Xing", 4);
    const unsigned char f[4] = {0, 0, 0, static_cast<unsigned char>(flags)};
    std::memcpy(&frame[distance + 4], f, 4);
    int p = distance + 8;
    auto put = [&](uint32_t v) {
        for (int i = 0; i < 4 && p + i < avail; ++i) frame[p + i] = static_cast<unsigned char>(v >> (24 - 8 * i));
        p += 4;
    };
    if (flags & 1) put(900);
    if (flags & 2) put(123456);
    if (flags & 4) {
        for (int i = 0; i < 100 && p + i < avail; ++i) frame[p + i] = static_cast<unsigned char>(i * 2);
        p += 100;
    }
    if (flags & 8) put(77);
    return frame;
}

TEST(Xing, ReadsTheFlaggedFieldsAtTheDistanceForVersionAndMode) {
    FrameHeader stereo1{};  // MPEG-1 stereo: 36
    auto frame = frame_with_xing(36, 0x0F, 417);
    auto x = read_xing(frame.data(), 417, stereo1);
    ASSERT_TRUE(x);
    EXPECT_EQ(x->flags, 0x0F);
    EXPECT_EQ(x->frames, 900);
    EXPECT_EQ(x->bytes, 123456);
    EXPECT_EQ(x->toc[99], 198);
    EXPECT_EQ(x->scale, 77);

    FrameHeader mono2{};
    mono2.lsf = 1;
    mono2.mode = 3;  // MPEG-2 single channel: 13
    frame = frame_with_xing(13, 0x06, 200);
    x = read_xing(frame.data(), 200, mono2);
    ASSERT_TRUE(x);
    EXPECT_EQ(x->flags, 0x06);
    EXPECT_EQ(x->scale, -1);
    EXPECT_FALSE(read_xing(frame.data(), 200, stereo1));  // looked for at 36
}

TEST(Xing, IsNotReadWhenItWouldExtendPastTheData) {
    FrameHeader f{};
    auto frame = frame_with_xing(36, 0x0F, 36 + 8 + 4 + 4 + 100 + 3);
    EXPECT_FALSE(read_xing(frame.data(), static_cast<int>(frame.size()), f));
    EXPECT_FALSE(read_xing(frame.data(), 39, f));
}

// lame writes "Info" for CBR with the layout of "Xing"; in both the counts
// leave out the header's own frame, which mpg123 decodes as one silent
// frame, and the byte count covers every frame from the header's on.
TEST(Xing, LameHeadersCountTheFramesAndBytesTheReferenceDecodes) {
    for (const char *name : {"cbr44100s.mp3", "vbr44100s.mp3", "cbr8000s.mp3"}) {
        SCOPED_TRACE(name);
        const auto bytes = read_bytes(encoded_path(name));
        const auto f = find_first_frame(bytes.data(), kFirstFrameSearchLimit);
        ASSERT_TRUE(f);
        auto x = read_xing(bytes.data() + f->offset, 4000, f->header);
        ASSERT_TRUE(x);
        const int64_t ref_frames =
            static_cast<int64_t>(raw_pcm(name).size()) / (format_of(*f).pcm_per_frame / 2);
        EXPECT_EQ(xing_total_frames(*x), ref_frames);
        EXPECT_EQ(x->bytes, static_cast<int>(bytes.size()) - f->offset);
        EXPECT_TRUE(xing_fits(*x, x->bytes));
        // Two such songs joined: the header describes only the first.
        EXPECT_FALSE(xing_fits(*x, 2 * int64_t{x->bytes}));
        }
}

TEST(Xing, ACountNoDataOfThatLengthCouldHoldDoesNotFit) {
    XingInfo x{};
    x.flags = kXingFrames;
    x.frames = 100000;  // frames of at least 24 bytes: 2.4 MB at the least
    EXPECT_FALSE(xing_fits(x, 50000));
    x.frames = 10;  // frames of at most 2881 bytes: 31691 bytes at the most
    EXPECT_FALSE(xing_fits(x, 50000));
    x.frames = 100;
    EXPECT_TRUE(xing_fits(x, 50000));
}

// The table of contents as the format defines it: entry i is the byte
// position, in 256ths of the audio, of the point at i percent of the
// duration; places between entries lie on the straight line between them.
TEST(XingToc, MapsThePercentOfTheDurationToTheByteFraction) {
    XingInfo x{};
    x.flags = kXingFrames | kXingToc;
    // The first half of the duration in the first 100/256 of the bytes.
    for (int i = 0; i < 100; ++i) x.toc[i] = static_cast<unsigned char>(i < 50 ? 2 * i : 100 + 3 * (i - 50));
    constexpr int64_t kFrames = 1000;
    constexpr int64_t kBytes = 256000;
    EXPECT_EQ(xing_toc_offset(x, 0, kFrames, kBytes), 0);
    EXPECT_EQ(xing_toc_offset(x, 300, kFrames, kBytes), 60 * 1000);   // 30 %: entry 60
    EXPECT_EQ(xing_toc_offset(x, 305, kFrames, kBytes), 61 * 1000);   // 30.5 %: halfway to 62
    EXPECT_EQ(xing_toc_offset(x, 500, kFrames, kBytes), 100 * 1000);  // 50 %: entry 100
    EXPECT_EQ(xing_toc_offset(x, 700, kFrames, kBytes), 160 * 1000);  // 70 %: entry 160
    // Past the last entry (99 %: 247) the line runs to the end (256).
    EXPECT_EQ(xing_toc_offset(x, 995, kFrames, kBytes), 251500);
}

TEST(Pcm, FlipsTheTopBitOfEverySample) {
    int16_t s[4] = {0, -1, 32767, -32768};
    copy_to_unsigned(reinterpret_cast<unsigned char *>(s), reinterpret_cast<unsigned char *>(s), sizeof s);
    uint16_t u[4];
    std::memcpy(u, s, sizeof s);
    EXPECT_EQ(u[0], 0x8000);
    EXPECT_EQ(u[1], 0x7FFF);
    EXPECT_EQ(u[2], 0xFFFF);
    EXPECT_EQ(u[3], 0x0000);
}

TEST(Pcm, FlipsSamplesBeyondTheLastWholeWord) {
    int16_t s[5] = {1, 2, 3, 4, -2};
    copy_to_unsigned(reinterpret_cast<unsigned char *>(s), reinterpret_cast<unsigned char *>(s), sizeof s);
    uint16_t u[5];
    std::memcpy(u, s, sizeof s);
    EXPECT_EQ(u[3], 0x8004);
    EXPECT_EQ(u[4], 0x7FFE);
}

}  // namespace
