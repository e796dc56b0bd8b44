// The in-memory decoder object behind the public Mp3Memory handle: the
// engine, fed straight from the caller's memory. Callers outside the
// decoder layer see only the opaque Mp3Memory of almp3.h.
#ifndef ALMP3_MP3MEMORY_RECORD_H
#define ALMP3_MP3MEMORY_RECORD_H

#include <optional>

#include "engine/engine.h"
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
    bool restart_pending = false;  // the next poll starts with a fresh core
    int frame_count = 0;           // whole frames in the data, by the header walk
    // The walk met damage no search passes, with frames after it: the
    // frames it counted end there.
    bool damaged = false;
    int frame_pos = 0;             // the frame about to be decoded
    int looping = 0;               // the caller's value
};

// The next start of playback begins at the first frame with a fresh core.
inline void rewind_object(Mp3Memory &m) {
    m.read_pos = 0;
    m.frame_pos = 0;
    m.restart_pending = true;
}

}  // namespace almp3

#endif
