// Damaged and unusual input through the player's feeding protocol: flipped
// bits, runs of garbage shorter and longer than the search limit, files cut
// anywhere and a tag block in the middle of the data. Nothing may crash or
// write outside a buffer (the sanitizer build checks the latter).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "stream_feeder.h"
#include "test_files.h"

namespace {

constexpr size_t kTagBlockLen = 128;  // an ID3v1 block

std::vector<unsigned char> with_insert(const std::vector<unsigned char> &file, size_t at,
                                       const std::vector<unsigned char> &insert) {
    std::vector<unsigned char> out(file.begin(), file.begin() + static_cast<long>(at));
    out.insert(out.end(), insert.begin(), insert.end());
    out.insert(out.end(), file.begin() + static_cast<long>(at), file.end());
    return out;
}

TEST(StreamDamage, FlippedBitsCostAFewFramesAtMost) {
    for (const char *name : {"cbr44100s.mp3", "vbr44100s.mp3", "l2_44100s.mp2", "cbr8000s.mp3"}) {
        const auto clean = read_bytes(encoded_path(name));
        const int ref_frames = audio_frames_within(clean, clean.size());
        for (unsigned seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE(std::string(name) + " seed " + std::to_string(seed));
            auto bytes = clean;
            std::mt19937 rng(seed);
            constexpr int kFlips = 40;
            for (int i = 0; i < kFlips; ++i) {
                const size_t at = 2000 + rng() % (bytes.size() - 2000);
                bytes[at] ^= static_cast<unsigned char>(1u << (rng() % 8));
            }
            const ProtocolRun run = run_protocol(bytes);
            ASSERT_TRUE(run.created);
            EXPECT_EQ(run.results.back(), ALMP3_POLL_FINISHED);
            // A flip in a header costs at most the frames the decoder held.
            EXPECT_GE(run.frames, ref_frames - 4 * kFlips);
            EXPECT_LE(run.frames, ref_frames + kFlips);
        }
    }
}

// Garbage shorter than the search limit is passed over: the frame it splits
// decodes to noise (or is lost), the rest are all there. Longer garbage
// stops playback, but only once the sound before it has been handed over
// and two silent buffers have followed. The search keeps its count from
// poll to poll: blocks of 4096 bytes, whose window is shorter than the
// limit, end the same way, within a bounded number of polls.
TEST(StreamDamage, GarbageIsPassedOverWithinTheSearchLimitAndStopsPlaybackBeyondIt) {
    const auto clean = read_bytes(encoded_path("cbr44100s.mp3"));
    const auto ref = reference_pcm("cbr44100s.mp3");
    const int before = audio_frames_within(clean, 40000);
    for (const size_t len : {size_t{10000}, size_t{20000}}) {
        SCOPED_TRACE(len);
        const bool lost = len > 16384;
        const auto damaged = with_insert(clean, 40000, sync_free_bytes(len, 9));
        const ProtocolRun run = run_protocol(damaged);
        ASSERT_TRUE(run.created);
        EXPECT_EQ(run.results.back(), lost ? ALMP3_POLL_DAMAGED : ALMP3_POLL_FINISHED);
        EXPECT_NEAR(run.frames, lost ? before : audio_frames_within(clean, clean.size()), lost ? 1 : 2);
        const size_t samples = default_samples(clean, before - 1);
        EXPECT_LE(max_sample_diff(head(run.pcm, samples), head(ref, samples)), 1);
        const size_t buffer_samples = static_cast<size_t>(run.buffer_bytes) / 2;
        ASSERT_GE(run.pcm.size(), 2 * buffer_samples);
        const std::vector<int16_t> tail(run.pcm.end() - static_cast<long>(2 * buffer_samples), run.pcm.end());
        EXPECT_EQ(tail, std::vector<int16_t>(tail.size(), 0));
        EXPECT_EQ(static_cast<size_t>(run.buffers), run.results.size());

        const ProtocolRun small = run_protocol(damaged, 4096, kPlayerBuffer, 200);
        EXPECT_EQ(small.results.back(), run.results.back());
        EXPECT_EQ(small.frames, run.frames);
    }
}

// Tags found where a frame should start, and zero padding after the last
// frame, are passed over by their sizes, whatever the blocks. An ID3v2 tag
// starts another song (two songs joined): mpg123 decodes what follows
// afresh but untrimmed, its Info frame as a silent frame, and so does the
// layer. An APEv2 tag or Lyrics3 block between
// frames leaves the frames around it as they are in the file without it.
TEST(StreamDamage, TagsAndPaddingBetweenFramesArePassedOver) {
    const auto clean = read_bytes(encoded_path("cbr44100s.mp3"));
    const auto clean_ref = reference_pcm("cbr44100s.mp3");
    const size_t boundary = mpeg_frames(clean)[100].offset;

    // An ID3v2 tag whose picture holds sync patterns.
    std::vector<unsigned char> song = {'I', 'D', '3', 3, 0, 0, 0, 2, 0x38, 0x40};  // 40000-byte body
    const auto picture = sync_free_bytes(40000, 11);
    song.insert(song.end(), picture.begin(), picture.end());
    for (size_t i = 10; i < song.size(); i += 997) song[i] = 0xFF, song[i + 1] = 0xFB;
    auto joined = clean;
    joined.insert(joined.end(), song.begin(), song.end());
    joined.insert(joined.end(), clean.begin(), clean.end());
    joined.resize(joined.size() + 30000, 0);
    const auto joined_ref = command_line_decode_bytes(joined);
    ASSERT_EQ(joined_ref.size(), clean_ref.size() + raw_pcm("cbr44100s.mp3").size());
    const int song_frames = audio_frames_within(clean, clean.size());
    const int joined_frames = song_frames + static_cast<int>(mpeg_frames(clean).size());

    // An APEv2 tag with a header and a Lyrics3 v2 block.
    const std::vector<unsigned char> ape = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 0x07, 0, 0,
                                            0x60, 0,   0,   0,   1,   0,   0,   0,   0,    0,    0, 0xA0};
    std::vector<unsigned char> extra;
    for (int part = 0; part < 2; ++part) {
        extra.insert(extra.end(), ape.begin(), ape.end());
        extra.resize(extra.size() + 8, 0);
        if (part == 0) extra.resize(extra.size() + 64, 0xFF);
    }
    extra[extra.size() - 9] = 0x80;  // the footer's flags: a tag with a header
    const std::string lyrics = "LYRICSBEGININD0000210LYR00005hello000029LYRICS200";
    extra.insert(extra.end(), lyrics.begin(), lyrics.end());
    auto tagged = with_insert(clean, boundary, extra);

