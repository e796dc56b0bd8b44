#include "headless.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

extern char **environ;

namespace {

constexpr int kXvfbStartMs = 10000;
// One 10 ms period at 44100 Hz: ALSA's file device then paces like a card.
constexpr int kRealtimeFragment = 441;

// Reads one line of digits from fd, waiting at most timeout_ms.
std::string read_line(int fd, int timeout_ms) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        char c;
        if (read(fd, &c, 1) != 1) break;
        if (c == '\n') return text;
        if (c >= '0' && c <= '9') text += c;
    }
    return "";
}

void write_file(const std::string &path, const std::string &text) {
    std::ofstream(path) << text;
}

std::vector<char *> c_strings(std::vector<std::string> &strings) {
    std::vector<char *> out;
    for (auto &s : strings) out.push_back(&s[0]);
    out.push_back(nullptr);
    return out;
}

}  // namespace

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

HeadlessSession::HeadlessSession() : HeadlessSession(Options{}) {}

HeadlessSession::HeadlessSession(const Options &options) : options_(options) {
    char tmpl[] = "/tmp/headless.XXXXXX";
    if (!mkdtemp(tmpl)) return;
    dir_ = tmpl;
    capture_ = dir_ + "/capture.raw";
    write_file(dir_ + "/asound.conf", "pcm.!default { type file; slave.pcm \"null\"; file \"" + capture_ +
                                          "\"; format \"raw\"; perm 0644 }\n");
    mkdir((dir_ + "/home").c_str(), 0755);
    if (options_.realtime_sound)
        write_file(dir_ + "/home/.allegrorc", "[sound]\nalsa_fragsize = " + std::to_string(kRealtimeFragment) + "\n");

    start_xvfb();
}

// Xvfb picks a free display number itself and writes it to a pipe once it
// listens (-displayfd), so sessions started at the same time never collide.
void HeadlessSession::start_xvfb() {
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string screen = std::to_string(options_.width) + "x" + std::to_string(options_.height) + "x24";
    // -noreset: by default the server resets whenever its last client
    // leaves, and a program connecting during the reset finds no display
    // (a short-lived xdotool or xdpyinfo is often that last client).
    std::vector<std::string> argv = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                     "-nolisten", "tcp", "-noreset"};
    auto args = c_strings(argv);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "Xvfb", &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string number;
    if (rc == 0) number = read_line(fds[0], kXvfbStartMs);
    close(fds[0]);
    if (rc != 0) return;
    if (number.empty()) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return;
    }
    display_ = ":" + number;
    xvfb_pid_ = pid;
}

HeadlessSession::~HeadlessSession() {
    for (pid_t pid : children_) stop(pid);
    if (xvfb_pid_ > 0) {
        kill(xvfb_pid_, SIGTERM);
        waitpid(xvfb_pid_, nullptr, 0);
    }
    if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
}

std::vector<std::string> HeadlessSession::child_env() const {
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string var = *e;
        if (var.rfind("DISPLAY=", 0) == 0 || var.rfind("ALSA_CONFIG_PATH=", 0) == 0 || var.rfind("HOME=", 0) == 0)
            continue;
        env.push_back(var);
    }
    env.push_back("DISPLAY=" + display_);
    env.push_back("ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:" + dir_ + "/asound.conf");
    env.push_back("HOME=" + dir_ + "/home");
    return env;
}

pid_t HeadlessSession::spawn(const std::vector<std::string> &argv, const std::string &cwd,
                             const std::string &log_name) {
    std::vector<std::string> args_copy = argv;
    std::vector<std::string> env = child_env();
    auto args = c_strings(args_copy);
    auto envp = c_strings(env);
    const std::string log = log_name.empty() ? "/dev/null" : dir_ + "/" + log_name + ".log";
    const std::string workdir = cwd.empty() ? dir_ : cwd;

    // posix_spawn cannot change directory on this libc: fork and exec.
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        setpgid(0, 0);
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) { dup2(fd, 1); dup2(fd, 2); close(fd); }
        if (chdir(workdir.c_str()) != 0) _exit(127);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    children_.push_back(pid);
    return pid;
}

int HeadlessSession::wait_exit(pid_t pid, int timeout_ms) {
    for (int waited = 0;; waited += 10) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            for (auto it = children_.begin(); it != children_.end(); ++it)
                if (*it == pid) { children_.erase(it); break; }
            return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        }
        if (r < 0 || waited >= timeout_ms) return -1;
        sleep_ms(10);
    }
}

void HeadlessSession::stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    if (wait_exit(pid, 2000) == -1) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    for (auto it = children_.begin(); it != children_.end(); ++it)
        if (*it == pid) { children_.erase(it); break; }
}

int HeadlessSession::sh(const std::string &command) {
    constexpr int kShellTimeoutMs = 120000;
    const pid_t pid = spawn({"sh", "-c", command}, dir_);
    if (pid < 0) return -1;
    const int status = wait_exit(pid, kShellTimeoutMs);
    if (status == -1) stop(pid);
    return status;
}

std::string HeadlessSession::sh_output(const std::string &command) {
    const std::string out = dir_ + "/sh_output.txt";
    sh(command + " > " + out);
    std::ifstream in(out);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

long HeadlessSession::captured_bytes() const {
    struct stat st;
    return stat(capture_.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

std::vector<int16_t> HeadlessSession::captured_sound(size_t from_frame) const {
    constexpr std::streamoff kFrameBytes = 4;
    std::ifstream in(capture_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from_frame) * kFrameBytes);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        const uint16_t u = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        samples[i] = static_cast<int16_t>(u ^ 0x8000);
    }
    return samples;
}

double channel_rms(const std::vector<int16_t> &stereo, size_t from, size_t to, int channel) {
    const size_t frames = stereo.size() / 2;
    if (to > frames) to = frames;
    if (from >= to) return 0.0;
    double sum = 0;
    for (size_t i = from; i < to; ++i) {
        const double v = stereo[2 * i + static_cast<size_t>(channel)];
        sum += v * v;
    }
    return std::sqrt(sum / static_cast<double>(to - from));
}
