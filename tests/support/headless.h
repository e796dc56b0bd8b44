// Runs programs the way a user would meet them, on a machine without a
// display or sound card: a private Xvfb display, and ALSA's default device
// writing the mixed sound to a file (unsigned 16-bit stereo 44100 Hz).
#ifndef HEADLESS_H
#define HEADLESS_H

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class HeadlessSession {
public:
    struct Options {
        int width = 1024;
        int height = 768;
        // Sound at real-time pace (ALSA's file device otherwise runs about
        // 2.3 times faster than real time).
        bool realtime_sound = false;
    };

    // Starts Xvfb on a free display and prepares a private folder holding the
    // ALSA configuration, a HOME for the programs and the capture file.
    HeadlessSession();
    explicit HeadlessSession(const Options &options);
    ~HeadlessSession();  // ends every process it started, removes the folder
    HeadlessSession(const HeadlessSession &) = delete;
    HeadlessSession &operator=(const HeadlessSession &) = delete;

    bool ok() const { return xvfb_pid_ > 0; }
    const std::string &display() const { return display_; }  // ":N"
    const std::string &dir() const { return dir_; }          // private folder
    const std::string &capture_path() const { return capture_; }

    // Starts a program with DISPLAY, ALSA_CONFIG_PATH and HOME set, in
    // working directory cwd (empty: dir()). Output goes to dir()/NAME.log
    // when log_name is given. Returns the pid, or -1.
    pid_t spawn(const std::vector<std::string> &argv, const std::string &cwd = "",
                const std::string &log_name = "");
    // Waits up to timeout_ms for pid to end. Returns its exit status
    // (WEXITSTATUS), -2 if killed by a signal, -1 on time-out.
    int wait_exit(pid_t pid, int timeout_ms);
    // Ends pid (TERM, then KILL) and reaps it.
    void stop(pid_t pid);

    // Runs a shell command line (xdotool, import, ...) with the same
    // environment and waits for it. Returns its exit status.
    int sh(const std::string &command);
    // The same, returning what it printed on stdout (trailing newline cut).
    std::string sh_output(const std::string &command);

    // The sound captured so far from sample frame from_frame on, as signed
    // interleaved stereo samples.
    std::vector<int16_t> captured_sound(size_t from_frame = 0) const;
    // Bytes captured so far.
    long captured_bytes() const;

private:
    void start_xvfb();
    std::vector<std::string> child_env() const;

    Options options_;
    std::string display_;
    std::string dir_;
    std::string capture_;
    pid_t xvfb_pid_ = -1;
    std::vector<pid_t> children_;
};

// Sleeps for ms milliseconds.
void sleep_ms(int ms);

// Root-mean-square level of one channel (0 left, 1 right) of interleaved
// stereo samples [from, to) in sample frames.
double channel_rms(const std::vector<int16_t> &stereo, size_t from, size_t to, int channel);

#endif
