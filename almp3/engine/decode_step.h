// One decode step, the same for both decoder objects: from the bytes at
// hand, pass over the tags and padding at a frame boundary, feed the core
// one frame and decode it; after a bad frame, search byte by byte for the
// next good one, within one limit and by one rule.
#ifndef ALMP3_DECODE_STEP_H
#define ALMP3_DECODE_STEP_H

#include <cstdint>

#include "engine/decoder_core.h"

namespace almp3 {

// The bytes at hand and where decoding stands in them. An object hands the
// step its caller's memory, or its current block, or its two blocks joined.
struct Source {
    const unsigned char *data = nullptr;
    int64_t end = 0;  // bytes at hand
    int64_t pos = 0;  // the next byte to feed or pass over; the step moves it
    // Bytes will follow data[end - 1] (a later block): a tag marker cut by
    // the end is then read whole once they are at hand, from continues_from
    // on (before it, the bytes that follow are already at hand).
    bool more_follow = false;
    int64_t continues_from = 0;
};

enum class Step {
    kFrame,      // a frame was decoded
    kExhausted,  // every byte at hand is fed or passed over
    kDamaged,    // a search passed the limit with frames after it
};

class DecodeStep {
public:
    DecodeStep() = default;
    DecodeStep(const DecodeStep &) = delete;
    DecodeStep &operator=(const DecodeStep &) = delete;
    ~DecodeStep() { ExitMP3(&core_); }

    // Makes the core ready; false when memory is short.
    bool open() { return InitMP3(&core_); }

    // Decodes the next frame of src; on Step::kFrame *pcm shows its sound.
    // A search for a frame, and a tag being passed over, carry on across
    // calls (and blocks) until they end.
    Step next(Source &src, Pcm *pcm);

    // A fresh core, no search under way, no tag being passed over: for a
    // new place in the data.
    void restart();
    // The next len bytes, at a frame boundary, are passed over unfed.
    void pass_over_next(int64_t len) { skip_left_ = len; }
    // A new search limit: the search under way, if any, starts counting
    // again (at every start of playback).
    void new_search() { searched_ = 0; }
    // The core holds input of a frame not yet decoded.
    bool holds_input() const { return core_.held > 0; }
    // The data has ended: a frame begun in it can never be completed.
    void data_ended();

private:
    struct Attempt;
    Attempt attempt(const Source &src, Pcm *pcm);
    enum class Boundary { kFrame, kRubbish, kExhausted };
    Boundary pass_gaps(Source &src);
    void pass_over(Source &src, int64_t len);
    Step search(Source &src, Pcm *pcm);
    Step accept(Source &src, const Attempt &a);

    DecoderState core_;
    int searched_ = 0;       // bytes searched since the last accepted frame
    int64_t skip_left_ = 0;  // bytes of a tag still to pass over, past the end
};

}  // namespace almp3

#endif
