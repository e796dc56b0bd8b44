// The real mp3player under awkward input and keys: files that shrink or
// block, dialogs closed with Escape, pauses, rubbish in the playlist and
// saves that cannot be made. What it plays is told by each song's tone in
// the captured sound, what it shows by texts read off the screen.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "player_session.h"
#include "player_test_util.h"
#include "screen_layout.h"
#include "test_files.h"

namespace {

constexpr Layout kL = kLayout640;
const std::vector<int> kTones = {300, 500, 700, 900, 1300};
constexpr int kStartMs = 8000;        // start-up until a song is heard
constexpr int kChangeMs = 6000;       // a key until its effect shows
constexpr int kMessageWaitMs = 5000;
constexpr int kListenMs = 800;        // sound judged after a change
constexpr int kCaptureStallMs = 3000; // the capture stops growing: the player is gone
constexpr int kPausedRow = 38;        // the controls panel's "Paused" row
// Windows of sound short enough that a pause's edges cost little.
constexpr int kSoundWindowMs = 5;
constexpr double kSoundRms = 1000.0;  // of a tone at half scale, about 11600

std::string song_line(int i, const std::string &name) {
    char line[600];
    std::snprintf(line, sizeof line, "%3i. %s", i, name.c_str());
    return line;
}

bool centred_shown(const Picture &shot, const Rect &area, int row, const std::string &text) {
    return shot.text_mismatches(centred_x(area, text), text_y(area, row), text, kWhite, kL.width) == 0;
}

bool paused_shown(PlayerSession &p) { return centred_shown(p.shot(), kL.controls, kPausedRow, "Paused"); }

// Waits up to timeout_ms for the current-song panel's playlist line.
bool wait_for_list_line(PlayerSession &p, const std::string &name, int songs, int timeout_ms) {
    const std::string line = "Playlist " + name + " contains " + std::to_string(songs) + " songs.";
    return wait_until(timeout_ms, [&] { return centred_shown(p.shot(), kL.current, 3, line); });
}

// The tone heard over the next ms milliseconds of sound; -1 when the capture
// stops growing, which it does only when the player has gone.
int tone_over_next(PlayerSession &p, int ms) {
    const size_t from = p.frames_now();
    if (!p.wait_for_more_sound(ms, ms + kCaptureStallMs)) return -1;
    return dominant_tone(p.session().captured_sound(from), 0, frames_in_ms(ms), kTones);
}

// Which 5 ms windows of interleaved pcm (rate, channels) hold sound; with a
// tone given (captured sound only), sound in which that tone is the loudest.
std::vector<bool> sounding_windows(const std::vector<int16_t> &pcm, int rate, int channels, int tone = 0) {
    const size_t frames = static_cast<size_t>(rate * kSoundWindowMs / 1000);
    const size_t window = frames * static_cast<size_t>(channels);
    std::vector<bool> sounding;
    for (size_t at = 0; at + window <= pcm.size(); at += window) {
        double sum = 0;
        for (size_t i = at; i < at + window; ++i) sum += static_cast<double>(pcm[i]) * pcm[i];
        const bool loud = std::sqrt(sum / static_cast<double>(window)) > kSoundRms;
        sounding.push_back(loud && (tone == 0 || dominant_tone(pcm, at / 2, at / 2 + frames, kTones) == tone));
    }
    return sounding;
}

// The pitch, to a twentieth of a hertz, of the longest stretch of captured
// windows that hold tone hz: Allegro's mixer plays a song of another rate
// than its own a little slow or fast, which stretches its sound's time.
double heard_hz(const std::vector<int16_t> &stereo, const std::vector<bool> &windows, int hz) {
    constexpr double kStep = 0.05, kSpan = 0.03;
    constexpr size_t kEdgeWindows = 4;
    size_t best_from = 0, best_to = 0;
    for (size_t k = 0, end = 0; k < windows.size(); k = std::max(end, k + 1)) {
        for (end = k; end < windows.size() && windows[end];) ++end;
        if (end - k > best_to - best_from) best_from = k, best_to = end;
    }
    const size_t frames = frames_in_ms(kSoundWindowMs);
    if (best_to - best_from <= 2 * kEdgeWindows) return 0;
    const size_t from = (best_from + kEdgeWindows) * frames, to = (best_to - kEdgeWindows) * frames;
    double pitch = 0, power = 0;
    for (double f = hz * (1 - kSpan); f <= hz * (1 + kSpan); f += kStep) {
        const double p = tone_power(stereo, from, to, f);
        if (p > power) power = p, pitch = f;
    }
    return pitch;
}

int sounding_ms(const std::vector<bool> &windows, size_t to) {
    int ms = 0;
    for (size_t i = 0; i < to && i < windows.size(); ++i) ms += windows[i] ? kSoundWindowMs : 0;
    return ms;
}

TEST(PlayerReliability, ASongCutShortWhilePlayingEndsAndTheNextFollows) {
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    const std::string cut = p.song("cut.mp3", 300, 30);
    p.write_playlist({cut, p.song("next.mp3", 500, 30)});
    ASSERT_TRUE(p.start()) << p.log();
    ASSERT_TRUE(p.wait_for_sound(300, kTones, kStartMs));
    ASSERT_EQ(truncate(cut.c_str(), 0), 0);
    // What was read before the cut plays out, then the next song starts.
    EXPECT_TRUE(p.wait_for_sound(500, kTones, 10000));
    EXPECT_EQ(p.quit(), 0) << p.log();
    const auto sound = p.sound();
    const auto before = tone_runs(sound, 300, kTones);
    const auto after = tone_runs(sound, 500, kTones);
    ASSERT_FALSE(before.empty());
    ASSERT_FALSE(after.empty());
    EXPECT_LT(after[0].start_ms - (before.back().start_ms + before.back().length_ms), 2000);
}

TEST(PlayerReliability, AFifoInTheListIsSkippedWithItsMessage) {
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    const std::string fifo = p.path("fifo.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    p.write_playlist({p.song("first.mp3", 300, 1.5), fifo, p.song("last.mp3", 500, 30)});
    ASSERT_TRUE(p.start()) << p.log();
    EXPECT_EQ(p.answer_message(kStartMs + kMessageWaitMs), "Unable to physically open file!");
    EXPECT_TRUE(p.wait_for_sound(500, kTones, kChangeMs));
    EXPECT_EQ(p.quit(), 0) << p.log();
}

// Escape closes a file selector and nothing more, whichever of the four it
// is, and a dialog leaves playing music playing and paused music paused.
TEST(PlayerReliability, EscapeInAFileSelectorOnlyClosesItAndKeepsThePauseState) {
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    p.write_playlist({p.song("long.mp3", 700, 120)});
    const std::string list = read_text(p.path("playlist.qpl"));
    ASSERT_TRUE(p.start()) << p.log();
    ASSERT_TRUE(p.wait_for_sound(700, kTones, kStartMs));
    for (const bool paused : {false, true}) {
        if (paused) {
            p.key("space");
            ASSERT_TRUE(p.wait_for_sound(0, kTones, kChangeMs));
        }
        for (const char *dialog : {"F1", "F2", "F3", "F5"}) {
            SCOPED_TRACE(std::string(dialog) + (paused ? " paused" : " playing"));
            p.key(dialog);
            ASSERT_TRUE(p.wait_for_dialog(true, kChangeMs));
            p.press("Escape");
            ASSERT_TRUE(p.wait_for_dialog(false, kChangeMs));
            EXPECT_EQ(tone_over_next(p, kListenMs), paused ? 0 : 700);
            EXPECT_EQ(paused_shown(p), paused);
        }
    }
    EXPECT_EQ(read_text(p.path("playlist.qpl")), list);
    EXPECT_EQ(p.quit(), 0) << p.log();
}

// A song paused by Space, by a cancelled F5 and by a cancelled F3 is heard
// exactly as long as its reference decode sounds, and the next song follows
// it within a second, at the common rate and at the lowest.
class PausedSong : public ::testing::TestWithParam<int> {};

TEST_P(PausedSong, IsHeardWholeAndTheNextSongFollowsWithinASecond) {
    const int rate = GetParam();
    constexpr int kTone = 500, kNextTone = 1300;
    constexpr int kPlayMs = 700, kPauseMs = 500;
    PlayerSession p(true);
    ASSERT_TRUE(p.ok());
    const std::string song = p.path("paused.mp3");
    ASSERT_TRUE(make_tone_song(song, kTone, 6.3, rate));
    p.write_playlist({song, p.song("next.mp3", kNextTone, 30)});
    ASSERT_TRUE(p.start()) << p.log();
    ASSERT_TRUE(p.wait_for_sound(kTone, kTones, kStartMs));
    for (const char *pauser : {"space", "F5", "F3"}) {
        SCOPED_TRACE(pauser);
        ASSERT_TRUE(p.wait_for_more_sound(kPlayMs, kChangeMs));
        p.key(pauser);
        if (std::string(pauser) == "space") {
            ASSERT_TRUE(p.wait_for_sound(0, kTones, kChangeMs));
            ASSERT_TRUE(p.wait_for_more_sound(kPauseMs, kChangeMs));
            p.key("space");
        } else {
            ASSERT_TRUE(p.wait_for_dialog(true, kChangeMs));
            ASSERT_TRUE(p.wait_for_more_sound(kPauseMs, kChangeMs));
            p.press("Escape");
        }
        ASSERT_TRUE(p.wait_for_sound(kTone, kTones, kChangeMs));
    }
    ASSERT_TRUE(p.wait_for_sound(kNextTone, kTones, 15000));
    EXPECT_EQ(p.quit(), 0) << p.log();

    const auto sound = p.sound();
    const auto next = tone_runs(sound, kNextTone, kTones);
    ASSERT_FALSE(next.empty());
    const auto windows = sounding_windows(sound, kCaptureRate, 2, kTone);
    const size_t next_start = static_cast<size_t>(next[0].start_ms / kSoundWindowMs);
    const auto reference = command_line_decode(song);
    const int channels = rate == kCaptureRate ? 2 : 1;
    const auto expected = sounding_windows(reference, rate, channels);
    // The song's own time heard: capture time at the pitch the mixer played.
    const double heard_ms = sounding_ms(windows, next_start) * heard_hz(sound, windows, kTone) / kTone;
    EXPECT_NEAR(heard_ms, sounding_ms(expected, expected.size()), 100);
    size_t last_sound = next_start;
    while (last_sound > 0 && !windows[last_sound - 1]) --last_sound;
    EXPECT_LT((next_start - last_sound) * kSoundWindowMs, 1000u);
}

INSTANTIATE_TEST_SUITE_P(Rates, PausedSong, ::testing::Values(44100, 8000));

// A 5000-character line (its last 511-character piece names a song), a line
// of binary rubbish and a UTF-8 name in the middle of a list: every valid
// entry is taken, byte for byte, plays, and is saved through a link.
TEST(PlayerReliability, RubbishLinesAreSkippedAndUtf8NamesPlayAndSaveThroughALink) {
    constexpr size_t kLongLine = 5000;
    PlayerSession p(false);
    ASSERT_TRUE(p.ok());
    const std::string utf8_name = "\xc3\xbc\x62\xc3\xa9r-\xc3\x9f.mp3";  // üb-ér-ß
    const std::string first = p.song("first.mp3", 300, 1.5), middle = p.song(utf8_name, 500, 1.5),
                      last = p.song("last.mp3", 700, 1.5);
    std::string rubbish;
    std::mt19937 random(7);
    while (rubbish.size() < 300) {
        const char c = static_cast<char>(random() % 256);
        if (c != '\n' && c != '\r') rubbish += c;
    }
    p.write_playlist({first, std::string(kLongLine - first.size(), '/') + first, rubbish, middle, last});
    ASSERT_TRUE(p.start()) << p.log();
    EXPECT_TRUE(p.wait_for_sound(700, kTones, kStartMs));
    // The last song has only just begun: let it sound long enough to count.
    EXPECT_TRUE(p.wait_for_more_sound(kListenMs, kChangeMs));
    const Picture shot = p.shot();
    const std::vector<std::string> names = {"first.mp3", utf8_name, "last.mp3"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(shot.text_mismatches(kTextX, kL.playlist.y + i * kRowHeight, song_line(i, names[i]), kWhite,
                                       kL.width),
                  0)
            << i;
    EXPECT_TRUE(centred_shown(shot, kL.current, 3, "Playlist playlist.qpl contains 3 songs."));
    // The list goes round: on a slow machine the first song may already have
    // started again after the last.
    const std::vector<int> heard = tone_sequence(p.sound(), kTones);
    ASSERT_GE(heard.size(), 3u) << ::testing::PrintToString(heard);
    EXPECT_EQ(std::vector<int>(heard.begin(), heard.begin() + 3), (std::vector<int>{300, 500, 700}));

    // The save goes through the link to its target; files named like a
    // temporary file beside either are someone else's and stay as they are.
    ASSERT_EQ(mkdir(p.path("real").c_str(), 0755), 0);
    const std::string target = p.path("real/target.qpl"), link = p.path("link.qpl");
    write_text(target, "old list\n");
    ASSERT_EQ(symlink("real/target.qpl", link.c_str()), 0);
    for (const auto &bystander : {link + ".tmp", target + ".tmp"}) write_text(bystander, "keep me\n");
    p.key("F2");
    ASSERT_TRUE(p.wait_for_dialog(true, kChangeMs));
    p.enter_in_dialog(link);
    EXPECT_TRUE(wait_for_list_line(p, "link.qpl", 3, kChangeMs));
    EXPECT_EQ(read_text(target), first + "\n" + middle + "\n" + last + "\n");
    char points_to[64] = {};
    EXPECT_EQ(readlink(link.c_str(), points_to, sizeof points_to - 1), 15);
    EXPECT_STREQ(points_to, "real/target.qpl");
    for (const auto &bystander : {link + ".tmp", target + ".tmp"}) EXPECT_EQ(read_text(bystander), "keep me\n");
    EXPECT_EQ(p.quit(), 0) << p.log();
}

// Saves that fail for root too: a missing folder, a folder of the kernel's
// where no file can be made (/sys), a FIFO in the way, and a disk that fills
// up (the player may write no file beyond 4096 bytes). Each says so, naming
// the file; the list keeps its file name and every file stays as it was.
TEST(PlayerReliability, AFailedSaveSaysSoAndKeepsTheListFileAndItsName) {
    constexpr int kEntries = 24;
    PlayerSession p(false);
    ASSERT_TRUE(p.ok());
    const std::string song = p.song("song.mp3", 300, 60);
    // Long but valid names of the one song make a list of about 10 KB.
    std::string padded = song;
    while (padded.size() < 400) padded = "/." + padded;
    p.write_playlist(std::vector<std::string>(kEntries, padded));
    const std::string list = read_text(p.path("playlist.qpl"));
    const std::string fifo = p.path("list.fifo"), full = p.path("full.qpl");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    write_text(full, "old list\n");
    write_text(full + ".tmp", "keep me\n");
    // No sound capture here: it would meet the file size limit too.
    write_text(p.path("quiet.conf"), "pcm.!default { type file; slave.pcm \"null\"; file \"/dev/null\" }\n");
    ASSERT_TRUE(p.start("ulimit -f 8; trap '' XFSZ; export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:" +
                        p.path("quiet.conf") + ";"))
        << p.log();
    ASSERT_TRUE(wait_for_list_line(p, "playlist.qpl", kEntries, kStartMs));
    for (const std::string &name : {p.path("missing/list.qpl"), std::string("/sys/list.qpl"), fifo, full}) {
        SCOPED_TRACE(name);
        p.key("F2");
        ASSERT_TRUE(p.wait_for_dialog(true, kChangeMs));
        p.enter_in_dialog(name);
        EXPECT_NE(p.answer_message(kMessageWaitMs).find(name.substr(name.rfind('/') + 1)), std::string::npos);
        EXPECT_TRUE(wait_for_list_line(p, "playlist.qpl", kEntries, kChangeMs));
    }
    EXPECT_EQ(read_text(p.path("playlist.qpl")), list);
    struct stat st {};
    EXPECT_TRUE(stat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_EQ(read_text(full), "old list\n");
    EXPECT_EQ(read_text(full + ".tmp"), "keep me\n");
    EXPECT_NE(access(p.path("missing").c_str(), F_OK), 0);
    EXPECT_EQ(p.quit(), 0) << p.log();
}

}  // namespace
