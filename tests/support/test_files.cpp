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

std::vector<int16_t> raw_pcm(const std::string &name) { return read_pcm(encoded_path(name) + ".raw"); }

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

namespace {

// Where a reference decode of some bytes is kept: named by their length and
// a 64-bit FNV-1a hash of them, in the folder of test files. The Linux build
// writes one for every decode it makes; the same tests built for Windows
// (under Wine, without the mpg123 program) read them.
std::string kept_decode_path(const std::vector<unsigned char> &bytes) {
    constexpr uint64_t kOffsetBasis = 14695981039346656037ULL;
    constexpr uint64_t kPrime = 1099511628211ULL;
    uint64_t hash = kOffsetBasis;
    for (unsigned char b : bytes) hash = (hash ^ b) * kPrime;
    char name[64];
    std::snprintf(name, sizeof name, "%zu-%016llx.pcm", bytes.size(), static_cast<unsigned long long>(hash));
    return std::string(TEST_FILES_DIR) + "/decodes/" + name;
}

#ifndef _WIN32
std::vector<int16_t> run_mpg123(const std::string &path) {
    const std::string cmd = "mpg123 -q -e s16 -s '" + path + "' 2>/dev/null";
    std::vector<int16_t> pcm;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) return pcm;
    int16_t buf[4096];
    size_t n;
    while ((n = std::fread(buf, sizeof buf[0], 4096, p)) > 0) pcm.insert(pcm.end(), buf, buf + n);
    pclose(p);
    return pcm;
}

void keep_decode(const std::vector<unsigned char> &bytes, const std::vector<int16_t> &pcm) {
    mkdir((std::string(TEST_FILES_DIR) + "/decodes").c_str(), 0755);
    std::ofstream out(kept_decode_path(bytes), std::ios::binary);
    out.write(reinterpret_cast<const char *>(pcm.data()), static_cast<std::streamsize>(pcm.size() * sizeof pcm[0]));
}
#endif

}  // namespace

#ifdef _WIN32
std::vector<int16_t> command_line_decode(const std::string &path) { return command_line_decode_bytes(read_bytes(path)); }

std::vector<int16_t> command_line_decode_bytes(const std::vector<unsigned char> &bytes) {
    return read_pcm(kept_decode_path(bytes));
}
#else
std::vector<int16_t> command_line_decode(const std::string &path) {
    std::vector<int16_t> pcm = run_mpg123(path);
    keep_decode(read_bytes(path), pcm);
    return pcm;
}

std::vector<int16_t> command_line_decode_bytes(const std::vector<unsigned char> &bytes) {
    char path[] = "/tmp/almp3_decode_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    FILE *out = fdopen(fd, "wb");
    const bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (out) std::fclose(out);
    std::vector<int16_t> pcm = written ? run_mpg123(path) : std::vector<int16_t>{};
    std::remove(path);
    if (written) keep_decode(bytes, pcm);
    return pcm;
}
#endif

size_t cut_off_frames(const std::vector<unsigned char> &bytes, size_t from) {
    // Each frame's main data is joined to the main_data_begin bytes before
    // it, taken from the end of what the frame before held: its own main
    // data and what of the bytes joined to it were sound.
    constexpr size_t kFramesLooked = 100;
    size_t silent = 0, sound = 0, i = 0;
    for (const MpegFrame &f : mpeg_frames(bytes, from)) {
        const unsigned char *h = bytes.data() + f.offset;
        const bool layer3 = (h[1] & 0x06) == 0x02;
        if (!layer3 || i >= kFramesLooked) break;
        const bool lsf = f.samples == 576, mono = f.channels == 1;
        const int side = h[1] & 1 ? 4 : 6;  // after the CRC when the protection bit is 0
        const size_t begin = lsf ? h[side] : h[side] << 1 | h[side + 1] >> 7;
        if (begin > sound) silent = i + 1 + (lsf ? 2 : 1);
        sound = f.length - static_cast<size_t>(side + (lsf ? (mono ? 9 : 17) : (mono ? 17 : 32))) + std::min(begin, sound);
        ++i;
    }
    return silent;
}

CutFile cut_layer3_file(const std::string &name) {
    const std::vector<unsigned char> file = read_bytes(encoded_path(name));
    // A stream cut out of the middle has no Info frame and no LAME tag: it
    // plays untrimmed, as the untrimmed decode of the whole file has it.
    const std::vector<int16_t> ref = raw_pcm(name);
    const std::vector<MpegFrame> frames = mpeg_frames(file);
    CutFile cut;
    if (frames.empty() || ref.size() % frames.size() != 0) return cut;
    const size_t middle = frames.size() / 2, frame_samples = ref.size() / frames.size();
    cut.bytes.assign(file.begin() + static_cast<long>(frames[middle].offset), file.end());
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

namespace {

// Bit rates in kbit/s by bit-rate index 1 to 14.
constexpr int kMpeg1Rates[3][14] = {
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // Layer I
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // Layer II
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // Layer III
};
constexpr int kMpeg2Rates[2][14] = {
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},  // Layer I
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},       // Layers II and III
};
constexpr int kMpeg1Freqs[3] = {44100, 48000, 32000};
constexpr int kId3v2HeaderLen = 10;

