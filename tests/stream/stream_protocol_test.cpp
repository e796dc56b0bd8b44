// Playing, stopping and feeding a streaming object: the audio stream it
// opens, what a poll does in each state, the block exchange with its odd
// calls, how the data's end closes the output, and a stream whose frames
// change size midway.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "fake_allegro.h"
#include "stream_feeder.h"
#include "test_files.h"

namespace {

constexpr int kStereoFramePcm = 4608;  // MPEG-1, 1152 samples, two channels
constexpr int kStereoFrameSamples = kStereoFramePcm / 2;
constexpr int kFramesPerBuffer = kPlayerBuffer / kStereoFramePcm;  // 14

TEST(StreamPlayback, OpensAWholeNumberOfFramesPerBufferAndPassesTheSettingsOn) {
    FedSong song("cbr44100s.mp3");
    Mp3Stream *s = song.s.get();
    ASSERT_NE(s, nullptr);
    int size = 12345;
    EXPECT_EQ(almp3_poll_mp3stream(s), ALMP3_POLL_NOT_PLAYING);
    EXPECT_EQ(almp3_get_output_wave_mp3stream(s, &size), nullptr);
    EXPECT_EQ(size, 12345);
    EXPECT_EQ(almp3_play_ex_mp3stream(s, kStereoFramePcm - 1, 255, 128, 1000), ALMP3_PLAY_BUFFER_TOO_SMALL);
    EXPECT_EQ(almp3_is_playing_mp3stream(s), ALMP3_FALSE);

    ASSERT_EQ(almp3_play_ex_mp3stream(s, kPlayerBuffer, 200, 60, 1000), ALMP3_PLAY_OK);
    EXPECT_EQ(almp3_is_playing_mp3stream(s), ALMP3_TRUE);
    const auto play = fake_allegro::last_play();
    EXPECT_EQ(play.len, kFramesPerBuffer * 1152);
    EXPECT_EQ(play.bits, 16);
    EXPECT_EQ(play.stereo, ALMP3_TRUE);
    EXPECT_EQ(play.freq, 44100);
    EXPECT_EQ(play.vol, 200);
    EXPECT_EQ(play.pan, 60);
    EXPECT_EQ(fake_allegro::adjust_calls(), 0);
    EXPECT_NE(almp3_get_output_wave_mp3stream(s, &size), nullptr);
    EXPECT_EQ(size, kFramesPerBuffer * kStereoFramePcm);

    // Playing again changes nothing.
    EXPECT_EQ(almp3_play_ex_mp3stream(s, kStereoFramePcm, 1, 2, 3), ALMP3_PLAY_OK);
    EXPECT_EQ(fake_allegro::streams_open(), 1);
    EXPECT_EQ(fake_allegro::last_play().vol, 200);

    almp3_adjust_mp3stream(s, 90, 30, 1500);
    const auto adjust = fake_allegro::last_adjust();
    EXPECT_EQ(adjust.vol, 90);
    EXPECT_EQ(adjust.pan, 30);
    EXPECT_EQ(adjust.freq, 1500);
    EXPECT_NE(adjust.loop, 0);
    almp3_stop_mp3stream(s);
    EXPECT_EQ(fake_allegro::streams_open(), 0);

    // A speed other than normal is set right after opening; a buffer of
    // exactly one frame is enough.
    ASSERT_EQ(almp3_play_ex_mp3stream(s, kStereoFramePcm, 10, 20, 800), ALMP3_PLAY_OK);
    EXPECT_EQ(fake_allegro::adjust_calls(), 2);
    EXPECT_EQ(fake_allegro::last_adjust().freq, 800);
    song.s.reset();
    EXPECT_EQ(fake_allegro::streams_open(), 0);
}

TEST(StreamPlayback, AnAudioStreamThatCannotOpenLeavesTheObjectStopped) {
    FedSong song("cbr44100s.mp3");
    Mp3Stream *s = song.s.get();
    ASSERT_NE(s, nullptr);
    almp3_start_autopoll_mp3stream(s, 5);
    fake_allegro::set_play_fails(true);
    EXPECT_EQ(almp3_play_ex_mp3stream(s, kPlayerBuffer, 255, 128, 2000), ALMP3_PLAY_OK);
    fake_allegro::set_play_fails(false);
    EXPECT_EQ(almp3_is_playing_mp3stream(s), ALMP3_FALSE);
    EXPECT_EQ(fake_allegro::adjust_calls(), 0);
    EXPECT_EQ(fake_allegro::timers_installed(), 0);
    EXPECT_EQ(almp3_poll_mp3stream(s), ALMP3_POLL_NOT_PLAYING);
}

TEST(StreamPlayback, APollWithoutAFreeBufferConsumesNothing) {
    // The generator put a 3000-byte tag in front of the first frame.
    FedSong song("id3v2.mp3");
    Mp3Stream *s = song.s.get();
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(mpeg_frames(song.bytes).front().offset, 3000u);
    ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
    fake_allegro::set_free_buffers(0);
    EXPECT_EQ(almp3_poll_mp3stream(s), ALMP3_POLL_OK);
    EXPECT_EQ(almp3_get_pos_bytes_mp3stream(s), 3000);
    EXPECT_EQ(almp3_get_pos_frames_mp3stream(s), 0);
    EXPECT_EQ(fake_allegro::buffers_handed_back(), 0);
    // Once a buffer is free, the first frame is decoded from the start.
    fake_allegro::set_free_buffers(fake_allegro::kUnlimited);
    EXPECT_EQ(play_to_end(s, song.source), ALMP3_POLL_FINISHED);
    EXPECT_TRUE(captured_begins_with(song.ref));
}

// Stopping (then playing again) and a caller that stops feeding (then
// catches up): both audio streams together carry the whole song, without a
// gap or a repeat, and the stop leaves the place in the data as it was.
TEST(StreamPlayback, PlayingAgainGoesOnWithTheNextFrame) {
    for (const bool starve : {false, true}) {
        SCOPED_TRACE(starve ? "never fed" : "stopped");
        FedSong song("cbr44100s.mp3");
        Mp3Stream *s = song.s.get();
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
        int result = ALMP3_POLL_OK;
        for (int polls = 0; result == ALMP3_POLL_OK && polls < (starve ? 100 : 3); ++polls) {
            if (!starve) song.source.feed(s);
            result = almp3_poll_mp3stream(s);
        }
        const int frames = almp3_get_pos_frames_mp3stream(s);
        const int bytes = almp3_get_pos_bytes_mp3stream(s);
        if (starve) {
            // Every frame wholly inside the first block is heard, then the
            // caller is late.
            EXPECT_EQ(result, ALMP3_POLL_STARVED);
            EXPECT_EQ(frames, audio_frames_within(song.bytes, kPlayerBlock));
        } else {
            EXPECT_EQ(result, ALMP3_POLL_OK);
            almp3_stop_mp3stream(s);
            EXPECT_EQ(almp3_get_pos_frames_mp3stream(s), frames);
            EXPECT_EQ(almp3_get_pos_bytes_mp3stream(s), bytes);
        }
        EXPECT_EQ(almp3_is_playing_mp3stream(s), ALMP3_FALSE);
        EXPECT_EQ(almp3_poll_mp3stream(s), ALMP3_POLL_NOT_PLAYING);

        ASSERT_EQ(almp3_play_mp3stream(s, kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
        EXPECT_EQ(play_to_end(s, song.source), ALMP3_POLL_FINISHED);
        EXPECT_EQ(almp3_get_pos_frames_mp3stream(s), audio_frames_within(song.bytes, song.bytes.size()));
        // A starved stream handed its last buffer back completed with
        // silence; the sound goes on after it.
        const auto pcm = fake_allegro::captured_signed();
        const size_t before = default_samples(song.bytes, frames);
        const size_t buffer = kFramesPerBuffer * kStereoFrameSamples;
        const size_t gap = starve ? (buffer - before % buffer) % buffer : 0;
        ASSERT_GE(pcm.size(), song.ref.size() + gap);
        EXPECT_LE(max_sample_diff(head(pcm, before), head(song.ref, before)), 1);
        EXPECT_LE(max_sample_diff(std::vector<int16_t>(pcm.begin() + static_cast<long>(before + gap),
                                                       pcm.begin() + static_cast<long>(song.ref.size() + gap)),
                                  std::vector<int16_t>(song.ref.begin() + static_cast<long>(before), song.ref.end())),
                  1);
    }
}

// However the data ends (within the first block, at a buffer's end, or
// after whole blocks followed by an empty final one), every whole frame is
// heard, the last buffer of sound is followed by two silent ones, and the
// object asks for no block after the final one. Layer II frames, which no
// trim moves off the buffers' bounds.
TEST(StreamFeeding, TheDataEndsWithTwoSilentBuffers) {
    const auto file = read_bytes(encoded_path("l2_44100s.mp2"));
    const auto ref = reference_pcm("l2_44100s.mp2");
    ASSERT_FALSE(info_frame(file).present);
    const auto frames = mpeg_frames(file);
    const size_t two_buffers = frames[2 * kFramesPerBuffer].offset;
    struct Case {
        const char *what;
        size_t bytes;
        int block;
        int blocks;  // handed over, the first included
    };
    for (const Case &c : {Case{"within one block", 20000, kPlayerBlock, 1},
                          Case{"at a buffer's end", two_buffers, kPlayerBlock, 1},
                          Case{"two whole blocks", 2 * 8192, 8192, 3}}) {
        SCOPED_TRACE(c.what);
        const std::vector<unsigned char> part(file.begin(), file.begin() + static_cast<long>(c.bytes));
        const ProtocolRun run = run_protocol(part, c.block);
        ASSERT_TRUE(run.created);
        const int whole = frames_within(file, c.bytes);
        EXPECT_EQ(run.frames, whole);
        const int buffers = (whole + kFramesPerBuffer - 1) / kFramesPerBuffer + 2;
        std::vector<int> expected(static_cast<size_t>(buffers), ALMP3_POLL_OK);
        expected.back() = ALMP3_POLL_FINISHED;
        EXPECT_EQ(run.results, expected);
        EXPECT_EQ(run.buffers, buffers);
        EXPECT_FALSE(fake_allegro::buffer_was_silent(buffers - 3));
        EXPECT_TRUE(fake_allegro::buffer_was_silent(buffers - 2));
        EXPECT_TRUE(fake_allegro::buffer_was_silent(buffers - 1));
        const size_t samples = static_cast<size_t>(whole) * kStereoFrameSamples;
        EXPECT_LE(max_sample_diff(head(run.pcm, samples), head(ref, samples)), 1);
        // Nothing was lent after the final block.
        EXPECT_EQ(run.blocks, c.blocks);
    }
}

// Counts outside the protocol: one larger than a block is taken as a whole
// final block, other negative counts than the whole-block one as an empty
// final block; once the final block is in, nothing more is lent and a
// stray give-back is ignored, also when the final block has become the
// current one.
TEST(StreamFeeding, OddCountsAndGivingBackWithoutALoanAreSafe) {
    const auto file = read_bytes(encoded_path("cbr44100s.mp3"));
    const auto ref = reference_pcm("cbr44100s.mp3");
    for (const int count : {100000, -7}) {
        SCOPED_TRACE(count);
        fake_allegro::reset();
        StreamPtr s(almp3_create_mp3stream(file.data(), kPlayerBlock, 0));
        ASSERT_NE(s, nullptr);
        auto *lent = static_cast<unsigned char *>(almp3_get_mp3stream_buffer(s.get()));
        ASSERT_NE(lent, nullptr);
        std::memcpy(lent, file.data() + kPlayerBlock, kPlayerBlock);
        almp3_free_mp3stream_buffer(s.get(), count);
        ASSERT_EQ(almp3_play_mp3stream(s.get(), kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
        int result = ALMP3_POLL_OK;
        for (int polls = 0; result == ALMP3_POLL_OK && polls < 100; ++polls) {
            EXPECT_EQ(almp3_get_mp3stream_buffer(s.get()), nullptr);
            almp3_free_mp3stream_buffer(s.get(), ALMP3_WHOLE_BLOCK);
            result = almp3_poll_mp3stream(s.get());
        }
        EXPECT_EQ(result, ALMP3_POLL_FINISHED);
        const size_t given = count > 0 ? 2 * kPlayerBlock : kPlayerBlock;
        EXPECT_EQ(almp3_get_pos_frames_mp3stream(s.get()), audio_frames_within(file, given));
        const size_t samples = default_samples(file, audio_frames_within(file, given));
        EXPECT_LE(max_sample_diff(head(fake_allegro::captured_signed(), samples), head(ref, samples)), 1);
    }
}

TEST(StreamFeeding, AStreamThatTurnsStereoMidwayLosesNothing) {
    // A mono file followed by a stereo one: stereo frames are twice the
    // buffer's frame size. What does not fit the rest of a buffer runs on
    // into the next one, even with buffers of one mono frame. mpg123 trims
    // the mono song by its LAME tag and plays the stereo one whole, its
    // Info frame as silence.
    const auto mono = read_bytes(encoded_path("cbr44100m.mp3"));
    const auto stereo = read_bytes(encoded_path("cbr44100s.mp3"));
    const auto mono_ref = reference_pcm("cbr44100m.mp3");
    std::vector<unsigned char> both = mono;
    both.insert(both.end(), stereo.begin(), stereo.end());
    const auto both_ref = command_line_decode_bytes(both);
    ASSERT_GT(both_ref.size(), mono_ref.size());

    for (int buffer_len : {kPlayerBuffer, kStereoFramePcm / 2 * 3, kStereoFramePcm / 2}) {
        SCOPED_TRACE(buffer_len);
        const ProtocolRun run = run_protocol(both, kPlayerBlock, buffer_len);
        EXPECT_EQ(run.results.back(), ALMP3_POLL_FINISHED);
        EXPECT_EQ(run.frames, audio_frames_within(both, both.size()));
        ASSERT_GE(run.pcm.size(), both_ref.size());
        EXPECT_LE(max_sample_diff(head(run.pcm, mono_ref.size()), mono_ref), 1);
        // The synthesis filter carries on from the mono part, so the first
        // stereo frames may differ a little from mpg123's.
        const auto tail = run.pcm.begin() + static_cast<long>(mono_ref.size());
        EXPECT_GT(psnr_db(std::vector<int16_t>(tail, run.pcm.begin() + static_cast<long>(both_ref.size())),
                          std::vector<int16_t>(both_ref.begin() + static_cast<long>(mono_ref.size()), both_ref.end())),
                  60.0);
    }
}

}  // namespace
