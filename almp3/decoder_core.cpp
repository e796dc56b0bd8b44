#include "decoder_core.h"

#include <mpg123.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace almp3 {

namespace {

// libmpg123 answers MPG123_NEW_FORMAT once per format change; a few retries
// are plenty, and the bound keeps a confused handle from looping forever.
constexpr int kMaxFormatRetries = 4;

// Fills the state's header fields from a header word. Returns true when the
// core can decode a frame with this header. A rejected header reports no
// frame size, so callers never take it for a good frame that was only
// refused for want of output room.
bool read_header(DecoderState *st, uint32_t h) {
    st->header = h;
    FrameHeader f;
    const bool ok = parse_header(h, &f);
    st->lsf = f.lsf;
    st->layer = f.layer;
    st->bitrate_index = f.bitrate_index;
    st->mode = f.mode;
    st->channels = f.channels;
    st->sampling_frequency = f.sampling_frequency;
    st->framesize = f.framesize;
    return ok;
}

// A new libmpg123 handle builds its decoding tables at its first frame,
// which costs ten times the decoding of a frame; reopening the feed of a
// used handle empties it as a new one is empty. Released handles wait here,
// a few at most, for the next state, so the resets of resynchronisation and
// song changes cost next to nothing. The pool lives until the process ends.
class HandlePool {
public:
    // A handle with an empty feed, or null when none is waiting.
    mpg123_handle *take() {
        mpg123_handle *h = nullptr;
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (idle_.empty()) return nullptr;
            h = idle_.back();
            idle_.pop_back();
        }
        if (mpg123_open_feed(h) == MPG123_OK) return h;
        mpg123_delete(h);
        return nullptr;
    }
    void give(mpg123_handle *h) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (idle_.size() < kIdleHandles) {
                idle_.push_back(h);
                return;
            }
        }
        mpg123_delete(h);
    }

private:
    static constexpr size_t kIdleHandles = 8;
    std::mutex lock_;
    std::vector<mpg123_handle *> idle_;
};

HandlePool &handle_pool() {
    static HandlePool *pool = new HandlePool;
    return *pool;
}

bool open_handle(DecoderState *st) {
    static std::once_flag init_once;
    std::call_once(init_once, [] { mpg123_init(); });

    if ((st->handle = handle_pool().take())) return true;
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
    FrameHeader f;
    f.layer = st->layer;
    f.lsf = st->lsf;
    constexpr int kBytesPerSample = 2;
    return header_samples(f) * st->channels * kBytesPerSample;
}

int core_input_wanted(const DecoderState *st) {
    if (st->held < kHeaderBytes) return kHeaderBytes - st->held;
    return st->framesize > 0 ? st->framesize + kHeaderBytes - st->held : 0;
}

int core_feed_len(const DecoderState *st, const unsigned char *next, int avail) {
    const int whole = st->held == 0 ? frame_len_at(next, 0, avail) : 0;
    const int n = whole > 0 ? whole : core_input_wanted(st);
    return n < avail ? n : avail;
}

bool core_holds_frame(const DecoderState *st) {
    if (!st->input || st->held < kHeaderBytes) return false;
    FrameHeader f;
    return parse_header(be32(st->input), &f) && st->held >= f.framesize + kHeaderBytes;
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
    if (st->handle) handle_pool().give(st->handle);
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

    if (!read_header(st, be32(st->input))) return -1;
    const int frame_bytes = st->framesize + kHeaderBytes;
    if (st->held < frame_bytes) return 1;
    if (core_frame_pcm_bytes(st) > output_capacity) return -1;

    const int rc = decode_whole_frame(st, frame_bytes, output, output_capacity, produced);
    st->held -= frame_bytes;
    std::memmove(st->input, st->input + frame_bytes, static_cast<size_t>(st->held));
    return rc;
}

}  // namespace almp3
