// Runs every file named on the command line (or found in the folders named)
// through a fuzz target's entry function once, without libFuzzer: the kept
// corpus is replayed this way by the ordinary test builds, sanitizers
// included, so nothing a fuzzer found can come back unnoticed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

namespace fs = std::filesystem;

bool replay(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // libFuzzer never passes a null pointer, even for an empty input.
    const uint8_t none = 0;
    LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    int replayed = 0;
    // Absolute names: a target may change the working directory.
    for (int i = 1; i < argc; ++i) {
        const fs::path arg = fs::absolute(argv[i]);
        std::vector<fs::path> files;
        if (fs::is_directory(arg)) {
            for (const auto &entry : fs::directory_iterator(arg))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(arg);
        }
        for (const auto &file : files) {
            if (!replay(file)) {
                std::fprintf(stderr, "cannot read %s\n", file.c_str());
                return 1;
            }
            ++replayed;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    // A corpus that is missing or empty proves nothing.
    return replayed > 0 ? 0 : 1;
}
