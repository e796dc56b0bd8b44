// Where playback of the in-memory object stands, how long its sound is, and
// moving the position, all on the timeline and exact to the sample: a time
// or frame seek lands on its sample, a byte seek on the first frame that
// starts at or after its byte.
#include <algorithm>
#include <cstdint>

#include "format/frame_walk.h"
#include "format/timing.h"
#include "memory/mp3memory_record.h"

namespace almp3 {

namespace {

int64_t msecs_to_samples(const Mp3Memory &m, int64_t msecs) {
    return msecs * m.engine.format.freq / kMsecsPerSec;
}

int64_t samples_to_msecs(const Mp3Memory &m, int64_t samples) {
    return samples * kMsecsPerSec / m.engine.format.freq;
}

// A place outside the sound does nothing.
void seek_sample(Mp3Memory &m, int64_t t) {
    if (t < 0 || t >= m.timeline.length()) return;
    move_to_sample(m, t);
}

void seek_frame(Mp3Memory &m, int64_t f) {
    if (f < 0 || f >= m.frame_count) return;
    const int64_t t = m.timeline.frame_start(f);
    if (t < m.timeline.length()) move_to_sample(m, t);
}

int64_t current_frame(const Mp3Memory &m) { return position_frame(m); }

// p counts from the first frame; a place inside the leading tag means the
// first frame. The frame found there is the first that starts at or after p.
void seek_byte(Mp3Memory &m, int64_t p) {
    if (p < -int64_t{m.lead_len} || p >= m.audio_len) return;
    p = std::max<int64_t>(p, 0);
    int64_t lo = 0;
    int64_t hi = m.frame_count;  // frame_offset(hi) is the audio's end
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (frame_offset(m, mid) < p) lo = mid + 1;
        else hi = mid;
    }
    if (lo >= m.frame_count) return;
    move_to_sample(m, std::min(m.timeline.frame_start(lo), std::max<int64_t>(0, m.timeline.length() - 1)));
}

}  // namespace

}  // namespace almp3

using namespace almp3;

int almp3_get_msecs_per_frame_mp3(Mp3Memory *mp3) {
    return whole_msecs_per_frame(mp3->engine.format.samples_per_frame, mp3->engine.format.freq);
}

int almp3_get_pos_frames_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    return clamp_to_int(current_frame(*mp3));
}

int almp3_get_pos_msecs_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    return clamp_to_int(samples_to_msecs(*mp3, position(*mp3)));
}

int almp3_get_pos_secs_mp3(Mp3Memory *mp3) { return almp3_get_pos_msecs_mp3(mp3) / kMsecsPerSec; }

int almp3_get_pos_bytes_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    return clamp_to_int(position_offset(*mp3) + mp3->lead_len);
}

int almp3_get_length_frames_mp3(Mp3Memory *mp3) { return mp3->frame_count; }

int almp3_get_length_msecs_mp3(Mp3Memory *mp3) {
    return clamp_to_int(samples_to_msecs(*mp3, mp3->timeline.length()));
}

int almp3_get_length_secs_mp3(Mp3Memory *mp3) { return almp3_get_length_msecs_mp3(mp3) / kMsecsPerSec; }

int almp3_get_length_bytes_mp3(Mp3Memory *mp3) { return mp3->audio_len + mp3->lead_len + mp3->trail_len; }

void almp3_rewind_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    move_to_sample(*mp3, 0);
}

void almp3_seek_abs_frames_mp3(Mp3Memory *mp3, int frame) {
    Hold hold(mp3->engine.lock);
    seek_frame(*mp3, frame);
}

void almp3_seek_abs_msecs_mp3(Mp3Memory *mp3, int msecs) {
    Hold hold(mp3->engine.lock);
    seek_sample(*mp3, msecs_to_samples(*mp3, msecs));
}

void almp3_seek_abs_secs_mp3(Mp3Memory *mp3, int secs) {
    Hold hold(mp3->engine.lock);
    seek_sample(*mp3, int64_t{secs} * mp3->engine.format.freq);
}

void almp3_seek_abs_bytes_mp3(Mp3Memory *mp3, int bytes) {
    Hold hold(mp3->engine.lock);
    seek_byte(*mp3, bytes);
}

void almp3_seek_rel_frames_mp3(Mp3Memory *mp3, int frames) {
    Hold hold(mp3->engine.lock);
    seek_frame(*mp3, current_frame(*mp3) + frames);
}

void almp3_seek_rel_msecs_mp3(Mp3Memory *mp3, int msecs) {
    Hold hold(mp3->engine.lock);
    // The move, truncated toward zero, in either direction.
    const int64_t d = msecs < 0 ? -msecs_to_samples(*mp3, -int64_t{msecs}) : msecs_to_samples(*mp3, msecs);
    seek_sample(*mp3, position(*mp3) + d);
}

void almp3_seek_rel_secs_mp3(Mp3Memory *mp3, int secs) {
    Hold hold(mp3->engine.lock);
    seek_sample(*mp3, position(*mp3) + int64_t{secs} * mp3->engine.format.freq);
}

void almp3_seek_rel_bytes_mp3(Mp3Memory *mp3, int bytes) {
    Hold hold(mp3->engine.lock);
    seek_byte(*mp3, position_offset(*mp3) + bytes);
}
