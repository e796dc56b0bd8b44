#include "player_test_util.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

ScratchDir::ScratchDir() {
    char tmpl[] = "/tmp/player_test.XXXXXX";
    if (mkdtemp(tmpl)) path_ = tmpl;
}

ScratchDir::~ScratchDir() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
}

bool make_tone_song(const std::string &path, int hz, double seconds, int rate, const std::string &extra) {
    constexpr int kFullRate = 44100;
    const bool full = rate == kFullRate;
    const std::string wav = path + ".wav";
    std::ostringstream cmd;
    cmd << "sox -q -n -r " << rate << " -c " << (full ? 2 : 1) << " -b 16 '" << wav << "' synth " << seconds
        << " sine " << hz << " vol 0.5 && ";
    const bool layer2 = path.size() > 4 && path.compare(path.size() - 4, 4, ".mp2") == 0;
    if (layer2)
        cmd << "twolame --quiet -b 192 '" << wav << "' '" << path << "'";
    else
        cmd << "lame --quiet -b " << (full ? 128 : 16) << " " << extra << " '" << wav << "' '" << path << "'";
    cmd << " && rm -f '" << wav << "'";
    return std::system(cmd.str().c_str()) == 0;
}

void write_text(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string read_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> read_lines(const std::string &path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
