// A walk over the frame headers of MPEG audio data: frames are counted by
// the sizes their headers give, tags and zero padding between them are
// passed over by their size fields, and rubbish is searched through as the
// decoder objects search it. No frame is decoded.
#ifndef ALMP3_FRAME_WALK_H
#define ALMP3_FRAME_WALK_H

#include <cstdint>

namespace almp3 {

// How many byte positions one search for the next frame after damage may
// cover; the walk searches as the decoder does.
constexpr int kResyncSearchLimit = 16384;

struct FrameWalk {
    int64_t frames = 0;       // whole frames found
    int64_t audio_end = 0;    // offset just past the last whole frame
    int64_t frame_bytes = 0;  // bytes of those frames, tags and rubbish left out
    bool one_bitrate = true;  // every frame has the first one's bit rate
    // The walk met rubbish longer than one search for the next frame may
    // cover, with frames still after it: decoding stops there as damaged.
    bool damaged = false;
};

// Walks data[0, len), which starts with a frame or with what lies before one.
FrameWalk walk_frames(const unsigned char *data, int64_t len);

// True when a frame of n bytes at data[pos] is confirmed by what follows it:
// the end of the data at hand, another frame header, or a tag.
bool frame_confirmed(const unsigned char *data, int64_t pos, int n, int64_t len);

// Offset of the first frame, at from or after it, that is whole and
// confirmed, searching at most limit positions; -1 when there is none.
int64_t next_confirmed_frame(const unsigned char *data, int64_t from, int64_t len, int64_t limit);

}  // namespace almp3

#endif
