// The real mp3player on a private Xvfb display of a chosen size, in a fresh
// working directory, driven by key presses and watched through screenshots.
#ifndef SCREEN_SESSION_H
#define SCREEN_SESSION_H

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "headless.h"
#include "picture.h"

class ScreenSession {
public:
    ScreenSession(int width, int height, bool realtime_sound = false);
    ~ScreenSession();  // ends the player if it still runs
    ScreenSession(const ScreenSession &) = delete;
    ScreenSession &operator=(const ScreenSession &) = delete;

    bool ok() const { return session_.ok(); }
    HeadlessSession &session() { return session_; }
    // The player's working directory, and a path inside it.
    const std::string &dir() const { return dir_; }
    std::string path(const std::string &name) const { return dir_ + "/" + name; }

    // Songs of one tone: names[i] made in the working directory, each a copy
    // of one encoding. Returns their full paths.
    std::vector<std::string> songs(const std::vector<std::string> &names, int hz, double seconds);
    // Writes "playlist.qpl" in the working directory, one path a line.
    void write_playlist(const std::vector<std::string> &paths);

    // Starts the player and waits until it has drawn its first frames.
    bool start();
    pid_t pid() const { return pid_; }
    // Presses keys (xdotool key names) with the pointer over the screen.
    void key(const std::string &keys);
    // In an open file selector: empties the name field, types text, Return.
    void enter_in_dialog(const std::string &text);
    Picture shot();
    // The first screenshot within a few seconds that passes `wanted`, or the
    // last one taken: a busy machine may still be handling the keys, or be
    // half-way through putting a frame on the screen.
    Picture shot_until(const std::function<bool(const Picture &)> &wanted);
    // Holds Escape down; the player's exit status, or -1 if it did not end.
    int quit();

private:
    bool wait_for_first_frame();

    HeadlessSession session_;
    std::string dir_;
    pid_t pid_ = -1;
};

#endif
