// The streaming object's poll: the engine's decode step over the block or
// blocks at hand, one audio-stream buffer per poll. When the blocks at hand
// are used up, the object asks for the next block; a caller late with it
// starves playback.
#include "stream/mp3stream_record.h"

namespace almp3 {

namespace {

Source window_source(const Mp3Stream &s) {
    Source src;
    src.pos = s.read_pos;
    src.more_follow = s.last_len == kNotFinal;
    if (s.wants_block) {
        src.data = s.current == kCurrentIsA ? s.block_a.get() : s.block_b.get();
        src.end = s.last_len == kNotFinal ? s.block_len : s.last_len;
        src.continues_from = 0;
    } else {
        src.data = s.window.get();
        src.end = s.last_len == kNotFinal ? 2 * s.block_len : s.block_len + s.last_len;
        // The current block is followed by the next one already at hand.
        src.continues_from = s.block_len;
    }
    return src;
}

// The current block has been fed whole: the next one takes its place and the
// object asks for the block after it.
void next_block(Mp3Stream &s) {
    s.current = -s.current;
    s.read_pos -= s.block_len;
    s.wants_block = true;
}

FillEnd exhausted(Mp3Stream &s) {
    if (s.last_len != kNotFinal) {
        s.engine.step.data_ended();
        return FillEnd::kEnded;
    }
    // Both blocks at hand were used up before the buffer was full (a tag or
    // padding passed over, or blocks small for the buffer). The caller has
    // not been asked for the next block yet, so it is not late: ask now and
    // go on filling the same buffer at the next poll, so that no silence is
    // heard in the middle of the sound.
    if (!s.wants_block) {
        next_block(s);
        return FillEnd::kWait;
    }
    return FillEnd::kStarved;
}

FillEnd fill(Mp3Stream &s) {
    Source src = window_source(s);
    Output &out = s.engine.output;
    while (!out.full()) {
        Pcm pcm;
        const int64_t before = src.pos;
        const Step r = s.engine.step.next(src, &pcm);
        s.byte_pos += static_cast<int>(src.pos - before);
        s.read_pos = static_cast<int>(src.pos);
        if (r == Step::kDamaged) return FillEnd::kDamaged;
        if (r == Step::kExhausted) return exhausted(s);
        const int64_t first = int64_t{s.frame_pos} * s.timeline.samples_per_frame;
        ++s.frame_pos;
        const Pcm sound = s.timeline.sound(pcm, first, s.timeline.begin, -1, s.engine.format.bytes_per_sample_frame());
        if (sound.bytes > 0) out.put(sound);
    }
    // A full buffer in two-block mode past the current block's end moves on
    // to the next block. In one-block mode the end of the data is left to
    // the next poll: the caller may still hand the next block over.
    if (!s.wants_block && s.read_pos >= s.block_len) next_block(s);
    return FillEnd::kFull;
}

}  // namespace

int stream_poll_locked(Mp3Stream &s) {
    return poll_code(s.engine.output.poll([&s] { return fill(s); }));
}

}  // namespace almp3
