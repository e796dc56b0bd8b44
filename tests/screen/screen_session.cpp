#include "screen_session.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "player_test_util.h"

namespace {

constexpr int kWindowWaitMs = 10000;
// A pass of the main loop takes a few milliseconds even under load.
constexpr int kNextFrameMs = 200;
constexpr int kPollMs = 50;
constexpr int kKeyEffectMs = 300;
constexpr int kSettleWaitMs = 3000;
// The loop takes one key a pass and drops the rest: on a busy machine a pass
// can take tens of milliseconds, so keys go in slower than that.
constexpr int kKeyDelayMs = 100;
constexpr int kDialogOpenMs = 700;
constexpr int kDialogCloseMs = 700;
constexpr int kQuitWaitMs = 5000;
// Enough BackSpace presses to empty the file selector's name field.
constexpr int kFieldClearPresses = 140;

HeadlessSession::Options display_options(int width, int height, bool realtime) {
    HeadlessSession::Options o;
    o.width = width;
    o.height = height;
    o.realtime_sound = realtime;
    return o;
}

}  // namespace

ScreenSession::ScreenSession(int width, int height, bool realtime_sound)
    : session_(display_options(width, height, realtime_sound)) {
    if (!session_.ok()) return;
    dir_ = session_.dir() + "/work";
    mkdir(dir_.c_str(), 0755);
}

ScreenSession::~ScreenSession() {
    if (pid_ > 0) session_.stop(pid_);
}

std::vector<std::string> ScreenSession::songs(const std::vector<std::string> &names, int hz, double seconds) {
    const std::string first = path("tone-" + std::to_string(hz) + ".mp3");
    if (!make_tone_song(first, hz, seconds)) return {};
    std::vector<std::string> paths;
    for (const auto &name : names) {
        paths.push_back(path(name));
        if (std::system(("cp '" + first + "' '" + paths.back() + "'").c_str()) != 0) return {};
    }
    return paths;
}

void ScreenSession::write_playlist(const std::vector<std::string> &paths) {
    std::ofstream out(path("playlist.qpl"));
    for (const auto &p : paths) out << p << "\n";
}

// The first frame is drawn once the bottom right corner, inside the
// controls panel whatever the screen's size, shows the panel's red fill
// instead of the black of an empty window; a further pass is awaited so the
// whole frame is on the screen.
bool ScreenSession::wait_for_first_frame() {
    for (int waited = 0; waited < kWindowWaitMs; waited += kPollMs) {
        const Picture p = shot();
        if (p.ok() && p.count({p.width() - 3, p.height() - 3, 1, 1}, kBlack, 2) == 0) {
            sleep_ms(kNextFrameMs);
            return true;
        }
        sleep_ms(kPollMs);
    }
    return false;
}

bool ScreenSession::start() {
    pid_ = session_.spawn({MP3PLAYER}, dir_, "player");
    if (pid_ <= 0) return false;
    for (int waited = 0; waited < kWindowWaitMs; waited += kPollMs) {
        if (!session_.sh_output("xdotool search --class Allegro 2>/dev/null").empty()) return wait_for_first_frame();
        sleep_ms(kPollMs);
    }
    std::fprintf(stderr, "no player window on %s; its output:\n%s\n", session_.display().c_str(),
                 read_text(session_.dir() + "/player.log").c_str());
    return false;
}

void ScreenSession::key(const std::string &keys) {
    session_.sh("xdotool mousemove 20 20 key --delay " + std::to_string(kKeyDelayMs) + " " + keys);
    sleep_ms(kKeyEffectMs);
}

void ScreenSession::enter_in_dialog(const std::string &text) {
    sleep_ms(kDialogOpenMs);
    session_.sh("xdotool key --delay 4 --repeat " + std::to_string(kFieldClearPresses) +
                " BackSpace && sleep 0.2 && xdotool type --delay 15 '" + text + "' && sleep 0.2 && xdotool key Return");
    sleep_ms(kDialogCloseMs);
}

Picture ScreenSession::shot() { return Picture(session_); }

Picture ScreenSession::shot_until(const std::function<bool(const Picture &)> &wanted) {
    Picture p = shot();
    for (int waited = 0; waited < kSettleWaitMs && !wanted(p); waited += kPollMs) {
        sleep_ms(kPollMs);
        p = shot();
    }
    return p;
}

int ScreenSession::quit() {
    session_.sh("xdotool mousemove 20 20 keydown Escape && sleep 0.4 && xdotool keyup Escape");
    const int status = session_.wait_exit(pid_, kQuitWaitMs);
    if (status != -1) pid_ = -1;
    return status;
}
