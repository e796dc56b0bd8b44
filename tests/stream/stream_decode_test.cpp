// Whole files through the feeding protocol, in the player's block and buffer
// sizes: the PCM equals mpg123's default decode, every frame is counted,
// and the output closes with exactly two silent buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "stream_feeder.h"
#include "test_files.h"

namespace {

constexpr char kLame[] = "LAME";

TEST(StreamDecode, EveryEncodedFileMatchesTheReferenceThroughThePlayerProtocol) {
    const auto files = encoded_files();
    ASSERT_GT(files.size(), 20u);
    for (const auto &f : files) {
        SCOPED_TRACE(f.name);
        const auto ref = reference_pcm(f.name);
        const auto bytes = read_bytes(encoded_path(f.name));
        const ProtocolRun run = run_protocol(bytes);
        ASSERT_TRUE(run.created);
        ASSERT_GE(run.results.size(), 3u);
        EXPECT_EQ(run.results.back(), ALMP3_POLL_FINISHED);
        EXPECT_EQ(std::count(run.results.begin(), run.results.end(), ALMP3_POLL_OK), run.results.size() - 1);
        // Every frame of audio the headers lay out (an Info frame is none).
        EXPECT_EQ(run.frames, audio_frames_within(bytes, bytes.size()));

        // The data, then silence to the end of its buffer, then two silent
        // buffers.
        const size_t per_buffer = static_cast<size_t>(run.buffer_bytes) / 2;
        const size_t data_buffers = (ref.size() + per_buffer - 1) / per_buffer;
        EXPECT_EQ(static_cast<size_t>(run.buffers), data_buffers + 2);
        ASSERT_EQ(run.pcm.size(), static_cast<size_t>(run.buffers) * per_buffer);
        const std::vector<int16_t> head(run.pcm.begin(), run.pcm.begin() + ref.size());
        EXPECT_LE(max_sample_diff(head, ref), 1);
        EXPECT_TRUE(std::all_of(run.pcm.begin() + ref.size(), run.pcm.end(), [](int16_t v) { return v == 0; }));
    }
}

// A Xing header with its frame count but without a LAME tag (its name
// blanked): mpg123 passes the frame over and trims its own synthesis delay
// in front, nothing else.
TEST(StreamDecode, AXingHeaderWithoutALameTagDecodesAsMpg123Does) {
    auto bytes = read_bytes(encoded_path("vbr44100s.mp3"));
    const auto name = std::search(bytes.begin(), bytes.end(), kLame, kLame + 4);
    ASSERT_NE(name, bytes.end());
    std::fill_n(name, 4, 0);
    ASSERT_TRUE(info_frame(bytes).present && !info_frame(bytes).lame);
    const auto ref = command_line_decode_bytes(bytes);
    const ProtocolRun run = run_protocol(bytes);
    EXPECT_EQ(run.results.back(), ALMP3_POLL_FINISHED);
    EXPECT_EQ(run.frames, audio_frames_within(bytes, bytes.size()));
    ASSERT_GE(run.pcm.size(), ref.size());
    EXPECT_LE(max_sample_diff(head(run.pcm, ref.size()), ref), 1);
}

TEST(StreamDecode, BlocksSmallForTheBufferStillPlayToTheEndWithoutGaps) {
    // 14 frames of 417 bytes per buffer need more than two 2048-byte blocks:
    // a poll uses up the blocks at hand, so the object asks for the next
    // block instead of reporting the caller late, and keeps filling the same
    // buffer at the next poll: the sound has no silence in it.
    const auto ref = reference_pcm("cbr44100s.mp3");
    const ProtocolRun run = run_protocol(read_bytes(encoded_path("cbr44100s.mp3")), 2048, kPlayerBuffer);
    EXPECT_EQ(run.results.back(), ALMP3_POLL_FINISHED);
    ASSERT_GE(run.pcm.size(), ref.size());
    const std::vector<int16_t> head(run.pcm.begin(), run.pcm.begin() + static_cast<long>(ref.size()));
    EXPECT_LE(max_sample_diff(head, ref), 1);
}

TEST(StreamDecode, AStreamCutInTheMiddlePlaysSilenceUntilItsFramesAreWhole) {
    // Side information of MPEG-1, 2 and 2.5, stereo and mono, VBR, and
    // behind a CRC.
    for (const char *name : {"cbr44100s.mp3", "vbr48000s.mp3", "cbr32000m.mp3", "cbr22050s.mp3", "vbr16000m.mp3",
                             "cbr11025s.mp3", "crc44100s.mp3"}) {
        SCOPED_TRACE(name);
        const CutFile cut = cut_layer3_file(name);
        ASSERT_GT(cut.silent_samples, 0u);
        const ProtocolRun run = run_protocol(cut.bytes);
        EXPECT_EQ(static_cast<size_t>(run.frames) * cut.frame_pcm_bytes / 2, cut.expected.size());
        ASSERT_GE(run.pcm.size(), cut.expected.size());
        const auto silent_end = run.pcm.begin() + static_cast<long>(cut.silent_samples);
        EXPECT_TRUE(std::all_of(run.pcm.begin(), silent_end, [](int16_t v) { return v == 0; }));
        // Behind a CRC, libmpg123's decode of the first frame after the
        // silence can still differ by a few LSB: it is left out.
        const bool crc = std::string(name) == "crc44100s.mp3";
        const long from = static_cast<long>(cut.silent_samples) + (crc ? cut.frame_pcm_bytes / 2 : 0);
        const auto expected_end = run.pcm.begin() + static_cast<long>(cut.expected.size());
        EXPECT_LE(max_sample_diff(std::vector<int16_t>(run.pcm.begin() + from, expected_end),
                                  std::vector<int16_t>(cut.expected.begin() + from, cut.expected.end())),
                  1);
    }
}

}  // namespace
