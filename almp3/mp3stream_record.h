// The streaming decoder object behind the public Mp3Stream handle, and the
// few operations its source files share. Not part of the public interface.
//
// The object decodes from one of two windows: the current block alone while
// it waits for the next block (one-block mode, wants_block true), or
// `window`, the current block followed by the next one, once the next block
// has been handed over (two-block mode). read_pos always counts from the
// start of the current block, so it means the same in both.
#ifndef ALMP3_MP3STREAM_RECORD_H
#define ALMP3_MP3STREAM_RECORD_H

#include <cstdlib>
#include <memory>
#include <mutex>

#include "almp3.h"
#include "decoder_core.h"
#include "frame.h"

namespace almp3 {

// `current` is 1 while block_a holds the current block, -1 for block_b; the
// blocks change places by negating it.
constexpr int kCurrentIsA = 1;
// last_len until the final block has been handed over: the count that marks
// a whole block with more to follow.
constexpr int kNotFinal = ALMP3_WHOLE_BLOCK;
constexpr int kOutputBits = 16;

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};

struct Mp3Stream {
    std::unique_ptr<unsigned char[]> block_a;  // block_len bytes
    std::unique_ptr<unsigned char[]> block_b;  // block_len bytes
    std::unique_ptr<unsigned char[]> window;   // 2 x block_len bytes
    int read_pos = 0;      // next byte to feed, from the current block's start
    int current = kCurrentIsA;
    int block_len = 0;
    int wants_block = ALMP3_TRUE;
    int last_len = kNotFinal;  // valid bytes of the final block once given
    int lead_len = 0;          // bytes before the first frame
    DecoderState decoder;
    std::unique_ptr<XingInfo, FreeDeleter> xing;
    int pcm_per_frame = 0;  // PCM bytes one frame decodes to
    int frame_len = 0;      // first frame's length, header included
    int bitrate = 0;        // bits per second of the first frame
    int layer = 0;
    int frame_pos = 0;      // frames decoded since creation
    int byte_pos = 0;       // source offset of the next byte to feed
    int frame_count = -1;   // from the Xing header, or -1
    int samples_per_frame = 0;  // per channel
    // The frames of the first block behind the first frame (and behind a
    // Xing header's own frame): the length estimate of a source without a
    // Xing header that fits it.
    FrameWalk first_walk;
    int64_t skip_left = 0;  // bytes of a tag still to pass over, in blocks to come
    int rubbish = 0;        // bytes searched since the last accepted frame
    int end_result = ALMP3_POLL_FINISHED;     // what the poll reports once the silent tail is out
    int buffer_written = 0; // PCM bytes in the audio-stream buffer kept from the last poll
    AUDIOSTREAM *stream = nullptr;  // non-null exactly while playing
    int paused = ALMP3_FALSE;        // the voice is halted, the buffers kept
    int freq = 0;
    int stereo = ALMP3_FALSE;
    int bits = kOutputBits;
    int frames_per_buffer = 0;
    int autopoll_on = ALMP3_FALSE;
    int autopoll_ms = 0;
    int end_countdown = 0;  // silent buffers still to hand over at the end

    // Serialises the caller's calls with the autopoll timer's polls.
    std::mutex lock;

    ~Mp3Stream() { ExitMP3(&decoder); }
};

// Stops playback: removes the autopoll timer, closes the audio stream.
// The caller holds s->lock.
void stream_stop_locked(Mp3Stream *s);
// One poll; the caller holds s->lock.
int stream_poll_locked(Mp3Stream *s);

}  // namespace almp3

#endif
