#include "frame_walk.h"

#include "frame_header.h"
#include "tags.h"

namespace almp3 {

bool frame_confirmed(const unsigned char *data, int64_t pos, int n, int64_t len) {
    // Zero bytes confirm nothing (frames of silence, and the info frame,
    // hold long runs of them).
    const int64_t next = pos + n;
    if (next >= len || frame_len_at(data, next, len) > 0) return true;
    const Gap tag = gap_at(data, next, len);
    return tag.len > 0 && !tag.zeros;
}

int64_t next_confirmed_frame(const unsigned char *data, int64_t from, int64_t len, int64_t limit) {
    const int64_t stop = len - from < limit ? len : from + limit;
    for (int64_t pos = from; pos < stop; ++pos) {
        const int n = frame_len_at(data, pos, len);
        if (n > 0 && pos + n <= len && frame_confirmed(data, pos, n, len)) return pos;
    }
    return -1;
}

int FrameCursor::next() {
    while (pos < len) {
        const int n = frame_len_at(data, pos, len);
        if (n > 0) {
            if (pos + n > len) break;
            frame_at = pos;
            pos += n;
            return n;
        }
        const Gap g = gap_at(data, pos, len);
        if (g.len > 0) {
            pos += g.len;
            continue;
        }
        const int64_t found = next_confirmed_frame(data, pos, len, kResyncSearchLimit);
        if (found < 0) {
            // Rubbish past the search limit: damage when frames follow it,
            // else simply the end of the audio.
            damaged = next_confirmed_frame(data, pos + kResyncSearchLimit, len, len) >= 0;
            break;
        }
        pos = found;
    }
    pos = len;
    return 0;
}

FrameWalk walk_frames(const unsigned char *data, int64_t len, std::vector<int32_t> *index) {
    FrameWalk w;
    int first_bitrate = -1;
    FrameCursor c{data, len};
    for (int n; (n = c.next()) > 0;) {
        if (index && w.frames % kFrameIndexStep == 0) index->push_back(static_cast<int32_t>(c.frame_at));
        const int bitrate = static_cast<int>((be32(data + c.frame_at) >> 12) & 15);
        if (first_bitrate < 0) first_bitrate = bitrate;
        w.one_bitrate = w.one_bitrate && bitrate == first_bitrate;
        ++w.frames;
        w.frame_bytes += n;
        w.audio_end = c.frame_at + n;
    }
    w.damaged = c.damaged;
    return w;
}

}  // namespace almp3
