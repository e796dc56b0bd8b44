#include "first_frame.h"

#include "engine/decoder_core.h"
#include "format/frame_walk.h"

namespace almp3 {

namespace {

constexpr int kBitsPerKbit = 1000;
constexpr int kOutputBits = 16;

}  // namespace

std::optional<FirstFrame> find_first_frame(const unsigned char *data, int scan_len) {
    static_assert(kCoreInputCapacity >= 2 * 2881, "a trial decode must hold a whole frame");
    for (int i = 0; i < scan_len; ++i) {
        const int n = frame_len_at(data, i, scan_len);
        if (n == 0) continue;
        DecoderState trial;
        if (!InitMP3(&trial)) return std::nullopt;
        // The trial decode needs only the first frame, which is less than a
        // state holds.
        const int feed = scan_len - i < kCoreInputCapacity ? scan_len - i : kCoreInputCapacity;
        Pcm pcm;
        const bool accepted = decode_frame(&trial, data + i, feed, &pcm) == CoreResult::kFrame &&
                              frame_confirmed(data, i, n, scan_len);
        const FirstFrame found{i, trial.header, pcm.bytes};
        ExitMP3(&trial);
        if (accepted) return found;
    }
    return std::nullopt;
}

Format format_of(const FirstFrame &f) {
    const FrameHeader &h = f.header;
    Format fmt;
    fmt.freq = freqs[h.sampling_frequency];
    fmt.stereo = h.channels > 1;
    fmt.bits = kOutputBits;
    fmt.bitrate = tabsel_123[h.lsf][h.layer - 1][h.bitrate_index] * kBitsPerKbit;
    fmt.layer = h.layer;
    fmt.frame_len = h.framesize + kHeaderBytes;
    fmt.pcm_per_frame = f.produced > 0 ? f.produced : header_pcm_bytes(h);
    fmt.samples_per_frame = fmt.pcm_per_frame / fmt.bytes_per_sample_frame();
    return fmt;
}

}  // namespace almp3
