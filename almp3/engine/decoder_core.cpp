#include "decoder_core.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace almp3 {

namespace {

// libmpg123 answers MPG123_NEW_FORMAT once per format change; a few retries
// are plenty, and the bound keeps a confused handle from looping forever.
constexpr int kMaxFormatRetries = 4;

// Samples per channel of one Layer III granule: a frame holds two in MPEG-1,
// one in MPEG-2 and 2.5.
constexpr int kGranuleSamples = 576;
// Granules after a frame with a short reservoir whose sound still depends on
// it: the next one overlaps that frame's filter-bank output, the one after
// takes that one's output as its synthesis history.
constexpr int kUnsettledGranules = 2;

// What a frame that cannot be heard whole sounds like.
const unsigned char kSilence[kMaxFramePcm] = {};

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

// Keeps count of the bit reservoir behind the frame just decoded, and
// silences its sound when the frame reached back past it or follows such a
// frame too closely. Layer I and II frames hold no main data: a Layer III
// frame after them finds no reservoir.
void silence_unsettled(DecoderState *st, int frame_bytes, Pcm *pcm) {
    const std::optional<MainData> md = read_main_data(st->header, st->input, frame_bytes);
    if (!md) {
        st->reservoir = 0;
        return;
    }
    const bool short_reservoir = md->begin > st->reservoir;
    const bool silent = short_reservoir || st->unsettled_granules > 0;
    const int granules = header_samples(st->header) / kGranuleSamples;
    st->unsettled_granules = short_reservoir ? kUnsettledGranules : std::max(0, st->unsettled_granules - granules);
    // libmpg123 joins to each frame's main data the main_data_begin bytes
    // before it, copied from the end of what the previous frame held: the
    // next frame can reach back into this frame's main data and into what
    // of the joined bytes was sound.
    st->reservoir = md->bytes + std::min(md->begin, st->reservoir);
    if (silent) pcm->data = kSilence;
}

// Decodes one whole, checked frame. On failure the handle's feed is reopened,
// so nothing of the failed frame lingers inside libmpg123, which then holds
// no reservoir either.
CoreResult decode_whole_frame(DecoderState *st, int frame_bytes, Pcm *pcm) {
    mpg123_handle *h = st->handle;
    if (mpg123_feed(h, st->input, static_cast<size_t>(frame_bytes)) != MPG123_OK) return CoreResult::kBad;
    off_t num = 0;
    unsigned char *audio = nullptr;
    size_t bytes = 0;
    int rc = mpg123_decode_frame(h, &num, &audio, &bytes);
    for (int retry = 0; rc == MPG123_NEW_FORMAT && retry < kMaxFormatRetries; ++retry)
        rc = mpg123_decode_frame(h, &num, &audio, &bytes);
    if (rc != MPG123_OK || bytes > static_cast<size_t>(kMaxFramePcm)) {
        mpg123_open_feed(h);
        st->reservoir = 0;
        st->unsettled_granules = 0;
        return CoreResult::kBad;
    }
    *pcm = Pcm{audio, static_cast<int>(bytes)};
    silence_unsettled(st, frame_bytes, pcm);
    return CoreResult::kFrame;
}

// Drops the frame at the front of the input, decoded or refused.
void drop_frame(DecoderState *st, int frame_bytes) {
    st->held -= frame_bytes;
    std::memmove(st->input, st->input + frame_bytes, static_cast<size_t>(st->held));
}

bool append_input(DecoderState *st, const unsigned char *input, int input_len) {
    if (input_len == 0) return true;
    if (!input || input_len < 0 || input_len > kCoreInputCapacity - st->held) return false;
    std::memcpy(st->input + st->held, input, static_cast<size_t>(input_len));
    st->held += input_len;
    return true;
}

// Reads the header at the front of the input. kFrame: a whole frame of
// *frame_bytes is held behind a header the core can decode.
CoreResult frame_at_front(DecoderState *st, int *frame_bytes) {
    if (st->held < kHeaderBytes) return CoreResult::kNeedMore;
    st->header = read_header(be32(st->input));
    if (st->header.framesize <= 0) return CoreResult::kBad;
    *frame_bytes = st->header.framesize + kHeaderBytes;
    return st->held < *frame_bytes ? CoreResult::kNeedMore : CoreResult::kFrame;
}

}  // namespace

int core_feed_len(const DecoderState *st, const unsigned char *next, int avail) {
    int n = 0;
    if (st->held == 0) n = frame_len_at(next, 0, avail);
    if (n == 0 && st->held < kHeaderBytes) n = kHeaderBytes - st->held;
    if (n == 0 && st->header.framesize > 0) n = st->header.framesize + kHeaderBytes - st->held;
    return n < avail ? n : avail;
}

bool InitMP3(DecoderState *st) {
    *st = DecoderState{};
    st->input = static_cast<unsigned char *>(std::malloc(kCoreInputCapacity));
    if (!st->input || !open_handle(st)) {
        ExitMP3(st);
        return false;
    }
    return true;
}

void ExitMP3(DecoderState *st) {
    if (st->handle) handle_pool().give(st->handle);
    std::free(st->input);
    st->handle = nullptr;
    st->input = nullptr;
    st->held = 0;
}

void drop_held_input(DecoderState *st) { st->held = 0; }

void reset_core(DecoderState *st) {
    ExitMP3(st);
    // Out of memory leaves the state released: every later decode is then a
    // bad frame, and the object reports damaged data.
    InitMP3(st);
}

CoreResult decode_frame(DecoderState *st, const unsigned char *input, int input_len, Pcm *pcm) {
    if (!st->handle || !st->input || !append_input(st, input, input_len)) return CoreResult::kBad;
    int frame_bytes = 0;
    const CoreResult front = frame_at_front(st, &frame_bytes);
    if (front != CoreResult::kFrame) return front;
    const CoreResult rc = decode_whole_frame(st, frame_bytes, pcm);
    drop_frame(st, frame_bytes);
    return rc;
}

CoreResult decodeMP3(DecoderState *st, const unsigned char *input, int input_len, unsigned char *output,
                     int output_capacity, int *produced) {
    if (!st->handle || !st->input || !append_input(st, input, input_len)) return CoreResult::kBad;
    int frame_bytes = 0;
    const CoreResult front = frame_at_front(st, &frame_bytes);
    if (front != CoreResult::kFrame) return front;
    if (header_pcm_bytes(st->header) > output_capacity) return CoreResult::kBad;
    Pcm pcm;
    const CoreResult rc = decode_whole_frame(st, frame_bytes, &pcm);
    drop_frame(st, frame_bytes);
    if (rc != CoreResult::kFrame || pcm.bytes > output_capacity) return CoreResult::kBad;
    if (pcm.bytes > 0) std::memcpy(output, pcm.data, static_cast<size_t>(pcm.bytes));
    *produced = pcm.bytes;
    return CoreResult::kFrame;
}

}  // namespace almp3
