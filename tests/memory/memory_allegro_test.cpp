// The looping example on the real Allegro library: on a private X display,
// with ALSA writing the mixed sound to a file, the loop heard over its seams
// is the reference decode played from the start to the loop end, then the
// tagged region again and again.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "headless.h"
#include "test_files.h"

namespace {

// The tags of loop_cbr44100s.mp3, in sample frames at 44100 Hz.
constexpr size_t kLoopStart = 22050;
constexpr size_t kLoopEnd = kLoopStart + 66150;
constexpr int kSeams = 3;
constexpr size_t kAroundSeam = 2205;  // 50 ms either side
// Silence: at least 5 ms of frames within kQuiet of zero on both channels.
constexpr size_t kSilentRun = 220;
constexpr int kQuiet = 4;
// Allegro's mixer at full volume per voice and the example's pan of 128:
// the left channel at 255/256, the right one at 256/256.
constexpr double kGain[2] = {255.0 / 256.0, 1.0};
// The reference's start is looked for in the capture's first second.
constexpr size_t kWindow = 2048;
constexpr size_t kLongestLead = 44100;

// Frame f, channel c of interleaved stereo.
int at(const std::vector<int16_t> &pcm, size_t f, int c) { return pcm[2 * f + c]; }

// The first pass to the loop end, then the region again, up to the frame
// kAroundSeam past the last seam judged.
std::vector<int16_t> reference_loop(const std::vector<int16_t> &ref) {
    const size_t frames = kLoopEnd + (kSeams - 1) * (kLoopEnd - kLoopStart) + kAroundSeam;
    std::vector<int16_t> loop(ref.begin(), ref.begin() + 2 * kLoopEnd);
    while (loop.size() < 2 * frames)
        loop.insert(loop.end(), ref.begin() + 2 * kLoopStart, ref.begin() + 2 * kLoopEnd);
    loop.resize(2 * frames);
    return loop;
}

// The frame of the capture where the reference's first frame lies: the
// best cross-correlation with the reference's start.
size_t locate(const std::vector<int16_t> &sound, const std::vector<int16_t> &ref) {
    size_t best_offset = 0;
    double best = -1.0;
    for (size_t offset = 0; offset < kLongestLead && 2 * (offset + kWindow) <= sound.size(); ++offset) {
        double sum = 0.0;
        for (size_t i = 0; i < 2 * kWindow; ++i) sum += static_cast<double>(sound[2 * offset + i]) * ref[i];
        if (sum > best) {
            best = sum;
            best_offset = offset;
        }
    }
    return best_offset;
}

TEST(MemoryOnAllegro, TheTaggedLoopIsHeardSeamlessly) {
    HeadlessSession::Options options;
    options.realtime_sound = true;
    HeadlessSession session(options);
    ASSERT_TRUE(session.ok());
    const pid_t pid = session.spawn({LOOP_MP3, encoded_path("loop_cbr44100s.mp3"), "8000"}, "", "loop");
    ASSERT_GT(pid, 0);
    ASSERT_EQ(session.wait_exit(pid, 60000), 0) << "see " << session.dir() << "/loop.log";

    const auto sound = session.captured_sound();
    const auto expected = reference_loop(reference_pcm("cbr44100s.mp3"));
    const size_t offset = locate(sound, expected);
    const size_t frames = expected.size() / 2;
    ASSERT_GE(sound.size(), 2 * (offset + frames)) << "captured too little";

    std::printf("captured %.2f s, the reference at frame %zu\n", sound.size() / 2 / 44100.0, offset);

    for (int seam = 0; seam < kSeams; ++seam) {
        const size_t middle = kLoopEnd + seam * (kLoopEnd - kLoopStart);
        double signal = 0.0, noise = 0.0;
        for (size_t f = middle - kAroundSeam; f < middle + kAroundSeam; ++f)
            for (int c = 0; c < 2; ++c) {
                const double want = kGain[c] * at(expected, f, c);
                signal += want * want;
                noise += (at(sound, offset + f, c) - want) * (at(sound, offset + f, c) - want);
            }
        const double snr = noise > 0.0 ? 10.0 * std::log10(signal / noise) : 200.0;
        std::printf("seam %d at %.3f s: SNR %.1f dB\n", seam + 1, middle / 44100.0, snr);
        EXPECT_GE(snr, 40.0) << "seam " << seam + 1;
    }

    // Any run of silence in the capture is one the reference loop has too.
    const auto quiet = [](const std::vector<int16_t> &pcm, size_t f) {
        return std::abs(at(pcm, f, 0)) <= kQuiet && std::abs(at(pcm, f, 1)) <= kQuiet;
    };
    size_t run = 0;
    for (size_t f = 0; f <= frames; ++f) {
        if (f < frames && quiet(sound, offset + f)) {
            ++run;
            continue;
        }
        if (run >= kSilentRun) {
            for (size_t g = f - run; g < f; ++g)
                ASSERT_TRUE(quiet(expected, g)) << "silence of " << run << " frames at frame " << f - run;
        }
        run = 0;
    }
}

}  // namespace