// The frame whose header starts at `at`, with length 0 when none does.
MpegFrame frame_at(const std::vector<unsigned char> &b, size_t at) {
    MpegFrame f{at, 0, 0, 0};
    if (at + 4 > b.size() || b[at] != 0xFF || (b[at + 1] & 0xE0) != 0xE0) return f;
    const int version = (b[at + 1] >> 3) & 3;  // 0: MPEG-2.5, 2: MPEG-2, 3: MPEG-1
    const int layer = 4 - ((b[at + 1] >> 1) & 3);
    const int rate_index = b[at + 2] >> 4;
    const int freq_index = (b[at + 2] >> 2) & 3;
    if (version == 1 || layer == 4 || rate_index == 0 || rate_index == 15 || freq_index == 3) return f;
    const bool mpeg1 = version == 3;
    const int kbps = mpeg1 ? kMpeg1Rates[layer - 1][rate_index - 1] : kMpeg2Rates[layer == 1 ? 0 : 1][rate_index - 1];
    const int freq = kMpeg1Freqs[freq_index] / (mpeg1 ? 1 : version == 2 ? 2 : 4);
    const int padding = (b[at + 2] >> 1) & 1;
    f.samples = layer == 1 ? 384 : layer == 3 && !mpeg1 ? 576 : 1152;
    f.channels = (b[at + 3] >> 6) == 3 ? 1 : 2;
    f.length = layer == 1 ? static_cast<size_t>((12 * kbps * 1000 / freq + padding) * 4)
                          : static_cast<size_t>(f.samples / 8 * kbps * 1000 / freq + padding);
    return f;
}

}  // namespace

std::vector<MpegFrame> mpeg_frames(const std::vector<unsigned char> &bytes, size_t from) {
    std::vector<MpegFrame> frames;
    size_t at = from;
    for (;; ++at) {
        if (at + 4 > bytes.size()) return frames;
        const MpegFrame f = frame_at(bytes, at);
        if (f.length > 0 && (at + f.length == bytes.size() || frame_at(bytes, at + f.length).length > 0)) break;
    }
    for (MpegFrame f = frame_at(bytes, at); f.length > 0 && f.offset + f.length <= bytes.size();
         f = frame_at(bytes, f.offset + f.length))
        frames.push_back(f);
    return frames;
}

int frames_within(const std::vector<unsigned char> &bytes, size_t len) {
    const auto frames = mpeg_frames(bytes);
    return static_cast<int>(std::count_if(frames.begin(), frames.end(),
                                          [&](const MpegFrame &f) { return f.offset + f.length <= len; }));
}

namespace {

// The Xing/Info header: its tag, 4 bytes of flags, then the fields the flags
// name (frames, bytes, a 100-byte table, a quality scale). The LAME tag
// follows: a 9-byte encoder name, and 21 bytes in, 12 bits of delay and 12
// of padding.
constexpr int kXingFlagsEnd = 8;
constexpr int kXingFieldLen[4] = {4, 4, 100, 4};
constexpr int kLameDelayAt = 21;
constexpr int kLameTagLen = kLameDelayAt + 3;
// mpg123's synthesis delay, which its gapless decode trims with the encoder's.
constexpr int kMpg123DecoderDelay = 529;

}  // namespace

InfoFrame info_frame(const std::vector<unsigned char> &bytes) {
    InfoFrame info;
    const auto frames = mpeg_frames(bytes);
    if (frames.empty()) return info;
    const std::string frame(bytes.begin() + static_cast<long>(frames[0].offset),
                            bytes.begin() + static_cast<long>(frames[0].offset + frames[0].length));
    size_t at = frame.find("Xing");
    if (at == std::string::npos) at = frame.find("Info");
    if (at == std::string::npos || at + kXingFlagsEnd > frame.size()) return info;
    info.present = true;
    const int flags = static_cast<unsigned char>(frame[at + kXingFlagsEnd - 1]);
    size_t lame = at + kXingFlagsEnd;
    for (int i = 0; i < 4; ++i) lame += (flags >> i & 1) ? kXingFieldLen[i] : 0;
    if (lame + kLameTagLen > frame.size() || frame.compare(lame, 4, "LAME") != 0) return info;
    const auto *d = reinterpret_cast<const unsigned char *>(frame.data() + lame + kLameDelayAt);
    info.lame = true;
    info.delay = d[0] << 4 | d[1] >> 4;
    info.padding = (d[1] & 0x0F) << 8 | d[2];
    return info;
}

size_t default_samples(const std::vector<unsigned char> &bytes, int frames) {
    const auto all = mpeg_frames(bytes);
    if (all.empty()) return 0;
    const InfoFrame info = info_frame(bytes);
    const int64_t delay = info.lame ? info.delay + kMpg123DecoderDelay : 0;
    const int64_t samples = std::max<int64_t>(0, int64_t{frames} * all[0].samples - delay);
    return static_cast<size_t>(samples * all[0].channels);
}

int audio_frames_within(const std::vector<unsigned char> &bytes, size_t len) {
    const int frames = frames_within(bytes, len);
    return frames > 0 && info_frame(bytes).present ? frames - 1 : frames;
}

std::vector<unsigned char> with_id3v2(const std::vector<unsigned char> &data, int size, bool footer) {
    std::vector<unsigned char> out = {'I', 'D', '3', 4, 0, static_cast<unsigned char>(footer ? 0x10 : 0),
                                      static_cast<unsigned char>((size >> 21) & 0x7F),
                                      static_cast<unsigned char>((size >> 14) & 0x7F),
                                      static_cast<unsigned char>((size >> 7) & 0x7F),
                                      static_cast<unsigned char>(size & 0x7F)};
    out.resize(kId3v2HeaderLen + size + (footer ? kId3v2HeaderLen : 0), 0);
    out.insert(out.end(), data.begin(), data.end());
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

std::vector<int16_t> head(const std::vector<int16_t> &pcm, size_t count) {
    return std::vector<int16_t>(pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(std::min(count, pcm.size())));
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
