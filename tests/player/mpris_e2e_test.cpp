// The real mp3player in the desktop's media controls: the whole suite runs
// inside dbus-run-session, and playerctl is the client. What the player does
// is judged by its screen, its window title and the sound captured.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player_session.h"
#include "player_test_util.h"
#include "screen_layout.h"

namespace {

const std::vector<int> kTones = {300, 500, 700};
constexpr int kWaitMs = 5000;
constexpr double kSongSeconds = 20;

// What playerctl prints for the player (and the options before it).
std::string ctl(PlayerSession &p, const std::string &args, const std::string &player = "-p mp3player") {
    return p.session().sh_output("playerctl " + player + " " + args + " 2>&1");
}

bool status_becomes(PlayerSession &p, const std::string &status, const std::string &player = "-p mp3player") {
    return wait_until(kWaitMs, [&] { return ctl(p, "status", player) == status; });
}

bool controls_show(PlayerSession &p, int row, const std::string &text, bool centred) {
    const Rect &c = kLayout640.controls;
    return wait_until(kWaitMs, [&] {
        const int x = centred ? centred_x(c, text) : c.x + kTextX;
        return p.shot().text_mismatches(x, text_y(c, row), text, kWhite, kLayout640.width) == 0;
    });
}

TEST(Mpris, PlayerctlControlsThePlayerAsItsKeysDo) {
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    // Not UTF-8: a stray byte, and a noncharacter that D-Bus refuses.
    const std::string odd = "odd\xFF n\xEF\xBF\xBE.mp3";
    p.write_playlist({p.song("one.mp3", 300, kSongSeconds), p.song("two.mp3", 500, kSongSeconds),
                      p.song(odd, 700, kSongSeconds)});
    ASSERT_TRUE(p.start()) << p.log();
    ASSERT_TRUE(p.wait_for_title("one.", kWaitMs));
    EXPECT_TRUE(status_becomes(p, "Playing"));
    EXPECT_EQ(ctl(p, "metadata --format '{{xesam:title}} {{mpris:length}}'"), "one.mp3 20000000");
    // A client that only listens learns of every change.
    const pid_t follow = p.session().spawn({"playerctl", "-p", "mp3player", "--follow", "metadata", "--format",
                                            "{{status}} {{xesam:title}} {{volume}} {{shuffle}}"}, "", "follow");
    struct Step {
        const char *command, *title, *status;
        int tone;  // 0: silence
    };
    const Step steps[] = {
        {"next", "two.", "Playing", 500},       {"previous", "one.", "Playing", 300},
        {"play-pause", "one.", "Paused", 0},    {"stop", "one.", "Paused", 0},  // the list stays
        {"play", "one.", "Playing", 300},       {"play", "one.", "Playing", 300},
        {"pause", "one.", "Paused", 0},         {"pause", "one.", "Paused", 0},
        {"play-pause", "one.", "Playing", 300},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.command);
        ctl(p, step.command);
        EXPECT_TRUE(status_becomes(p, step.status));
        EXPECT_TRUE(p.wait_for_title(step.title, kWaitMs));
        EXPECT_TRUE(p.wait_for_sound(step.tone, kTones, kWaitMs));
    }
    // Back from the first song to the last, whose name is replaced where it
    // is no UTF-8 and percent-encoded byte for byte in its URI.
    ctl(p, "previous");
    EXPECT_TRUE(p.wait_for_sound(700, kTones, kWaitMs));
    EXPECT_EQ(ctl(p, "metadata --format '{{xesam:title}}|{{xesam:url}}'"),
              "odd\uFFFD n\uFFFD\uFFFD\uFFFD.mp3|file://" + p.path("odd%FF%20n%EF%BF%BE.mp3"));
    // 0.5 x 255 = 127.5 rounds up to 128, shown as 50 percent.
    ctl(p, "volume 0.5");
    EXPECT_TRUE(controls_show(p, 2, " Volume:   50 percent", false));
    for (int i = 0; i < 2; ++i) {
        ctl(p, "shuffle On");
        EXPECT_EQ(ctl(p, "shuffle"), "On");
        EXPECT_TRUE(controls_show(p, 40, "Shuffle", true));
    }
    p.session().stop(follow);
    const std::string told = read_text(p.session().dir() + "/follow.log");
    for (const char *line : {"Playing two.mp3 1.0 false\n", "Paused one.mp3 1.0 false\n", "0.50196078431372548 false\n",
                             "0.50196078431372548 true\n"})
        EXPECT_NE(told.find(line), std::string::npos) << line << told;
    EXPECT_EQ(p.quit(), 0) << p.log();
}

TEST(Mpris, ASecondPlayerTakesANameOfItsOwnAndLeavesTheFirstAlone) {
    PlayerSession first(true), second(true);
    ASSERT_TRUE(first.ok() && second.ok());
    first.write_playlist({first.song("first.mp3", 300, kSongSeconds)});
    second.write_playlist({second.song("second.mp3", 500, kSongSeconds)});
    ASSERT_TRUE(first.start()) << first.log();
    ASSERT_TRUE(status_becomes(first, "Playing"));
    ASSERT_TRUE(second.start()) << second.log();
    const std::string instance = "mp3player.instance" + std::to_string(second.pid());
    EXPECT_TRUE(wait_until(kWaitMs, [&] { return ctl(first, "-l | sort", "") == "mp3player\n" + instance; }));
    // -p mp3player also matches its instances: -i leaves the second out.
    const std::string only_first = "-p mp3player -i " + instance, only_second = "-p " + instance;
    EXPECT_EQ(ctl(first, "metadata xesam:title", only_second), "second.mp3");
    EXPECT_EQ(ctl(first, "metadata xesam:title", only_first), "first.mp3");
    ctl(first, "pause", only_second);
    EXPECT_TRUE(status_becomes(first, "Paused", only_second));
    EXPECT_TRUE(second.wait_for_sound(0, kTones, kWaitMs));
    EXPECT_EQ(ctl(first, "status", only_first), "Playing");
    EXPECT_TRUE(first.wait_for_sound(300, kTones, kWaitMs));
    EXPECT_EQ(second.quit(), 0) << second.log();
    EXPECT_EQ(first.quit(), 0) << first.log();
}

}  // namespace
