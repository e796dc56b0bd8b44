// The streaming decoder object behind the public Mp3Stream handle: the
// engine, fed from two blocks of the caller's source. Not part of the
// public interface.
//
// The object decodes from one of two windows: the current block alone while
// it waits for the next block (one-block mode, wants_block true), or
// `window`, the current block followed by the next one, once the next block
// has been handed over (two-block mode). read_pos always counts from the
// start of the current block, so it means the same in both.
#ifndef ALMP3_MP3STREAM_RECORD_H
#define ALMP3_MP3STREAM_RECORD_H

#include <memory>
#include <optional>

#include "engine/engine.h"
#include "engine/timeline.h"
#include "format/frame_walk.h"
#include "format/xing.h"

namespace almp3 {

// `current` is 1 while block_a holds the current block, -1 for block_b; the
// blocks change places by negating it.
constexpr int kCurrentIsA = 1;
// last_len until the final block has been handed over: the count that marks
// a whole block with more to follow.
constexpr int kNotFinal = ALMP3_WHOLE_BLOCK;

struct Mp3Stream {
    Mp3Stream() : engine(almp3_autopoll_mp3stream, this) {}

    Engine engine;
    std::unique_ptr<unsigned char[]> block_a;  // block_len bytes
    std::unique_ptr<unsigned char[]> block_b;  // block_len bytes
    std::unique_ptr<unsigned char[]> window;   // 2 x block_len bytes
    int read_pos = 0;  // next byte to feed, from the current block's start
    int current = kCurrentIsA;
    int block_len = 0;
    bool wants_block = true;
    int last_len = kNotFinal;  // valid bytes of the final block once given
    int lead_len = 0;          // bytes before the first frame
    std::optional<XingInfo> xing;
    int info_frames = 0;  // 1 when the first frame is an Info/Xing frame
    // The timeline by the first frame's header and LAME tag (its end is not
    // known: the source's size is not).
    Timeline timeline;
    int frame_pos = 0;     // audio frames decoded since creation
    int byte_pos = 0;      // source offset of the next byte to feed
    // The frames of the first block behind the first frame (and behind a
    // Xing header's own frame): the length estimate of a source without a
    // Xing header that fits it.
    FrameWalk first_walk;
};

// One poll; the caller holds the lock.
int stream_poll_locked(Mp3Stream &s);

}  // namespace almp3

#endif
