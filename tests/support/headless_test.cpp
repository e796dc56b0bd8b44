// The headless harness itself: a display comes up, programs see it, and
// sound written to ALSA's default device lands in the capture file.
#include <gtest/gtest.h>

#include "headless.h"

#include <cmath>

TEST(Headless, ProgramsSeeThePrivateDisplayAndTheirSoundIsCaptured) {
    HeadlessSession session;
    ASSERT_TRUE(session.ok());
    EXPECT_EQ(session.sh("xdpyinfo > /dev/null"), 0);
    EXPECT_NE(session.sh_output("xdpyinfo | grep dimensions").find("1024x768"), std::string::npos);

    // One second of a half-scale tone, in the unsigned format Allegro plays.
    ASSERT_EQ(session.sh("sox -q -n -r 44100 -c 2 -b 16 -e unsigned -t raw - synth 1 sine 1000 vol 0.5 | aplay -q -t raw -f U16_LE -r 44100 -c 2"), 0);
    const auto sound = session.captured_sound();
    ASSERT_GE(sound.size(), 2u * 44100);
    EXPECT_NEAR(channel_rms(sound, 4410, 40000, 0), 0.5 * 32767 / std::sqrt(2.0), 500);
    EXPECT_NEAR(channel_rms(sound, 4410, 40000, 1), 0.5 * 32767 / std::sqrt(2.0), 500);
}
