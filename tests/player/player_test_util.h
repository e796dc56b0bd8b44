// Helpers shared by the player's tests: scratch folders and songs made with
// real encoders at test time.
#ifndef PLAYER_TEST_UTIL_H
#define PLAYER_TEST_UTIL_H

#include <string>
#include <vector>

// A fresh folder under /tmp, removed with everything in it on destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Makes a sine of hz Hertz lasting seconds at path: Layer III through lame
// for a ".mp3" name, Layer II through twolame for ".mp2". At 44100 Hz it is
// stereo; at lower rates mono at a low bit rate, as such songs come. extra
// holds further lame options (tags). Returns false when an encoder failed.
bool make_tone_song(const std::string &path, int hz, double seconds, int rate = 44100,
                    const std::string &extra = "");

void write_text(const std::string &path, const std::string &text);
std::string read_text(const std::string &path);
std::vector<std::string> read_lines(const std::string &path);

#endif
