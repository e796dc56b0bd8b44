// The streaming object playing through the real Allegro library: on a
// private X display, with ALSA writing the mixed sound to a file, what comes
// out is the reference decode at the mixer's gain.
#include <gtest/gtest.h>

#include <cstdlib>

#include "headless.h"
#include "test_files.h"

namespace {

// Allegro's mixer at full volume per voice and pan 128 (just right of the
// middle of 0..255): the left channel at 255/256, the right one at 256/256.
constexpr double kLeftGain = 255.0 / 256.0;
constexpr double kRightGain = 1.0;
constexpr int kAudible = 300;

size_t first_audible(const std::vector<int16_t> &pcm, size_t from) {
    for (size_t i = from; i < pcm.size(); ++i)
        if (std::abs(pcm[i]) > kAudible) return i;
    return pcm.size();
}

// Largest difference from the reference at the mixer's gain, with the
// reference's first sample at sound[offset].
int worst_difference(const std::vector<int16_t> &sound, size_t offset, const std::vector<int16_t> &ref) {
    int worst = 0;
    for (size_t i = 0; i < ref.size(); ++i) {
        const int expected = static_cast<int>(ref[i] * (i % 2 == 0 ? kLeftGain : kRightGain));
        worst = std::max(worst, std::abs(sound[offset + i] - expected));
    }
    return worst;
}

TEST(StreamOnAllegro, TheSoundHeardIsTheReferenceDecode) {
    // Sound at real-time pace: a busy machine then has the whole length of
    // a buffer to refill it, as a player on a real sound card has.
    HeadlessSession::Options options;
    options.realtime_sound = true;
    HeadlessSession session(options);
    ASSERT_TRUE(session.ok());
    const pid_t pid = session.spawn({STREAM_PLAY_FILE, encoded_path("cbr44100s.mp3")}, "", "play");
    ASSERT_GT(pid, 0);
    ASSERT_EQ(session.wait_exit(pid, 60000), 0) << "see " << session.dir() << "/play.log";

    const auto sound = session.captured_sound();
    const auto ref = reference_pcm("cbr44100s.mp3");
    ASSERT_GT(sound.size(), ref.size());

    // Line the first audible samples up, then settle on the best stereo
    // alignment near there.
    const size_t r0 = first_audible(ref, 0);
    const size_t s0 = first_audible(sound, 0);
    ASSERT_GE(s0, r0);
    size_t best_offset = 0;
    int best = INT32_MAX;
    for (long delta = -16; delta <= 16; delta += 2) {
        const long offset = static_cast<long>(s0 - r0) + delta;
        if (offset < 0 || static_cast<size_t>(offset) + ref.size() > sound.size()) continue;
        const int worst = worst_difference(sound, static_cast<size_t>(offset), ref);
        if (worst < best) {
            best = worst;
            best_offset = static_cast<size_t>(offset);
        }
    }
    std::printf("aligned at sample %zu, largest difference %d\n", best_offset, best);
    EXPECT_LE(best, 2);
    // Before the song only the mixer's silent lead-in.
    for (size_t i = 0; i < best_offset; ++i) ASSERT_EQ(sound[i], 0) << "sample " << i;
}

}  // namespace
