// The in-memory decoder object behind the public Mp3Memory handle: the
// engine, fed straight from the caller's memory, with a sparse index of
// its frames for exact places. Callers outside the decoder layer see only
// the opaque Mp3Memory of almp3.h.
#ifndef ALMP3_MP3MEMORY_RECORD_H
#define ALMP3_MP3MEMORY_RECORD_H

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/engine.h"
#include "engine/timeline.h"
#include "format/xing.h"

namespace almp3 {

struct Mp3Memory {
    Mp3Memory() : engine(almp3_autopoll_mp3, this) {}

    Engine engine;
    const unsigned char *first_frame = nullptr;  // inside the caller's data
    int read_pos = 0;   // offset from first_frame of the next byte to feed
    int audio_len = 0;  // bytes from first_frame to the end of the audio
    int lead_len = 0;   // bytes before first_frame
    int trail_len = 0;  // bytes after the audio
    std::optional<XingInfo> xing;
    int info_frames = 0;  // 1 when the first frame is an Info/Xing frame
    // Offsets of frames 0, 16, 32, ... (the Info frame counted), from the
    // header walk at creation.
    std::vector<int32_t> frame_index;
    Timeline timeline;
    int frame_count = 0;  // audio frames in the data (the Info frame is none)
    // The walk met damage no search passes, with frames after it: the
    // frames it counted end there.
    bool damaged = false;

    bool restart_pending = false;  // the next poll starts with a fresh core
    int frame_pos = 0;             // the audio frame about to be decoded
    int64_t play_from = 0;         // decoded sample the sound is played from
    int target_offset = 0;         // the offset of the frame the last seek went to
    int64_t loop_start = 0;        // the loop region, in timeline samples
    int64_t loop_end = 0;
    int looping = 0;               // the caller's value
};

// Timeline sample of the sound about to be handed to the audio stream.
int64_t position(const Mp3Memory &m);
// The audio frame that holds the position, and the offset of the next byte
// to feed (during the warm-up after a seek, of the frame it went to).
int64_t position_frame(const Mp3Memory &m);
int64_t position_offset(const Mp3Memory &m);

// Goes to timeline sample t (0 <= t < length): decoding starts early enough
// before it for the frame that holds it to decode exactly (its bit
// reservoir and the filter bank's overlap), and what comes before t is not
// played. The core is restarted at the next poll.
void go_to_sample(Mp3Memory &m, int64_t t);

// A fresh core for decoding from read_pos (the Info frame passed over at
// the data's start).
void restart_core(Mp3Memory &m);

// A seek or rewind of the caller's: the sound kept from the old place for
// the next buffer is not played.
void move_to_sample(Mp3Memory &m, int64_t t);

// Back to the first sample; the next start of playback begins there.
void rewind_object(Mp3Memory &m);

// Offset from first_frame of audio frame f (frame_count: the audio's end).
int64_t frame_offset(const Mp3Memory &m, int64_t f);

}  // namespace almp3

#endif
