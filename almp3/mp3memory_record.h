// The in-memory decoder object's record and the internal pieces its source
// files share: the one-frame decode step, the resynchronisation after a bad
// frame, and the stop path. Callers outside the decoder layer see only the
// opaque Mp3Memory of almp3.h.
#ifndef ALMP3_MP3MEMORY_RECORD_H
#define ALMP3_MP3MEMORY_RECORD_H

#include <cstdlib>
#include <memory>
#include <mutex>

#include "almp3.h"
#include "decoder_core.h"
#include "frame.h"

namespace almp3 {

// Silent buffers handed over after the data ended, when not looping.
constexpr int kEndSilentBuffers = 2;

// Results of almp3_decode_frame_mp3.
constexpr int kFrameDecoded = -1;
constexpr int kFrameBad = 0;
constexpr int kFrameDataEnded = -3;

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};

struct Mp3Memory {
    const unsigned char *first_frame = nullptr;
    const unsigned char *read_pos = nullptr;
    int audio_len = 0;
    int lead_len = 0;
    int trail_len = 0;
    DecoderState decoder;
    std::unique_ptr<XingInfo, FreeDeleter> xing;
    int restart_pending = ALMP3_FALSE;
    int pcm_per_frame = 0;
    int frame_len = 0;
    int bitrate = 0;
    int layer = 0;
    int frame_count = 0;  // whole frames in the data, by the header walk
    int samples_per_frame = 0;  // per channel
    bool damaged = false;  // the walk met damage no search passes, frames after it
    int frame_pos = 0;
    AUDIOSTREAM *stream = nullptr;
    int freq = 0;
    int stereo = ALMP3_FALSE;
    int bits = 16;
    int looping = 0;
    int frames_per_buffer = 0;
    int autopoll_on = ALMP3_FALSE;
    int autopoll_ms = 0;
    int end_countdown = 0;

    // Keeps the autopoll timer's poll and the caller's calls apart. Public
    // calls hold it; the timer callback only tries it and skips a busy tick.
    std::mutex lock;

    Mp3Memory() = default;
    Mp3Memory(const Mp3Memory &) = delete;
    Mp3Memory &operator=(const Mp3Memory &) = delete;
    ~Mp3Memory() { ExitMP3(&decoder); }
};

// Offset of read_pos from the first frame.
inline int read_offset(const Mp3Memory &m) { return static_cast<int>(m.read_pos - m.first_frame); }

// True when all input has been fed and the decoder holds no whole frame.
// read_pos runs ahead of the decoded frames by what the decoder holds, up to
// a feeding chunk of several frames: those are still to be played.
bool data_used_up(const Mp3Memory &m);

// At a frame boundary (the decoder holds nothing), moves read_pos over the
// tags and zero padding that lie there, by their sizes.
void pass_gaps(Mp3Memory &m);

// Moves read_pos forward by n bytes, never past the end of the audio data
// (every reader treats an offset at the end as "data used up").
void advance_read_pos(Mp3Memory &m, int64_t n);

// Decodes one frame from read_pos (passed as in) into out, where room bytes
// are free; never writes more than room. A frame whose PCM is larger than
// room is cut: the part that fits is kept and the rest of that frame is
// dropped. Sets *out_count to the PCM bytes written and *in_count to the
// input bytes fed; read_pos itself is left to the caller.
// Returns kFrameDecoded, kFrameBad or kFrameDataEnded.
int almp3_decode_frame_mp3(Mp3Memory *mp3, const unsigned char *in, unsigned char *out, int room, int *out_count,
                           int *in_count);

// A run of decode steps into one output area: an audio-stream buffer or a
// sample's data.
struct DecodeRun {
    unsigned char *base;     // start of the output area
    int capacity;            // its size in bytes
    bool looping;            // wrap to the start at the data's end
    int total = 0;           // PCM bytes written so far
    int out_count = 0;       // counts of the last decode
    int in_count = 0;
};

// Decodes one frame at read_pos into the run's next free byte.
int decode_at_read_pos(Mp3Memory &m, DecodeRun &run);

// Looping: moves read_pos back to the first frame, the decoder carrying on
// across the wrap.
void wrap_to_start(Mp3Memory &m);

// After a bad frame at step_offset, scans byte by byte from read_pos for a
// frame that decodes and is followed by a valid header (or by the data's
// end), re-initialising the decoder for every candidate. Returns true when
// the step may go on with the run's last counts (a frame was accepted, or
// no more than one frame of data was left); false when the data is damaged.
bool resynchronise(Mp3Memory &m, int step_offset, DecodeRun &run);

// Fresh decoder, no pending restart.
void restart_decoder(Mp3Memory &m);

// Stops the audio stream (and first its timer), keeping the position.
// Caller holds the lock.
void stop_locked(Mp3Memory &m);

}  // namespace almp3

#endif
