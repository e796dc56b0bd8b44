// Recovery after a bad frame: a bounded byte-wise search for the next frame
// that decodes and is followed by another frame, a tag or the data's end.
#include <algorithm>

#include "mp3memory_record.h"

namespace almp3 {

namespace {

// Tries the candidate at read_pos with a fresh decoder.
bool accept_candidate(Mp3Memory &m, DecodeRun &run) {
    if (!frame_header_ok(m.read_pos, 0, m.audio_len - read_offset(m))) return false;
    restart_decoder(m);
    if (decode_at_read_pos(m, run) != kFrameDecoded) return false;
    return frame_confirmed(m.first_frame, read_offset(m), m.decoder.framesize + kHeaderBytes, m.audio_len);
}

}  // namespace

int decode_at_read_pos(Mp3Memory &m, DecodeRun &run) {
    return almp3_decode_frame_mp3(&m, m.read_pos, run.base + run.total, run.capacity - run.total, &run.out_count,
                                  &run.in_count);
}

void wrap_to_start(Mp3Memory &m) {
    m.read_pos = m.first_frame;
    m.frame_pos = 0;
    m.restart_pending = ALMP3_FALSE;
}

bool resynchronise(Mp3Memory &m, int step_offset, DecodeRun &run) {
    const int remaining = m.audio_len - step_offset;
    const int limit = run.looping ? kResyncSearchLimit : std::min(kResyncSearchLimit, remaining);
    for (int scanned = 0; scanned < limit; ++scanned) {
        if (run.looping && read_offset(m) >= m.audio_len) wrap_to_start(m);
        if (accept_candidate(m, run)) return true;
        advance_read_pos(m, 1);
    }
    // With no more than one frame of data left, the data simply ends here.
    // The core reports a size of 0 for a header it rejected (the usual case
    // at rubbish); the first frame's size then stands in for it.
    return remaining <= std::max(m.decoder.framesize, m.frame_len - kHeaderBytes);
}

}  // namespace almp3
