#include "test_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <sys/stat.h>

#include "format/frame_header.h"

std::vector<EncodedFile> encoded_files() {
    std::vector<EncodedFile> files;
    std::ifstream in(std::string(TEST_FILES_DIR) + "/manifest.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        EncodedFile f{};
        int xing = 0;
        if (fields >> f.name >> f.rate >> f.channels >> f.layer >> xing) {
            f.xing = xing != 0;
            files.push_back(f);
        }
    }
    return files;
}

std::string encoded_path(const std::string &name) { return std::string(TEST_FILES_DIR) + "/" + name; }

std::vector<int16_t> reference_pcm(const std::string &name) { return read_pcm(encoded_path(name) + ".ref"); }

bool conformance_available() {
    struct stat st;
    return stat(CONFORMANCE_DIR, &st) == 0 && S_ISDIR(st.st_mode);
}

std::string conformance_path(const std::string &name) { return std::string(CONFORMANCE_DIR) + "/" + name; }

const std::vector<std::string> &conformance_streams() {
    static const std::vector<std::string> names = {
        "M2L3_bitrate_16_all.bit", "M2L3_bitrate_22_all.bit", "M2L3_bitrate_24_all.bit",
        "M2L3_compl24.bit", "M2L3_noise.bit", "MIPSTest.mp3", "l1-fl1.bit", "l2-fl10.bit", "l2-fl11.bit",
        "l2-fl12.bit", "l2-fl13.bit", "l2-fl14.bit", "l2-fl15.bit", "l2-fl16.bit", "l2-test32.bit",
        "l3-compl-cut.mp3", "l3-compl.bit", "l3-he_32khz.bit", "l3-he_44khz.bit", "l3-he_48khz.bit",
        "l3-he_free.bit", "l3-he_mode.bit", "l3-hecommon.bit", "l3-nonstandard-id3v1-apetag.bit",
        "l3-nonstandard-id3v1.bit", "l3-nonstandard-id3v2-only.bit", "l3-nonstandard-id3v2.bit",
        "l3-nonstandard-sideinfo-size.bit", "l3-nonstandard-sin1k0db_lame_vbrtag.bit",
        "l3-nonstandard-small.bit", "l3-nonstandard-vbrtag-corrupted.bit", "l3-nonstandard-vbrtag-empty.bit",
        "l3-nonstandard-vbrtag-noframes.bit", "l3-nonstandard-vbrtag-only.bit",
        "l3-nonstandard-vbrtag-oob-read.bit", "l3-si.bit", "l3-si_block.bit", "l3-si_huff.bit",
        "l3-sin1k0db.bit", "l3-test45.bit", "l3-test46.bit", "noise_meandr.mp3",
    };
    return names;
}

bool has_conformance_reference(const std::string &name) {
    return name != "MIPSTest.mp3" && name != "l3-compl-cut.mp3" && name != "noise_meandr.mp3";
}

std::vector<int16_t> command_line_decode(const std::string &path) {
    const std::string cmd = "mpg123 -q --no-gapless --no-infoframe -e s16 -s '" + path + "' 2>/dev/null";
    std::vector<int16_t> pcm;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) return pcm;
    int16_t buf[4096];
    size_t n;
    while ((n = std::fread(buf, sizeof buf[0], 4096, p)) > 0) pcm.insert(pcm.end(), buf, buf + n);
    pclose(p);
    return pcm;
}

std::vector<int16_t> command_line_decode_bytes(const std::vector<unsigned char> &bytes) {
    char path[] = "/tmp/almp3_decode_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    FILE *out = fdopen(fd, "wb");
    const bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (out) std::fclose(out);
    std::vector<int16_t> pcm = written ? command_line_decode(path) : std::vector<int16_t>{};
    std::remove(path);
    return pcm;
}

size_t cut_off_frames(const std::vector<unsigned char> &bytes) {
    size_t silent = 0, fed = 0, i = 0;
    for (size_t p = 0; const int len = almp3::frame_len_at(bytes.data(), p, bytes.size()); p += len, ++i) {
        const unsigned char *h = bytes.data() + p;
        const bool layer3 = (h[1] & 0x06) == 0x02;
        if (!layer3 || p + len > bytes.size() || fed > 511) break;
        const bool lsf = (h[1] & 0x08) == 0, mono = h[3] >> 6 == 3;
        const int side = h[1] & 1 ? 4 : 6;  // after the CRC when the protection bit is 0
        const size_t begin = lsf ? h[side] : h[side] << 1 | h[side + 1] >> 7;
        if (begin > fed) silent = i + 1 + (lsf ? 2 : 1);
        fed += static_cast<size_t>(len - side - (lsf ? (mono ? 9 : 17) : (mono ? 17 : 32)));
    }
    return silent;
}

CutFile cut_layer3_file(const std::string &name) {
    const std::vector<unsigned char> file = read_bytes(encoded_path(name));
    const std::vector<int16_t> ref = reference_pcm(name);
    std::vector<size_t> starts;
    for (size_t p = 0; const int len = almp3::frame_len_at(file.data(), p, file.size()); p += len)
        if (p + len <= file.size()) starts.push_back(p);
    CutFile cut;
    if (starts.empty() || ref.size() % starts.size() != 0) return cut;
    const size_t middle = starts.size() / 2, frame_samples = ref.size() / starts.size();
    cut.bytes.assign(file.begin() + static_cast<long>(starts[middle]), file.end());
    cut.expected.assign(ref.begin() + static_cast<long>(middle * frame_samples), ref.end());
    cut.frame_pcm_bytes = static_cast<int>(frame_samples * 2);
    cut.silent_samples = std::min(cut_off_frames(cut.bytes) * frame_samples, cut.expected.size());
    std::fill(cut.expected.begin(), cut.expected.begin() + static_cast<long>(cut.silent_samples), 0);
    return cut;
}

std::vector<unsigned char> sync_free_bytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<unsigned char> out(n);
    for (auto &b : out) b = static_cast<unsigned char>(rng() % 0xFF);
    return out;
}

std::vector<unsigned char> read_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<int16_t> read_pcm(const std::string &path) {
    const std::vector<unsigned char> bytes = read_bytes(path);
    std::vector<int16_t> pcm(bytes.size() / 2);
    if (!pcm.empty()) std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    return pcm;
}

int max_sample_diff(const std::vector<int16_t> &a, const std::vector<int16_t> &b) {
    if (a.size() != b.size()) return -1;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int{a[i]} - int{b[i]}));
    return worst;
}

double psnr_db(const std::vector<int16_t> &a, const std::vector<int16_t> &reference) {
    if (reference.empty()) return a.empty() ? 200.0 : 0.0;
    double noise = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
        const double d = static_cast<double>(i < a.size() ? a[i] : 0) - static_cast<double>(reference[i]);
        noise += d * d;
    }
    if (noise == 0) return 200.0;
    const double mse = noise / static_cast<double>(reference.size());
    return 10.0 * std::log10(32767.0 * 32767.0 / mse);
}
