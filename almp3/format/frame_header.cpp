#include "frame_header.h"

namespace almp3 {

const int freqs[9] = {44100, 48000, 32000, 22050, 24000, 16000, 11025, 12000, 8000};

const int tabsel_123[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};

namespace {

constexpr int kSingleChannel = 3;
constexpr int kJointStereo = 1;

// Subbands a Layer II frame codes, by the allocation table its sampling
// frequency and bit rate per channel select (MPEG-1); MPEG-2 and 2.5 use 30.
int layer2_subbands(const FrameHeader &f) {
    constexpr int kLsfSubbands = 30;
    static const int kSubbands[4] = {27, 30, 8, 12};
    static const int kTable[3][2][16] = {
        {{0, 2, 2, 2, 2, 2, 2, 0, 0, 0, 1, 1, 1, 1, 1, 0}, {0, 2, 2, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}},
        {{0, 2, 2, 2, 2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {{0, 3, 3, 3, 3, 3, 3, 0, 0, 0, 1, 1, 1, 1, 1, 0}, {0, 3, 3, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}},
    };
    if (f.lsf) return kLsfSubbands;
    return kSubbands[kTable[f.sampling_frequency][f.channels == 1][f.bitrate_index]];
}

// A Layer II joint-stereo frame whose stereo bound lies past the subbands it
// codes is malformed; libmpg123 would complain about it on stderr.
bool layer2_bound_ok(const FrameHeader &f, uint32_t h) {
    if (f.layer != 2 || f.mode != kJointStereo) return true;
    const int bound = static_cast<int>(((h >> 4) & 3) * 4 + 4);
    return bound <= layer2_subbands(f);
}

}  // namespace

FrameHeader read_header(uint32_t h) {
    FrameHeader f;
    const int version = (h >> 19) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layer_bits = (h >> 17) & 3;
    const int sf_bits = (h >> 10) & 3;
    f.word = h;
    f.lsf = version == 3 ? 0 : 1;
    f.layer = 4 - layer_bits;
    f.bitrate_index = (h >> 12) & 15;
    f.mode = (h >> 6) & 3;
    f.channels = f.mode == kSingleChannel ? 1 : 2;
    f.sampling_frequency = sf_bits == 3 ? 0 : (version == 0 ? 6 + sf_bits : sf_bits + 3 * f.lsf);

    const bool known = (h & 0xFFE00000u) == 0xFFE00000u && version != 1 && layer_bits != 0 &&
                       f.bitrate_index != 0 && f.bitrate_index != 15 && sf_bits != 3;
    if (!known) return f;

    const int kbps = tabsel_123[f.lsf][f.layer - 1][f.bitrate_index];
    const int freq = freqs[f.sampling_frequency];
    const int pad = (h >> 9) & 1;
    int size = 0;
    switch (f.layer) {
    case 1: size = (kbps * 12000 / freq + pad) * 4 - kHeaderBytes; break;
    case 2: size = kbps * 144000 / freq + pad - kHeaderBytes; break;
    default: size = kbps * 144000 / (freq << f.lsf) + pad - kHeaderBytes; break;
    }
    if (size > 0 && layer2_bound_ok(f, h)) f.framesize = size;
    return f;
}

bool frame_header_test(const FrameHeader &f) {
    const uint32_t h = f.word;
    const uint32_t version = (h >> 19) & 3;
    const uint32_t layer = (h >> 17) & 3;
    const uint32_t bitrate = (h >> 12) & 15;
    const uint32_t sampling = (h >> 10) & 3;
    return (h & 0xFFE00000u) == 0xFFE00000u && version != 1 && (layer == 1 || layer == 2) && bitrate != 0 &&
           bitrate != 15 && sampling != 3;
}

int header_samples(const FrameHeader &f) {
    constexpr int kLayer1Samples = 384;
    constexpr int kFullSamples = 1152;
    constexpr int kLsfLayer3Samples = 576;
    if (f.layer == 1) return kLayer1Samples;
    return f.layer == 3 && f.lsf ? kLsfLayer3Samples : kFullSamples;
}

int header_pcm_bytes(const FrameHeader &f) {
    constexpr int kBytesPerSample = 2;
    return header_samples(f) * f.channels * kBytesPerSample;
}

std::optional<MainData> read_main_data(const FrameHeader &f, const unsigned char *frame, int frame_len) {
    constexpr int kCrcBytes = 2;
    // Side information bytes by [lsf][single channel].
    static const int kSideInfoBytes[2][2] = {{32, 17}, {17, 9}};
    if (f.layer != 3) return std::nullopt;
    const bool has_crc = ((f.word >> 16) & 1) == 0;
    const int side_info = kHeaderBytes + (has_crc ? kCrcBytes : 0);
    const int main_data = side_info + kSideInfoBytes[f.lsf][f.channels == 1];
    if (frame_len < main_data) return std::nullopt;
    MainData md;
    md.begin = f.lsf ? frame[side_info] : (frame[side_info] << 1) | (frame[side_info + 1] >> 7);
    md.bytes = frame_len - main_data;
    return md;
}

int frame_len_at(const unsigned char *data, int64_t pos, int64_t len) {
    if (pos < 0 || pos + kHeaderBytes > len) return 0;
    const FrameHeader f = read_header(be32(data + pos));
    return frame_header_test(f) && f.framesize > 0 ? f.framesize + kHeaderBytes : 0;
}

}  // namespace almp3
