#include "frame.h"

#include <cstring>

namespace almp3 {

bool header_word_ok(uint32_t h) {
    const uint32_t version = (h >> 19) & 3;
    const uint32_t layer = (h >> 17) & 3;
    const uint32_t bitrate = (h >> 12) & 15;
    const uint32_t sampling = (h >> 10) & 3;
    return (h & 0xFFE00000u) == 0xFFE00000u && version != 1 && (layer == 1 || layer == 2) && bitrate != 0 &&
           bitrate != 15 && sampling != 3;
}

bool frame_header_ok(const unsigned char *data, int64_t pos, int64_t len) {
    if (pos < 0 || pos + kHeaderBytes > len) return false;
    return header_word_ok(be32(data + pos));
}

bool find_first_frame(const unsigned char *data, int scan_len, FirstFrame *found) {
    static_assert(kCoreInputCapacity >= 2 * 2881, "a trial decode must hold a whole frame");
    unsigned char scratch_out[kCoreOutputCapacity];
    for (int i = 0; i < scan_len; ++i) {
        if (!frame_header_ok(data, i, scan_len)) continue;
        DecoderState trial;
        if (!InitMP3(&trial)) return false;
        // The trial decode needs only the first frame; a state holds at most
        // kCoreInputCapacity bytes, which is more than any frame.
        const int feed = scan_len - i < kCoreInputCapacity ? scan_len - i : kCoreInputCapacity;
        int produced = 0;
        const int rc = decodeMP3(&trial, data + i, feed, scratch_out, kCoreOutputCapacity, &produced);
        const bool accepted =
            rc == 0 && trial.framesize > 0 && frame_confirmed(data, i, trial.framesize + kHeaderBytes, scan_len);
        if (accepted) {
            *found = FirstFrame{i,          trial.layer,       trial.lsf,       trial.mode, trial.channels,
                                trial.sampling_frequency, trial.bitrate_index, trial.framesize, produced};
        }
        ExitMP3(&trial);
        if (accepted) return true;
    }
    return false;
}

int pcm_per_frame_of(const FirstFrame &f) {
    if (f.produced > 0) return f.produced;
    FrameHeader h;
    h.layer = f.layer;
    // Sampling frequency indexes from 3 on are those of MPEG-2 and 2.5.
    constexpr int kFirstLsfFrequency = 3;
    h.lsf = f.sampling_frequency >= kFirstLsfFrequency;
    const int bytes_per_sample = 2;
    return header_samples(h) * bytes_per_sample * (f.channels > 1 ? 2 : 1);
}

void pcm_to_unsigned(unsigned char *buf, int bytes) {
    // Each 16-bit sample keeps its top bit at bit 15 of its own 16-bit lane
    // whatever the byte order, so a 64-bit word flips four samples at once.
    constexpr uint64_t kFourSignBits = 0x8000800080008000ull;
    constexpr uint16_t kSignBit = 0x8000;
    int i = 0;
    for (; i + 8 <= bytes; i += 8) {
        uint64_t v;
        std::memcpy(&v, buf + i, 8);
        v ^= kFourSignBits;
        std::memcpy(buf + i, &v, 8);
    }
    for (; i + 2 <= bytes; i += 2) {
        uint16_t v;
        std::memcpy(&v, buf + i, 2);
        v ^= kSignBit;
        std::memcpy(buf + i, &v, 2);
    }
}

}  // namespace almp3
