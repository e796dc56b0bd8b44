// The poll: fills one free audio-stream buffer with decoded frames from the
// data window, skipping damaged stretches by a bounded search, and ends the
// output with two silent buffers once the final block has been decoded.
#include <algorithm>
#include <cstring>

#include "mp3stream_record.h"

namespace {

constexpr int kHeaderBytes = 4;
constexpr int kSilentTailBuffers = 2;

// The bytes the object decodes from and where they end.
struct Window {
    const unsigned char *data;
    int end;
};

Window data_window(const Mp3Stream &s) {
    if (s.wants_block) {
        const unsigned char *block = s.current == kCurrentIsA ? s.block_a.get() : s.block_b.get();
        return {block, s.last_len == kNotFinal ? s.block_len : s.last_len};
    }
    return {s.window.get(), s.last_len == kNotFinal ? 2 * s.block_len : s.block_len + s.last_len};
}

// One audio-stream buffer being filled.
struct Fill {
    Mp3Stream &s;
    Window w;
    unsigned char *out;
    int capacity;
    int written;
    int room() const { return capacity - written; }
};

struct Attempt {
    int rc;        // last decodeMP3 result
    int consumed;  // bytes fed from read_pos on
    int produced;  // PCM bytes written when rc is 0
};

enum class Outcome {
    kFrame,     // a frame was decoded
    kNeedMore,  // everything at hand was fed, the decoder wants more
    kTooBig,    // a good frame is held whose PCM does not fit the room left
    kBad,       // an error or a header failing the test
};

enum class FillEnd { kFull, kExhausted, kLost };

void advance(Mp3Stream &s, int bytes) {
    s.read_pos += bytes;
    s.byte_pos += bytes;
}

void reset_decoder(Mp3Stream &s) {
    ExitMP3(&s.decoder);
    InitMP3(&s.decoder);
}

// Decodes what the decoder holds, feeding it chunks from read_pos while it
// asks for more. The core never writes more than the room left.
Attempt decode_attempt(Fill &f) {
    Mp3Stream &s = f.s;
    unsigned char *out = f.out + f.written;
    const int capacity = std::min(f.room(), kCoreOutputCapacity);
    const int chunk = s.xing ? kXingFeedChunk : s.frame_len + kHeaderBytes;
    const int avail = f.w.end - s.read_pos;
    int produced = 0;
    int consumed = 0;
    int rc = decodeMP3(&s.decoder, nullptr, 0, out, capacity, &produced);
    while (rc == 1 && consumed < avail) {
        const int n = std::min(chunk, avail - consumed);
        rc = decodeMP3(&s.decoder, f.w.data + s.read_pos + consumed, n, out, capacity, &produced);
        consumed += n;
    }
    return {rc, consumed, rc == 0 ? produced : 0};
}

Outcome classify(const Fill &f, const Attempt &a) {
    const DecoderState &d = f.s.decoder;
    const bool header_good = header_word_ok(d.header) && d.framesize > 0;
    if (a.rc == 0 && header_good) return Outcome::kFrame;
    if (a.rc == 1) return Outcome::kNeedMore;
    if (a.rc == -1 && header_good && core_frame_pcm_bytes(&d) > f.room()) return Outcome::kTooBig;
    return Outcome::kBad;
}

// A frame whose PCM exceeds even an empty buffer (the stream changed to more
// channels or samples per frame than the buffer was sized for) is decoded
// aside and cut to the buffer, so decoding goes on and nothing overflows.
void decode_oversized(Fill &f) {
    unsigned char scratch[kCoreOutputCapacity];
    int produced = 0;
    if (decodeMP3(&f.s.decoder, nullptr, 0, scratch, kCoreOutputCapacity, &produced) != 0) return;
    const int n = std::min(produced, f.room());
    std::memcpy(f.out + f.written, scratch, static_cast<size_t>(n));
    f.written += n;
    ++f.s.frame_pos;
}

// Takes the result of an attempt that was not rejected. Returns false when
// the buffer must be handed back now.
bool apply(Fill &f, const Attempt &a, Outcome o) {
    advance(f.s, a.consumed);
    if (o == Outcome::kFrame) {
        ++f.s.frame_pos;
        f.written += a.produced;
    } else if (o == Outcome::kTooBig) {
        // The frame stays held in the decoder: the buffer goes back as full
        // (silence after the frames it holds) and the next poll decodes the
        // frame into a fresh buffer, so nothing is lost.
        if (f.written > 0) return false;
        decode_oversized(f);
    }
    return true;
}

bool followed_by_header(const Fill &f) {
    const int64_t next = int64_t{f.s.read_pos} + f.s.decoder.framesize + kHeaderBytes;
    return next >= f.w.end || frame_header_ok(f.w.data, next, f.w.end);
}

enum class Search { kFound, kExhausted, kLost };

// Searches byte by byte from read_pos, at most kResyncSearchLimit positions,
// for a frame that decodes and is followed by another header (or by the end
// of the data at hand). On kFound, *a and *o describe the accepted attempt.
// A search that finds nothing leaves the decoder empty, so bytes of a
// rejected candidate are never decoded later.
Search resync(Fill &f, Attempt *a, Outcome *o) {
    Mp3Stream &s = f.s;
    for (int searched = 0;; ++searched, advance(s, 1)) {
        const bool exhausted = s.read_pos >= f.w.end;
        if (exhausted || searched == kResyncSearchLimit) {
            reset_decoder(s);
            return exhausted ? Search::kExhausted : Search::kLost;
        }
        if (!frame_header_ok(f.w.data, s.read_pos, f.w.end)) continue;
        reset_decoder(s);
        *a = decode_attempt(f);
        *o = classify(f, *a);
        const bool decoded = *o == Outcome::kFrame || *o == Outcome::kTooBig;
        if (*o == Outcome::kNeedMore || (decoded && followed_by_header(f))) return Search::kFound;
    }
}

FillEnd fill(Fill &f) {
    Mp3Stream &s = f.s;
    while (f.written < f.capacity) {
        if (tag_block_at(f.w.data, s.read_pos, f.w.end)) {
            advance(s, kTagBlockLen);
            reset_decoder(s);
        }
        // Frames the decoder already holds are decoded even when no bytes
        // are left to feed, so the last ones are not lost.
        Attempt a = decode_attempt(f);
        Outcome o = classify(f, a);
        if (o == Outcome::kNeedMore) {
            advance(s, a.consumed);
            return FillEnd::kExhausted;
        }
        if (o == Outcome::kBad) {
            const Search r = resync(f, &a, &o);
            if (r == Search::kExhausted) return FillEnd::kExhausted;
            if (r == Search::kLost) return FillEnd::kLost;
        }
        if (!apply(f, a, o)) return FillEnd::kFull;
    }
    return FillEnd::kFull;
}

void hand_back(Mp3Stream *s, unsigned char *out, int bytes) {
    pcm_to_unsigned(out, bytes);
    free_audio_stream_buffer(s->stream);
}

// The current block has been fed whole: the next one takes its place and the
// object asks for the block after it.
void next_block(Mp3Stream *s) {
    s->current = -s->current;
    s->read_pos -= s->block_len;
    s->wants_block = kFlagTrue;
}

int data_exhausted(Mp3Stream *s, int written) {
    if (s->last_len != kNotFinal) {
        // A buffer that received nothing is already the first silent one.
        s->end_countdown = written > 0 ? kSilentTailBuffers : kSilentTailBuffers - 1;
        return 0;
    }
    if (!s->wants_block) {
        // Both blocks were used up within one poll (blocks that are small
        // for the buffer): the caller has not been asked for the next block
        // yet, so it is not late. Ask now and go on at the next poll.
        next_block(s);
        return 0;
    }
    stream_stop_locked(s);
    return -3;
}

// A full buffer in two-block mode past the current block's end moves on to
// the next block. In one-block mode the end of the data is left to the next
// poll: the decoder may still hold whole frames, and the caller may still
// hand the next block over.
int buffer_full(Mp3Stream *s) {
    if (!s->wants_block && s->read_pos >= s->block_len) next_block(s);
    return 0;
}

int silent_tail(Mp3Stream *s, unsigned char *out, int bytes) {
    hand_back(s, out, bytes);
    if (--s->end_countdown > 0) return 0;
    stream_stop_locked(s);
    return 1;
}

}  // namespace

int stream_poll_locked(Mp3Stream *s) {
    if (!s->stream) return -1;
    auto *out = static_cast<unsigned char *>(get_audio_stream_buffer(s->stream));
    if (!out) return 0;
    const int capacity = s->frames_per_buffer * s->pcm_per_frame;
    if (s->end_countdown > 0) {
        std::memset(out, 0, static_cast<size_t>(capacity));
        return silent_tail(s, out, capacity);
    }

    Fill f{*s, data_window(*s), out, capacity, 0};
    const FillEnd end = fill(f);
    // Silence after the frames; it also covers what rejected decodes wrote
    // there. Frames are written whole, so clearing first is not needed.
    if (f.room() > 0) std::memset(out + f.written, 0, static_cast<size_t>(f.room()));
    hand_back(s, out, capacity);
    switch (end) {
    case FillEnd::kLost:
        stream_stop_locked(s);
        return -2;
    case FillEnd::kExhausted:
        return data_exhausted(s, f.written);
    case FillEnd::kFull:
        break;
    }
    return buffer_full(s);
}

extern "C" int almp3_poll_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    return stream_poll_locked(s);
}
