#include "decoder_core.h"

#include <mpg123.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

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

constexpr int kHeaderBytes = 4;
// libmpg123 answers MPG123_NEW_FORMAT once per format change; a few retries
// are plenty, and the bound keeps a confused handle from looping forever.
constexpr int kMaxFormatRetries = 4;

// Subbands a Layer II frame codes, by the allocation table its sampling
// frequency and bit rate per channel select (MPEG-1); MPEG-2 and 2.5 use 30.
int layer2_subbands(const DecoderState *st) {
    constexpr int kLsfSubbands = 30;
    static const int kSubbands[4] = {27, 30, 8, 12};
    static const int kTable[3][2][16] = {
        {{0, 2, 2, 2, 2, 2, 2, 0, 0, 0, 1, 1, 1, 1, 1, 0}, {0, 2, 2, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}},
        {{0, 2, 2, 2, 2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {{0, 3, 3, 3, 3, 3, 3, 0, 0, 0, 1, 1, 1, 1, 1, 0}, {0, 3, 3, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}},
    };
    if (st->lsf) return kLsfSubbands;
    return kSubbands[kTable[st->sampling_frequency][st->channels == 1][st->bitrate_index]];
}

// A Layer II joint-stereo frame whose stereo bound lies past the subbands it
// codes is malformed; libmpg123 would complain about it on stderr, and a
// library must not print.
bool layer2_bound_ok(const DecoderState *st, uint32_t h) {
    constexpr int kJointStereo = 1;
    if (st->layer != 2 || st->mode != kJointStereo) return true;
    const int bound = static_cast<int>(((h >> 4) & 3) * 4 + 4);
    return bound <= layer2_subbands(st);
}

// Fills the state's header fields from a header word. Returns true when the
// core can decode a frame with this header: sync, a known version, layer,
// bit rate (free format is not supported) and sampling frequency.
bool read_header(DecoderState *st, uint32_t h) {
    st->header = h;
    const int version = (h >> 19) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layer_bits = (h >> 17) & 3;
    const int sf_bits = (h >> 10) & 3;
    st->lsf = version == 3 ? 0 : 1;
    st->layer = 4 - layer_bits;
    st->bitrate_index = (h >> 12) & 15;
    st->mode = (h >> 6) & 3;
    st->channels = st->mode == 3 ? 1 : 2;
    st->sampling_frequency = sf_bits == 3 ? 0 : (version == 0 ? 6 + sf_bits : sf_bits + 3 * st->lsf);
    st->framesize = 0;

    const bool ok = (h & 0xFFE00000u) == 0xFFE00000u && version != 1 && layer_bits != 0 &&
                    st->bitrate_index != 0 && st->bitrate_index != 15 && sf_bits != 3;
    if (!ok) return false;

    const int kbps = tabsel_123[st->lsf][st->layer - 1][st->bitrate_index];
    const int freq = freqs[st->sampling_frequency];
    const int pad = (h >> 9) & 1;
    switch (st->layer) {
    case 1: st->framesize = (kbps * 12000 / freq + pad) * 4 - kHeaderBytes; break;
    case 2: st->framesize = kbps * 144000 / freq + pad - kHeaderBytes; break;
    default: st->framesize = kbps * 144000 / (freq << st->lsf) + pad - kHeaderBytes; break;
    }
    // A rejected header reports no frame size, so callers never take it for
    // a good frame that was only refused for want of output room.
    if (st->framesize <= 0 || !layer2_bound_ok(st, h)) {
        st->framesize = 0;
        return false;
    }
    return true;
}

bool open_handle(DecoderState *st) {
    static std::once_flag init_once;
    std::call_once(init_once, [] { mpg123_init(); });

    int err = MPG123_OK;
    mpg123_handle *h = mpg123_new(nullptr, &err);
    if (!h) return false;
    const long flags = MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_NO_READAHEAD | MPG123_NO_RESYNC;
    bool ok = mpg123_param(h, MPG123_FLAGS, flags, 0) == MPG123_OK &&
              mpg123_param(h, MPG123_VERBOSE, 0, 0) == MPG123_OK && mpg123_format_none(h) == MPG123_OK;
    for (int rate : freqs)
        ok = ok && mpg123_format(h, rate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) == MPG123_OK;
    ok = ok && mpg123_open_feed(h) == MPG123_OK;
    if (!ok) {
        mpg123_delete(h);
        return false;
    }
    st->handle = h;
    return true;
}

// Decodes one whole, checked frame. On failure the handle's feed is reopened,
// so nothing of the failed frame lingers inside libmpg123.
int decode_whole_frame(DecoderState *st, int frame_bytes, unsigned char *output, int output_capacity,
                       int *produced) {
    mpg123_handle *h = st->handle;
    if (mpg123_feed(h, st->input, static_cast<size_t>(frame_bytes)) != MPG123_OK) return -1;
    off_t num = 0;
    unsigned char *audio = nullptr;
    size_t bytes = 0;
    int rc = mpg123_decode_frame(h, &num, &audio, &bytes);
    for (int retry = 0; rc == MPG123_NEW_FORMAT && retry < kMaxFormatRetries; ++retry)
        rc = mpg123_decode_frame(h, &num, &audio, &bytes);
    if (rc != MPG123_OK || bytes > static_cast<size_t>(output_capacity)) {
        mpg123_open_feed(h);
        return -1;
    }
    if (bytes > 0) std::memcpy(output, audio, bytes);
    *produced = static_cast<int>(bytes);
    return 0;
}

}  // namespace

int core_frame_pcm_bytes(const DecoderState *st) {
    const int samples = st->layer == 1 ? 384 : (st->layer == 3 && st->lsf ? 576 : 1152);
    return samples * st->channels * 2;
}

bool core_holds_frame(const DecoderState *st) {
    if (!st->input || st->held < kHeaderBytes) return false;
    const unsigned char *b = st->input;
    DecoderState probe;
    return read_header(&probe, (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3]) &&
           st->held >= probe.framesize + kHeaderBytes;
}

int InitMP3(DecoderState *st) {
    *st = DecoderState{};
    st->input = static_cast<unsigned char *>(std::malloc(kCoreInputCapacity));
    if (!st->input || !open_handle(st)) {
        ExitMP3(st);
        return 0;
    }
    return 1;
}

void ExitMP3(DecoderState *st) {
    if (st->handle) mpg123_delete(st->handle);
    std::free(st->input);
    st->handle = nullptr;
    st->input = nullptr;
    st->held = 0;
}

int decodeMP3(DecoderState *st, const unsigned char *input, int input_len, unsigned char *output,
              int output_capacity, int *produced) {
    if (!st->handle || !st->input || input_len < 0 || output_capacity < 0) return -1;
    if (input_len > 0) {
        if (!input || input_len > kCoreInputCapacity - st->held) return -1;
        std::memcpy(st->input + st->held, input, static_cast<size_t>(input_len));
        st->held += input_len;
    }
    if (st->held < kHeaderBytes) return 1;

    const unsigned char *b = st->input;
    const uint32_t h = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
    if (!read_header(st, h)) return -1;
    const int frame_bytes = st->framesize + kHeaderBytes;
    if (st->held < frame_bytes) return 1;
    if (core_frame_pcm_bytes(st) > output_capacity) return -1;

    const int rc = decode_whole_frame(st, frame_bytes, output, output_capacity, produced);
    st->held -= frame_bytes;
    std::memmove(st->input, st->input + frame_bytes, static_cast<size_t>(st->held));
    return rc;
}
