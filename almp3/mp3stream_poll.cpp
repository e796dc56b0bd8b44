// The poll: fills one free audio-stream buffer with decoded frames from the
// data window, passing over tags and padding between frames by their sizes
// and damaged stretches by a bounded search, and ends the output with two
// silent buffers once the data holds no further frame.
#include <algorithm>
#include <cstring>

#include "mp3stream_record.h"

namespace almp3 {

namespace {

constexpr int kSilentTailBuffers = 2;
// The longest marker a tag is known by ("LYRICSBEGIN"): with fewer bytes
// than this left before the end of the window, what starts there is decided
// once the next block is at hand.
constexpr int kLongestMarker = 11;

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

// Decodes what the decoder holds, feeding it from read_pos exactly the bytes
// the frame it holds still lacks, so it never holds anything past the frame.
// The core never writes more than the room left.
Attempt decode_attempt(Fill &f) {
    Mp3Stream &s = f.s;
    unsigned char *out = f.out + f.written;
    const int capacity = std::min(f.room(), kCoreOutputCapacity);
    const int avail = f.w.end - s.read_pos;
    int produced = 0;
    int consumed = 0;
    int rc = decodeMP3(&s.decoder, nullptr, 0, out, capacity, &produced);
    while (rc == 1 && consumed < avail) {
        const int n = core_feed_len(&s.decoder, f.w.data + s.read_pos + consumed, avail - consumed);
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
    if (o != Outcome::kNeedMore) f.s.rubbish = 0;
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

bool followed_by_frame(const Fill &f) {
    return frame_confirmed(f.w.data, f.s.read_pos, f.s.decoder.framesize + kHeaderBytes, f.w.end);
}

bool final_block_given(const Mp3Stream &s) { return s.last_len != kNotFinal; }

// Passes over a tag at read_pos by its size, also into blocks still to come.
void pass_over(Mp3Stream &s, const Window &w, int64_t len) {
    const int64_t here = std::min<int64_t>(len, w.end - s.read_pos);
    advance(s, static_cast<int>(here));
    s.skip_left = len - here;
}

enum class Boundary { kFrame, kRubbish, kExhausted };

// At a frame boundary (the decoder holds nothing): finishes passing over a
// tag begun in an earlier block, then over every tag and run of zero bytes
// at read_pos. Tells what follows.
Boundary pass_gaps(Fill &f) {
    Mp3Stream &s = f.s;
    for (;;) {
        if (s.skip_left > 0) pass_over(s, f.w, s.skip_left);
        const int left = f.w.end - s.read_pos;
        if (s.skip_left > 0 || left <= 0) return Boundary::kExhausted;
        if (frame_len_at(f.w.data, s.read_pos, f.w.end) > 0) return Boundary::kFrame;
        // A marker cut by the window's end is read whole from the next one.
        // In two-block mode read_pos then lies in the next block, which
        // becomes the current one.
        const bool cut = left < kLongestMarker && !final_block_given(s) &&
                         (s.wants_block || s.read_pos >= s.block_len);
        if (cut) return Boundary::kExhausted;
        const Gap g = gap_at(f.w.data, s.read_pos, f.w.end);
        if (g.len == 0) return Boundary::kRubbish;
        pass_over(s, f.w, g.len);
        if (g.song_start) reset_decoder(s);
        // Zeros may go on in the next block: they are looked at afresh there.
        if (g.zeros) s.skip_left = 0;
    }
}

enum class Search { kFound, kExhausted, kLost };

// Searches byte by byte from read_pos for a frame that decodes and is
// followed by another frame, a tag or the end of the data at hand, passing
// over tags by their sizes. The count of bytes searched carries over from
// poll to poll until a frame is accepted, so the limit holds whatever the
// block size. On kFound, *a and *o describe the accepted attempt. A search
// that finds nothing leaves the decoder empty, so bytes of a rejected
// candidate are never decoded later.
Search resync(Fill &f, Attempt *a, Outcome *o) {
    Mp3Stream &s = f.s;
    for (;;) {
        if (s.skip_left > 0) pass_over(s, f.w, s.skip_left);
        const bool exhausted = s.read_pos >= f.w.end || s.skip_left > 0;
        if (exhausted || s.rubbish >= kResyncSearchLimit) {
            reset_decoder(s);
            return exhausted ? Search::kExhausted : Search::kLost;
        }
        if (frame_len_at(f.w.data, s.read_pos, f.w.end) > 0) {
            reset_decoder(s);
            *a = decode_attempt(f);
            *o = classify(f, *a);
            const bool decoded = *o == Outcome::kFrame || *o == Outcome::kTooBig;
            if (*o == Outcome::kNeedMore || (decoded && followed_by_frame(f))) return Search::kFound;
        } else if (const Gap g = gap_at(f.w.data, s.read_pos, f.w.end); g.len > 0 && !g.zeros) {
            pass_over(s, f.w, g.len);
            continue;
        }
        ++s.rubbish;
        advance(s, 1);
    }
}

// After the search gave up with the final block at hand: rubbish with no
// frame after it is the end of the audio, not damage.
bool frames_follow(const Fill &f) {
    return next_confirmed_frame(f.w.data, f.s.read_pos, f.w.end, f.w.end) >= 0;
}

FillEnd fill(Fill &f) {
    Mp3Stream &s = f.s;
    while (f.written < f.capacity) {
        // A frame begun in the previous window is finished first; within a
        // search for the next frame, the search goes on.
        Boundary b = Boundary::kFrame;
        if (s.decoder.held == 0) b = s.rubbish > 0 ? Boundary::kRubbish : pass_gaps(f);
        if (b == Boundary::kExhausted) return FillEnd::kExhausted;
        // Frames the decoder already holds are decoded even when no bytes
        // are left to feed, so the last ones are not lost.
        Attempt a{};
        Outcome o = Outcome::kBad;
        if (b == Boundary::kFrame) {
            a = decode_attempt(f);
            o = classify(f, a);
        }
        if (o == Outcome::kNeedMore) {
            advance(s, a.consumed);
            return FillEnd::kExhausted;
        }
        if (o == Outcome::kBad) {
            const Search r = resync(f, &a, &o);
            if (r == Search::kExhausted) return FillEnd::kExhausted;
            if (r == Search::kLost) return final_block_given(s) && !frames_follow(f) ? FillEnd::kExhausted
                                                                                      : FillEnd::kLost;
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
    s->wants_block = ALMP3_TRUE;
}

int data_exhausted(Mp3Stream *s, int written) {
    if (s->last_len != kNotFinal) {
        // A buffer that received nothing is already the first silent one.
        s->end_countdown = written > 0 ? kSilentTailBuffers : kSilentTailBuffers - 1;
        return ALMP3_POLL_OK;
    }
    stream_stop_locked(s);
    return ALMP3_POLL_STARVED;
}

// A full buffer in two-block mode past the current block's end moves on to
// the next block. In one-block mode the end of the data is left to the next
// poll: the decoder may still hold whole frames, and the caller may still
// hand the next block over.
int buffer_full(Mp3Stream *s) {
    if (!s->wants_block && s->read_pos >= s->block_len) next_block(s);
    return ALMP3_POLL_OK;
}

int silent_tail(Mp3Stream *s, unsigned char *out, int bytes) {
    hand_back(s, out, bytes);
    if (--s->end_countdown > 0) return ALMP3_POLL_OK;
    stream_stop_locked(s);
    return s->end_result;
}

}  // namespace

int stream_poll_locked(Mp3Stream *s) {
    if (!s->stream) return ALMP3_POLL_NOT_PLAYING;
    auto *out = static_cast<unsigned char *>(get_audio_stream_buffer(s->stream));
    if (!out) return ALMP3_POLL_OK;
    const int capacity = s->frames_per_buffer * s->pcm_per_frame;
    if (s->end_countdown > 0) {
        std::memset(out, 0, static_cast<size_t>(capacity));
        return silent_tail(s, out, capacity);
    }

    Fill f{*s, data_window(*s), out, capacity, s->buffer_written};
    s->buffer_written = 0;
    const FillEnd end = fill(f);
    if (end == FillEnd::kExhausted && s->last_len == kNotFinal && !s->wants_block) {
        // Both blocks at hand were used up before the buffer was full (a tag
        // or padding passed over, or blocks small for the buffer). The caller
        // has not been asked for the next block yet, so it is not late: ask
        // now, keep the buffer, and go on filling it at the next poll (the
        // library lends the same buffer until it is handed back), so that
        // no silence is heard in the middle of the sound.
        next_block(s);
        s->buffer_written = f.written;
        return ALMP3_POLL_OK;
    }
    // Silence after the frames; it also covers what rejected decodes wrote
    // there. Frames are written whole, so clearing first is not needed.
    if (f.room() > 0) std::memset(out + f.written, 0, static_cast<size_t>(f.room()));
    hand_back(s, out, capacity);
    switch (end) {
    case FillEnd::kLost:
        // The sound already in the audio stream plays out behind two silent
        // buffers, as at a clean end; the last poll then reports the damage.
        s->end_countdown = kSilentTailBuffers;
        s->end_result = ALMP3_POLL_DAMAGED;
        return ALMP3_POLL_OK;
    case FillEnd::kExhausted:
        return data_exhausted(s, f.written);
    case FillEnd::kFull:
        break;
    }
    return buffer_full(s);
}

}  // namespace almp3

using namespace almp3;

extern "C" int almp3_poll_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    return stream_poll_locked(s);
}
