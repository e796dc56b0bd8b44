// A walk over the frame headers of MPEG audio data: frames are counted by
// the sizes their headers give, tags and zero padding between them are
// passed over by their size fields, and rubbish is searched through as the
// decoder objects search it. No frame is decoded.
#ifndef ALMP3_FRAME_WALK_H
#define ALMP3_FRAME_WALK_H

#include <cstdint>
#include <vector>

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

// Frames one entry of a frame index stands for: the index keeps the offset
// of every 16th frame, 4 bytes per 16 frames (under 1 % of the data even
// for frames of 48 bytes: 0.52 %).
constexpr int kFrameIndexStep = 16;

// Steps from frame to frame as the walk does, from pos on.
struct FrameCursor {
    const unsigned char *data;
    int64_t len;
    int64_t pos = 0;        // where the search for the next frame goes on
    int64_t frame_at = -1;  // the offset of the frame next() found
    bool damaged = false;   // stopped at damage with frames after it
    // The length of the next whole frame (its offset in frame_at), or 0 at
    // the end of the audio.
    int next();
};

// Walks data[0, len), which starts with a frame or with what lies before one.
// With an index, puts the offset of every kFrameIndexStep-th frame there
// (frames 0, 16, 32, ...).
FrameWalk walk_frames(const unsigned char *data, int64_t len, std::vector<int32_t> *index = nullptr);

// True when a frame of n bytes at data[pos] is confirmed by what follows it:
// the end of the data at hand, another frame header, or a tag.
bool frame_confirmed(const unsigned char *data, int64_t pos, int n, int64_t len);

// Offset of the first frame, at from or after it, that is whole and
// confirmed, searching at most limit positions; -1 when there is none.
int64_t next_confirmed_frame(const unsigned char *data, int64_t from, int64_t len, int64_t limit);

}  // namespace almp3

#endif
