// Songs whose leading tags fill more than the player's first packet: a 1 MB
// cover picture, and a small tag stacked in front of a tag with a cover. The
// real player opens and plays them and shows the length of their sound, as
// the reference decoder measures it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "player_session.h"
#include "player_test_util.h"
#include "screen_layout.h"
#include "test_files.h"

namespace {

constexpr Layout kL = kLayout640;
const std::vector<int> kTones = {300, 500};
constexpr int kWaitMs = 10000;

// An ID3v2.3 tag holding one title frame ("Small"), as the format defines
// it: header with the tag's size in 7-bit bytes, then the frame.
const std::string kSmallTag("ID3\x03\x00\x00\x00\x00\x00\x10"
                            "TIT2\x00\x00\x00\x06\x00\x00\x00Small",
                            26);

// A noise picture of square side pixels, which JPEG cannot squeeze much.
bool make_cover(PlayerSession &p, const std::string &name, int side) {
    const std::string size = std::to_string(side);
    return p.session().sh("convert -size " + size + "x" + size + " xc: +noise Random -quality 92 '" + p.path(name) +
                          "'") == 0;
}

// Whole seconds of the reference decode of a stereo 44100 Hz song.
int true_seconds(const std::string &path) {
    return static_cast<int>(command_line_decode(path).size() / 2 / kCaptureRate);
}

// The current-song panel's position line ends in "of HH:MM:SS" for length s.
bool length_shown(PlayerSession &p, int s) {
    char line[64], tail[32];
    std::snprintf(line, sizeof line, "Position: 00:00:00 of %02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
    std::snprintf(tail, sizeof tail, "of %02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
    const int x = centred_x(kL.current, line) + font_text_length("Position: 00:00:00 ");
    return p.shot().text_mismatches(x, text_y(kL.current, 2), tail, kWhite, kL.width) == 0;
}

TEST(PlayerTaggedSongs, BigAndStackedLeadingTagsPlayAndShowTheTrueLength) {
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    ASSERT_TRUE(make_cover(p, "big.jpg", 760));   // about 1 MB
    ASSERT_TRUE(make_cover(p, "small.jpg", 200));  // about 80 KB
    const std::string cover = p.path("cover.mp3"), stacked = p.path("stacked.mp3");
    ASSERT_TRUE(make_tone_song(cover, 300, 6.5, 44100, "--ti '" + p.path("big.jpg") + "'"));
    ASSERT_TRUE(make_tone_song(p.path("tagged.mp3"), 500, 7.5, 44100, "--ti '" + p.path("small.jpg") + "'"));
    write_text(stacked, kSmallTag + read_text(p.path("tagged.mp3")));
    ASSERT_GT(read_text(cover).size(), 1000000u);
    p.write_playlist({cover, stacked});
    ASSERT_TRUE(p.start()) << p.log();
    for (const auto &[path, title, hz] : {std::tuple{cover, "cover.", 300}, std::tuple{stacked, "stacked.", 500}}) {
        SCOPED_TRACE(title);
        EXPECT_TRUE(p.wait_for_title(title, kWaitMs));
        EXPECT_TRUE(p.wait_for_sound(hz, kTones, kWaitMs));
        EXPECT_TRUE(length_shown(p, true_seconds(path)));
    }
    // Neither song was refused with a message box.
    EXPECT_EQ(p.answer_message(0), "");
    EXPECT_EQ(p.quit(), 0) << p.log();
}

}  // namespace
