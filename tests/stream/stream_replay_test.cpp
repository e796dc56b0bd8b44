// A stream played again after it reported damaged data: the search for the
// next frame starts a new count, so the frames after a long run of rubbish
// are found and heard.
#include <gtest/gtest.h>

#include "fake_allegro.h"
#include "stream_feeder.h"
#include "test_files.h"

namespace {

TEST(StreamReplay, PlayingAgainAfterDamageSearchesOnAndFindsTheFramesAfterIt) {
    fake_allegro::reset();
    const auto clean = read_bytes(encoded_path("l2_44100s.mp2"));
    const auto ref = reference_pcm("l2_44100s.mp2");
    // Layer II frames stand alone, so the frames after the rubbish decode as
    // in the clean file.
    const auto frames = mpeg_frames(clean);
    auto damaged = clean;
    const auto junk = sync_free_bytes(20000, 5);
    damaged.insert(damaged.begin() + static_cast<long>(frames[10].offset), junk.begin(), junk.end());

    BlockSource source(damaged, kPlayerBlock);
    StreamPtr s = source.create();
    ASSERT_TRUE(s);
    ASSERT_EQ(almp3_play_mp3stream(s.get(), kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
    ASSERT_EQ(play_to_end(s.get(), source), ALMP3_POLL_DAMAGED);
    const int frames_before = almp3_get_pos_frames_mp3stream(s.get());

    fake_allegro::reset();
    ASSERT_EQ(almp3_play_mp3stream(s.get(), kPlayerBuffer, 255, 128), ALMP3_PLAY_OK);
    EXPECT_EQ(play_to_end(s.get(), source), ALMP3_POLL_FINISHED);
    // Every frame of the file is decoded once: those before the rubbish,
    // then all the others.
    EXPECT_EQ(almp3_get_pos_frames_mp3stream(s.get()), static_cast<int>(frames.size()));
    // What the second run plays is the clean file's sound after the damage,
    // decoded by a fresh decoder: its synthesis filter matches a continuous
    // decode again two frames on.
    const auto pcm = fake_allegro::captured_signed();
    const long settled = 2 * 2304;
    const long after = static_cast<long>(ref.size()) - frames_before * 2304;
    ASSERT_GE(static_cast<long>(pcm.size()), after);
    const std::vector<int16_t> want(ref.end() - after + settled, ref.end());
    EXPECT_LE(max_sample_diff(std::vector<int16_t>(pcm.begin() + settled, pcm.begin() + after), want), 1);
}

}  // namespace
