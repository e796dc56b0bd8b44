#include "player_session.h"

#include <signal.h>
#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "player_test_util.h"

namespace {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr int kWindowWaitMs = 10000;
// Escape held this long ends the player; other keys are held as long.
constexpr int kEscapeHoldMs = 400;
constexpr int kKeyHoldMs = kEscapeHoldMs;
// Half the side of the square at the screen's centre that an open file
// selector mostly covers (the player's background there is black).
constexpr int kCentreHalf = 20;
// The stretch of newest sound that tells what plays now.
constexpr int kNewestSoundMs = 100;
constexpr int kQuitWaitMs = 5000;
constexpr int kPollMs = 50;
constexpr int kToneWindowMs = 50;
// Below this RMS level (of 32767) a stretch counts as silence.
constexpr double kSilenceRms = 300.0;
// Enough BackSpace presses to empty the file selector's name field.
constexpr int kFieldClearPresses = 140;

HeadlessSession::Options screen_options(bool realtime) {
    HeadlessSession::Options o;
    o.width = kScreenWidth;
    o.height = kScreenHeight;
    o.realtime_sound = realtime;
    return o;
}

}  // namespace

double tone_power(const std::vector<int16_t> &stereo, size_t from, size_t to, double hz) {
    const double coeff = 2.0 * std::cos(2.0 * M_PI * hz / kCaptureRate);
    double s1 = 0, s2 = 0;
    for (size_t i = from; i < to; ++i) {
        const double x = (stereo[2 * i] + stereo[2 * i + 1]) / 2.0;
        const double s0 = x + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

bool wait_until(int timeout_ms, const std::function<bool()> &done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        sleep_ms(kPollMs);
    }
}

size_t frames_in_ms(int ms) { return static_cast<size_t>(ms) * kCaptureRate / 1000; }

int dominant_tone(const std::vector<int16_t> &stereo, size_t from, size_t to, const std::vector<int> &candidates) {
    to = std::min(to, stereo.size() / 2);
    if (from >= to) return 0;
    if (std::max(channel_rms(stereo, from, to, 0), channel_rms(stereo, from, to, 1)) < kSilenceRms) return 0;
    int best = 0;
    double best_power = 0;
    for (int hz : candidates) {
        const double p = tone_power(stereo, from, to, hz);
        if (p > best_power) {
            best_power = p;
            best = hz;
        }
    }
    return best;
}

std::vector<int> tone_sequence(const std::vector<int16_t> &stereo, const std::vector<int> &candidates, int min_ms) {
    const size_t window = frames_in_ms(kToneWindowMs);
    const size_t min_windows = static_cast<size_t>(min_ms / kToneWindowMs);
    std::vector<std::pair<int, size_t>> runs;  // tone, windows
    for (size_t at = 0; at + window <= stereo.size() / 2; at += window) {
        const int tone = dominant_tone(stereo, at, at + window, candidates);
        if (!runs.empty() && runs.back().first == tone)
            ++runs.back().second;
        else
            runs.push_back({tone, 1});
    }
    std::vector<int> sequence;
    for (const auto &[tone, windows] : runs)
        if (tone != 0 && windows >= min_windows && (sequence.empty() || sequence.back() != tone))
            sequence.push_back(tone);
    return sequence;
}

std::vector<ToneRun> tone_runs(const std::vector<int16_t> &stereo, int hz, const std::vector<int> &candidates) {
    const size_t window = frames_in_ms(kToneWindowMs);
    std::vector<ToneRun> runs;
    bool in_tone = false;
    int ms = 0;
    for (size_t at = 0; at + window <= stereo.size() / 2; at += window, ms += kToneWindowMs) {
        const bool tone = dominant_tone(stereo, at, at + window, candidates) == hz;
        if (tone && !in_tone) runs.push_back({ms, 0});
        if (tone) runs.back().length_ms += kToneWindowMs;
        in_tone = tone;
    }
    return runs;
}

PlayerSession::PlayerSession(bool realtime_sound) : session_(screen_options(realtime_sound)) {
    if (!session_.ok()) return;
    dir_ = session_.dir() + "/work";
    mkdir(dir_.c_str(), 0755);
}

PlayerSession::~PlayerSession() {
    if (pid_ > 0) session_.stop(pid_);
}

std::string PlayerSession::song(const std::string &name, int hz, double seconds) {
    const std::string p = path(name);
    return make_tone_song(p, hz, seconds) ? p : std::string();
}

void PlayerSession::write_playlist(const std::vector<std::string> &lines, const std::string &name) {
    std::string text;
    for (const auto &line : lines) text += line + "\n";
    write_text(path(name), text);
}

bool PlayerSession::start(const std::string &setup) {
    pid_ = session_.spawn({"sh", "-c", setup + " exec '" MP3PLAYER "'"}, dir_, "player");
    if (pid_ <= 0) return false;
    for (int waited = 0; waited < kWindowWaitMs; waited += kPollMs) {
        if (!session_.sh_output("xdotool search --class Allegro 2>/dev/null").empty()) return true;
        sleep_ms(kPollMs);
    }
    return false;
}

void PlayerSession::key(const std::string &keys) {
    session_.sh("xdotool mousemove 20 20 key --delay 40 " + keys);
}

void PlayerSession::enter_in_dialog(const std::string &text) {
    std::ostringstream cmd;
    cmd << "xdotool key --delay 4 --repeat " << kFieldClearPresses << " BackSpace && sleep 0.2 && xdotool type --delay 15 '"
        << text << "' && sleep 0.2 && xdotool key Return";
    session_.sh(cmd.str());
}

void PlayerSession::press(const std::string &key) {
    session_.sh("xdotool mousemove 20 20 keydown " + key + " && sleep " + std::to_string(kKeyHoldMs / 1000.0) +
                " && xdotool keyup " + key);
}

bool PlayerSession::wait_for_dialog(bool open, int timeout_ms) {
    return wait_until(timeout_ms, [&] {
        const Picture screen = shot();
        const Rect centre{screen.width() / 2 - kCentreHalf, screen.height() / 2 - kCentreHalf, 2 * kCentreHalf,
                          2 * kCentreHalf};
        return screen.ok() && (screen.count(centre, kBlack) < kCentreHalf * kCentreHalf * 2) == open;
    });
}

bool PlayerSession::wait_for_sound(int hz, const std::vector<int> &candidates, int timeout_ms) {
    const size_t newest = frames_in_ms(kNewestSoundMs);
    return wait_until(timeout_ms, [&] {
        const size_t now = frames_now();
        return now >= newest && dominant_tone(session_.captured_sound(now - newest), 0, newest, candidates) == hz;
    });
}

bool PlayerSession::wait_for_more_sound(int ms, int timeout_ms) {
    const size_t until = frames_now() + frames_in_ms(ms);
    return wait_until(timeout_ms, [&] { return frames_now() >= until; });
}

std::string PlayerSession::title() {
    return session_.sh_output("xdotool search --class Allegro getwindowname %@ 2>/dev/null | head -1");
}

std::string PlayerSession::log() const { return read_text(session_.dir() + "/player.log"); }

bool PlayerSession::wait_for_title(const std::string &wanted, int timeout_ms) {
    for (int waited = 0; waited <= timeout_ms; waited += kPollMs) {
        if (title() == wanted) return true;
        sleep_ms(kPollMs);
    }
    return false;
}

pid_t PlayerSession::message_box_pid() {
    const std::string out = session_.sh_output("pgrep -P " + std::to_string(pid_) + " -x xmessage");
    return out.empty() ? -1 : static_cast<pid_t>(std::atoi(out.c_str()));
}

std::string PlayerSession::answer_message(int timeout_ms) {
    for (int waited = 0; waited <= timeout_ms; waited += kPollMs) {
        const pid_t box = message_box_pid();
        if (box > 0) {
            // The message is xmessage's last argument.
            std::ifstream in("/proc/" + std::to_string(box) + "/cmdline", std::ios::binary);
            const std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::vector<std::string> args;
            std::istringstream parts(cmdline);
            for (std::string a; std::getline(parts, a, '\0');) args.push_back(a);
            // Allegro holds the keyboard and pointer, so the box cannot be
            // clicked: ending it is the same answer as its OK button.
            kill(box, SIGTERM);
            sleep_ms(kPollMs);
            std::string text = args.empty() ? std::string() : args.back();
            while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
            return text;
        }
        sleep_ms(kPollMs);
    }
    return "";
}

int PlayerSession::quit() {
    session_.sh("xdotool mousemove 20 20 keydown Escape && sleep " + std::to_string(kEscapeHoldMs / 1000.0) +
                " && xdotool keyup Escape");
    return wait_exit(kQuitWaitMs);
}

int PlayerSession::wait_exit(int timeout_ms) {
    const int status = session_.wait_exit(pid_, timeout_ms);
    if (status != -1) pid_ = -1;
    return status;
}

PlayerSession::Rgb PlayerSession::pixel(int x, int y) {
    const std::string shot = session_.dir() + "/shot.png";
    Rgb rgb{-1, -1, -1};
    if (session_.sh("import -window root " + shot) != 0) return rgb;
    const std::string text = session_.sh_output("convert " + shot + " -format '%[fx:int(255*p{" + std::to_string(x) +
                                                "," + std::to_string(y) + "}.r)] %[fx:int(255*p{" + std::to_string(x) +
                                                "," + std::to_string(y) + "}.g)] %[fx:int(255*p{" + std::to_string(x) +
                                                "," + std::to_string(y) + "}.b)]' info:");
    std::sscanf(text.c_str(), "%d %d %d", &rgb.r, &rgb.g, &rgb.b);
    return rgb;
}

size_t PlayerSession::frames_now() const { return static_cast<size_t>(session_.captured_bytes()) / 4; }
