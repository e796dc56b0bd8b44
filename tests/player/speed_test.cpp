// Change_Speed on a playing song, through the real Allegro library: the
// voice plays at the song's rate times the new speed, the speed stops at 0
// and at the highest speed Allegro's voice holds, and what is heard follows.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "player_session.h"

namespace {

constexpr int kRate = 48000;  // the highest MPEG rate: the first to overflow
constexpr int kToneHz = 440;
constexpr double kSongSeconds = 4;
// Allegro keeps a voice's frequency in 20.12 fixed point in an int, so
// 524287 Hz is the most it holds; at 48 kHz that is a speed of 10922.
constexpr int kTopSpeed = 10922;

struct Step {
    int change;
    int speed;     // Speed afterwards
    int voice_hz;  // the frequency Allegro's voice then plays at
};

// Each step from the one before, starting at normal speed (1000).
const Step kSteps[] = {
    {1000, 2000, 96000},
    {INT_MAX, kTopSpeed, 524256},  // the sum alone would overflow an int
    {-500, kTopSpeed - 500, 500256},
    {INT_MIN, 0, 0},               // halted, not reversed
    {-1, 0, 0},
    {1000, 1000, 48000},
    {1000, 2000, 96000},           // the rest of the song plays at this speed
};

TEST(Speed, APlayingSongTakesTheNewSpeedWithinItsBounds) {
    HeadlessSession session;
    ASSERT_TRUE(session.ok());
    const std::string song = session.dir() + "/tone.mp3";
    std::ostringstream make;
    make << "sox -q -n -r " << kRate << " -c 2 -b 16 " << song << ".wav synth " << kSongSeconds << " sine "
         << kToneHz << " vol 0.5 && lame --quiet -b 128 " << song << ".wav " << song;
    ASSERT_EQ(session.sh(make.str()), 0);

    std::vector<std::string> argv{SPEED_PROBE, song};
    for (const Step &step : kSteps) argv.push_back(std::to_string(step.change));
    const pid_t pid = session.spawn(argv, "", "probe");
    ASSERT_GT(pid, 0);
    ASSERT_EQ(session.wait_exit(pid, 60000), 0) << "see " << session.dir() << "/probe.log";

    std::ifstream log(session.dir() + "/probe.log");
    std::vector<Step> seen;
    int rate = 0;
    for (std::string line; std::getline(log, line);) {
        Step s{};
        if (std::sscanf(line.c_str(), "speed %d voice %d", &s.speed, &s.voice_hz) == 2) seen.push_back(s);
        std::sscanf(line.c_str(), "rate %d", &rate);
    }
    ASSERT_EQ(rate, kRate);
    ASSERT_EQ(seen.size(), std::size(kSteps));
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].speed, kSteps[i].speed) << "step " << i;
        EXPECT_EQ(seen[i].voice_hz, kSteps[i].voice_hz) << "step " << i;
    }

    // At double speed the tone sounds an octave up, for half the song's length.
    const auto sound = session.captured_sound();
    const auto runs = tone_runs(sound, 2 * kToneHz, {kToneHz, 2 * kToneHz});
    int heard_ms = 0;
    for (const ToneRun &run : runs) heard_ms += run.length_ms;
    std::printf("tone an octave up for %d ms\n", heard_ms);
    EXPECT_NEAR(heard_ms, kSongSeconds * 1000 / 2, 200);
    EXPECT_TRUE(tone_runs(sound, kToneHz, {kToneHz, 2 * kToneHz}).empty());
}

}  // namespace