    for (const auto &[bytes, ref] : {std::pair{&joined, &joined_ref}, std::pair{&tagged, &clean_ref}}) {
        for (int block : {kPlayerBlock, 4096}) {
            SCOPED_TRACE(std::to_string(block) + (bytes == &joined ? " joined" : " tagged"));
            const ProtocolRun run = run_protocol(*bytes, block);
            ASSERT_TRUE(run.created);
            EXPECT_EQ(run.results.back(), ALMP3_POLL_FINISHED);
            EXPECT_EQ(run.frames, bytes == &joined ? joined_frames : song_frames);
            EXPECT_LE(max_sample_diff(head(run.pcm, ref->size()), *ref), 1);
        }
    }
}

TEST(StreamDamage, FilesCutAnywhereEndNormally) {
    const auto clean = read_bytes(encoded_path("cbr44100s.mp3"));
    const auto ref = reference_pcm("cbr44100s.mp3");
    for (size_t cut : {size_t{900}, size_t{32768}, size_t{32768 + 123}, size_t{65536 + 7}, clean.size() - 200}) {
        SCOPED_TRACE(cut);
        const std::vector<unsigned char> bytes(clean.begin(), clean.begin() + static_cast<long>(cut));
        const ProtocolRun run = run_protocol(bytes);
        ASSERT_TRUE(run.created);
        EXPECT_EQ(run.results.back(), ALMP3_POLL_FINISHED);
        // Every whole frame before the cut, as the reference decodes it.
        EXPECT_NEAR(run.frames, audio_frames_within(clean, cut), 1);
        const size_t samples = default_samples(clean, run.frames);
        EXPECT_LE(max_sample_diff(head(run.pcm, samples), head(ref, samples)), 1);
    }
}

// A frame of MPEG-2 Layer II, 8 kbit/s at 24000 Hz, single channel: 48 bytes
// of which the body is silence.
constexpr unsigned char kSmallHeader[4] = {0xFF, 0xF5, 0x14, 0xC0};
constexpr int kSmallFrame = 48;

TEST(StreamDamage, ATagBlockBetweenFramesIsSkippedUnfed) {
    // The tag's text holds two small frames: fed or searched, they would be
    // decoded.
    const auto clean = read_bytes(encoded_path("l2_44100s.mp2"));
    const auto ref = reference_pcm("l2_44100s.mp2");
    const size_t first = mpeg_frames(clean)[1].offset;
    std::vector<unsigned char> tag(kTagBlockLen, 0);
    std::memcpy(tag.data(), "TAG", 3);
    std::memcpy(tag.data() + 3, kSmallHeader, 4);
    std::memcpy(tag.data() + 3 + kSmallFrame, kSmallHeader, 4);
    const ProtocolRun run = run_protocol(with_insert(clean, first, tag));

    ASSERT_TRUE(run.created);
    EXPECT_EQ(run.results.back(), ALMP3_POLL_FINISHED);
    EXPECT_EQ(run.frames, audio_frames_within(clean, clean.size()));
    EXPECT_LE(max_sample_diff(run.pcm, ref), 1);
}

TEST(StreamDamage, AMalformedFrameLargerThanTheBufferIsPassedOver) {
    // A mono Layer II stream played one frame per buffer, with a stereo
    // Layer II frame inside whose joint-stereo bound the decoder refuses: its
    // PCM would not fit even an empty buffer, and it must not hold up the
    // poll.
    const auto clean = read_bytes(encoded_path("l2_44100m.mp2"));
    const size_t pos = mpeg_frames(clean)[10].offset;
    std::vector<unsigned char> bad(104, 0);
    const unsigned char header[4] = {0xFF, 0xFD, 0x10, 0x70};
    std::memcpy(bad.data(), header, sizeof header);
    const auto damaged = with_insert(clean, pos, bad);

    const ProtocolRun run = run_protocol(damaged, kPlayerBlock, 2304);
    ASSERT_TRUE(run.created);
    EXPECT_EQ(run.results.back(), ALMP3_POLL_FINISHED);
    EXPECT_EQ(run.frames, audio_frames_within(clean, clean.size()));
}

}  // namespace
