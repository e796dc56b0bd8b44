// Where playback of the in-memory object stands, how long its data is, and
// moving the position. The length is the frames the header walk counted,
// timed exactly; byte places come from the Xing table of contents when the
// data has one that fits it, else from the data's mean frame length. The
// decoding that follows copes with a place that is not a frame boundary.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "format/timing.h"
#include "memory/mp3memory_record.h"

namespace almp3 {

namespace {

int64_t frames_in_msecs(const Mp3Memory &m, int64_t msecs) {
    return msecs_to_frames(msecs, m.engine.format.samples_per_frame, m.engine.format.freq);
}

// Offset of frame f by the table of contents, or -1 when the data has no
// table, or a Xing header whose counts do not describe the data.
int64_t table_offset(const Mp3Memory &m, int64_t f) {
    const XingInfo *x = m.xing ? &*m.xing : nullptr;
    const bool usable = x && (x->flags & kXingToc) && xing_fits(*x, m.audio_len) && f < m.frame_count;
    return usable ? xing_toc_offset(*x, f, m.frame_count, m.audio_len) : -1;
}

// The constant-rate estimate: frames of the data's mean frame length.
int64_t estimated_offset(const Mp3Memory &m, int64_t frames) {
    return frames * m.audio_len / m.frame_count;
}

// Every estimate is kept inside the data: a relative move from a place the
// table chose could otherwise point before the first frame or past the end.
void set_read_offset(Mp3Memory &m, int64_t offset) {
    m.read_pos = static_cast<int>(std::clamp<int64_t>(offset, 0, m.audio_len));
}

void go_to_frame(Mp3Memory &m, int64_t f) {
    if (f < 0 || f >= m.frame_count) return;
    int64_t offset = table_offset(m, f);
    if (offset < 0) offset = estimated_offset(m, f);
    set_read_offset(m, offset);
    m.frame_pos = static_cast<int>(f);
    m.restart_pending = true;
}

void move_by_frames(Mp3Memory &m, int64_t d) {
    const int64_t target = m.frame_pos + d;
    if (target < 0 || target >= m.frame_count) return;
    int64_t offset = table_offset(m, target);
    // The constant-rate move keeps read_pos's lead over the decoded frames.
    if (offset < 0) offset = m.read_pos + (d < 0 ? -estimated_offset(m, -d) : estimated_offset(m, d));
    set_read_offset(m, offset);
    m.frame_pos = static_cast<int>(target);
    m.restart_pending = true;
}

// p counts from the first frame; a place inside the leading tag means the
// first frame.
void go_to_byte(Mp3Memory &m, int64_t p) {
    if (p < -int64_t{m.lead_len} || p >= m.audio_len) return;
    m.restart_pending = true;
    p = std::max<int64_t>(p, 0);
    m.read_pos = static_cast<int>(p);
    m.frame_pos = static_cast<int>(p * m.frame_count / m.audio_len);
}

int64_t length_msecs(const Mp3Memory &m) { return frames_to_msecs(m.frame_count, m.engine.format.samples_per_frame, m.engine.format.freq); }

}  // namespace

}  // namespace almp3

using namespace almp3;

int almp3_get_msecs_per_frame_mp3(Mp3Memory *mp3) {
    return whole_msecs_per_frame(mp3->engine.format.samples_per_frame, mp3->engine.format.freq);
}

int almp3_get_pos_frames_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    return mp3->frame_pos;
}

int almp3_get_pos_msecs_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    return clamp_to_int(frames_to_msecs(mp3->frame_pos, mp3->engine.format.samples_per_frame, mp3->engine.format.freq));
}

int almp3_get_pos_secs_mp3(Mp3Memory *mp3) { return almp3_get_pos_msecs_mp3(mp3) / kMsecsPerSec; }

int almp3_get_pos_bytes_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    return mp3->read_pos + mp3->lead_len;
}

int almp3_get_length_frames_mp3(Mp3Memory *mp3) { return mp3->frame_count; }

int almp3_get_length_msecs_mp3(Mp3Memory *mp3) { return clamp_to_int(length_msecs(*mp3)); }

int almp3_get_length_secs_mp3(Mp3Memory *mp3) { return clamp_to_int(length_msecs(*mp3) / kMsecsPerSec); }

int almp3_get_length_bytes_mp3(Mp3Memory *mp3) { return mp3->audio_len + mp3->lead_len + mp3->trail_len; }

void almp3_rewind_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    rewind_object(*mp3);
}

void almp3_seek_abs_frames_mp3(Mp3Memory *mp3, int frame) {
    Hold hold(mp3->engine.lock);
    go_to_frame(*mp3, frame);
}

void almp3_seek_abs_msecs_mp3(Mp3Memory *mp3, int msecs) {
    Hold hold(mp3->engine.lock);
    go_to_frame(*mp3, frames_in_msecs(*mp3, msecs));
}

void almp3_seek_abs_secs_mp3(Mp3Memory *mp3, int secs) {
    Hold hold(mp3->engine.lock);
    go_to_frame(*mp3, frames_in_msecs(*mp3, int64_t{secs} * kMsecsPerSec));
}

void almp3_seek_abs_bytes_mp3(Mp3Memory *mp3, int bytes) {
    Hold hold(mp3->engine.lock);
    go_to_byte(*mp3, bytes);
}

void almp3_seek_rel_frames_mp3(Mp3Memory *mp3, int frames) {
    Hold hold(mp3->engine.lock);
    move_by_frames(*mp3, frames);
}

void almp3_seek_rel_msecs_mp3(Mp3Memory *mp3, int msecs) {
    Hold hold(mp3->engine.lock);
    move_by_frames(*mp3, frames_in_msecs(*mp3, msecs));
}

void almp3_seek_rel_secs_mp3(Mp3Memory *mp3, int secs) {
    Hold hold(mp3->engine.lock);
    move_by_frames(*mp3, frames_in_msecs(*mp3, int64_t{secs} * kMsecsPerSec));
}

void almp3_seek_rel_bytes_mp3(Mp3Memory *mp3, int bytes) {
    Hold hold(mp3->engine.lock);
    go_to_byte(*mp3, int64_t{mp3->read_pos} + bytes);
}
