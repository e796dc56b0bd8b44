// Seamless loops of the in-memory object: every round plays exactly what
// the first pass played over the loop region, mpg123's decode of the whole
// file there, with no silence at the seam. The regions come from the whole
// timeline, from loop tags written by mutagen, or from the caller.
#include <gtest/gtest.h>

#include <string>

#include "fake_allegro.h"
#include "memory_support.h"
#include "test_files.h"

namespace {

struct LoopCase {
    const char *file;        // the file played
    const char *reference;   // the file whose default decode is the truth
    int start;               // the region wanted; end -1: the whole timeline
    int end;
    bool set_by_caller;      // else the file's own (tags, or the whole)
};

const LoopCase kLoops[] = {
    {"cbr44100s.mp3", "cbr44100s.mp3", 0, -1, false},
    {"vbr44100s.mp3", "vbr44100s.mp3", 1000, 50000, true},
    {"vbr22050m.mp3", "vbr22050m.mp3", 0, -1, false},
    {"l2_44100s.mp2", "l2_44100s.mp2", 30011, 100003, true},
    {"loop_cbr44100s.mp3", "cbr44100s.mp3", 22050, 22050 + 66150, false},
    {"loop_vbr22050m.mp3", "vbr22050m.mp3", 11025, 55125, false},
};

TEST(MemoryLoop, EveryRoundPlaysTheFirstPassOverTheRegionSeamlessly) {
    for (const LoopCase &c : kLoops) {
        SCOPED_TRACE(c.file);
        const auto bytes = read_bytes(encoded_path(c.file));
        const auto ref = reference_pcm(c.reference);
        MemoryPtr m = make_memory(bytes);
        ASSERT_TRUE(m);
        const size_t channels = almp3_get_wave_is_stereo_mp3(m.get()) ? 2 : 1;
        const int samples = static_cast<int>(ref.size() / channels);
        const int end = c.end < 0 ? samples : c.end;
        if (c.set_by_caller) {
            ASSERT_EQ(almp3_set_loop_points_mp3(m.get(), c.start, end), ALMP3_LOOP_POINTS_SET);
        }
        int start = -1, got_end = -1;
        almp3_get_loop_points_mp3(m.get(), &start, &got_end);
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(got_end, end);

        // The first pass to the region's end, then three rounds.
        std::vector<int16_t> want(ref.begin(), ref.begin() + static_cast<long>(end * channels));
        for (int round = 0; round < 3; ++round)
            want.insert(want.end(), ref.begin() + static_cast<long>(c.start * channels),
                        ref.begin() + static_cast<long>(end * channels));
        const int frame_samples = pcm_per_frame(m.get()) / 2;
        const int polls = static_cast<int>(want.size() / (3 * frame_samples)) + 2;
        const Playback p = play_through(m.get(), 3, 1, polls);
        ASSERT_EQ(p.results.back(), ALMP3_POLL_OK);
        ASSERT_GE(p.pcm.size(), want.size());
        EXPECT_TRUE(same_pcm(head(p.pcm, want.size()), want));

        // The sample carries the region for Allegro's own looping.
        SamplePtr s(almp3_create_sample_from_mp3(m.get()));
        ASSERT_TRUE(s);
        EXPECT_EQ(s->loop_start, static_cast<unsigned long>(c.start));
        EXPECT_EQ(s->loop_end, static_cast<unsigned long>(end));
        EXPECT_TRUE(same_pcm(sample_signed(s.get()), ref));
    }
}

TEST(MemoryLoop, RegionsThatAreEmptyOrPastTheEndAreRefused) {
    const auto bytes = read_bytes(encoded_path("cbr44100s.mp3"));
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    const int samples = static_cast<int>(reference_pcm("cbr44100s.mp3").size() / 2);
    for (const auto &r : {std::pair{-1, 100}, {100, 100}, {200, 100}, {0, samples + 1}})
        EXPECT_EQ(almp3_set_loop_points_mp3(m.get(), r.first, r.second), ALMP3_LOOP_POINTS_REFUSED);
    EXPECT_EQ(almp3_set_loop_points_mp3(m.get(), samples - 1, samples), ALMP3_LOOP_POINTS_SET);
    int start = 0, end = 0;
    almp3_get_loop_points_mp3(m.get(), &start, &end);
    EXPECT_EQ(start, samples - 1);
    EXPECT_EQ(end, samples);
    almp3_get_loop_points_mp3(m.get(), nullptr, nullptr);
}

}  // namespace
