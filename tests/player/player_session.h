// Runs the real mp3player the way a user meets it: on a private Xvfb display
// with its sound captured, in a fresh working directory, driven by key
// presses, with its message boxes read and answered.
#ifndef PLAYER_SESSION_H
#define PLAYER_SESSION_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "headless.h"
#include "picture.h"

class PlayerSession {
public:
    explicit PlayerSession(bool realtime_sound);
    ~PlayerSession();  // ends the player if it still runs
    PlayerSession(const PlayerSession &) = delete;
    PlayerSession &operator=(const PlayerSession &) = delete;

    bool ok() const { return session_.ok(); }
    HeadlessSession &session() { return session_; }
    // The player's working directory, and a path inside it.
    const std::string &dir() const { return dir_; }
    std::string path(const std::string &name) const { return dir_ + "/" + name; }

    // Makes NAME in the working directory: a tone of hz Hertz lasting seconds
    // (".mp3" Layer III, ".mp2" Layer II). Returns its full path.
    std::string song(const std::string &name, int hz, double seconds);
    // Writes the default playlist "playlist.qpl", one line each.
    void write_playlist(const std::vector<std::string> &lines, const std::string &name = "playlist.qpl");

    // Starts the player and waits for its window. False when it did not come.
    // setup is shell text run just before the shell becomes the player
    // (limits, environment).
    bool start(const std::string &setup = "");
    pid_t pid() const { return pid_; }
    // What the player wrote on stdout and stderr.
    std::string log() const;
    // Presses keys (xdotool key names), pointer over the player's screen.
    void key(const std::string &keys);
    // In an open file selector: empties the name field, types text, Return.
    void enter_in_dialog(const std::string &text);
    // Holds a key down as long as a person's press and lets it go.
    void press(const std::string &key);
    // Waits up to timeout_ms for a file selector to be open (or closed): it
    // covers the screen's centre, where the player shows its background.
    bool wait_for_dialog(bool open, int timeout_ms);
    // Waits up to timeout_ms until the newest sound captured is tone hz,
    // the loudest of candidates (hz 0: silence).
    bool wait_for_sound(int hz, const std::vector<int> &candidates, int timeout_ms);
    // Waits up to timeout_ms until ms more milliseconds of sound are captured.
    bool wait_for_more_sound(int ms, int timeout_ms);
    Picture shot() { return Picture(session_); }
    // The player's window title ("" when there is no window).
    std::string title();
    // Waits up to timeout_ms for the window title to become title.
    bool wait_for_title(const std::string &title, int timeout_ms);
    // Waits up to timeout_ms for a message box shown by the player, answers
    // it and returns its text; "" when none came.
    std::string answer_message(int timeout_ms);
    // Holds Escape down and waits for the player to end. Its exit status, or
    // -1 when it did not end.
    int quit();
    // Waits up to timeout_ms for the player to end by itself: exit status or -1.
    int wait_exit(int timeout_ms);

    // The colour of a screen pixel, from a screenshot of the whole display.
    struct Rgb { int r, g, b; };
    Rgb pixel(int x, int y);

    // Sample frames captured so far (stereo, 44100 Hz).
    size_t frames_now() const;
    std::vector<int16_t> sound() const { return session_.captured_sound(); }

private:
    pid_t message_box_pid();

    HeadlessSession session_;
    std::string dir_;
    pid_t pid_ = -1;
};

constexpr int kCaptureRate = 44100;

// Checks done every 50 ms until it holds or timeout_ms have passed on the
// clock (a check may itself take long: screenshots on a busy machine).
bool wait_until(int timeout_ms, const std::function<bool()> &done);

// Frames of sound in ms milliseconds.
size_t frames_in_ms(int ms);

// Power of frequency hz in the mono mix of frames [from, to) (Goertzel).
double tone_power(const std::vector<int16_t> &stereo, size_t from, size_t to, double hz);

// The candidate tone heard loudest in frames [from, to) of interleaved stereo
// sound, or 0 when the stretch is silent.
int dominant_tone(const std::vector<int16_t> &stereo, size_t from, size_t to, const std::vector<int> &candidates);

// The tones heard one after the other: the sound cut into 50 ms windows,
// each named by its dominant tone, stretches shorter than min_ms dropped
// (song changes), repeats of the same tone merged. Silence does not appear.
std::vector<int> tone_sequence(const std::vector<int16_t> &stereo, const std::vector<int> &candidates,
                               int min_ms = 200);

struct ToneRun {
    int start_ms, length_ms;
};
// The stretches in which tone hz is the loudest of candidates, in 50 ms steps.
std::vector<ToneRun> tone_runs(const std::vector<int16_t> &stereo, int hz, const std::vector<int> &candidates);

#endif
