// Positions, lengths and seek offsets of the streaming object. The object
// never sees the whole source, so lengths and seeks work from the first
// block's frames, the Xing header and the source size the caller gives.
// Times count samples of the timeline (the Info frame, and the delay and
// padding its LAME tag gives, are no sound); frame numbers count audio
// frames. Nothing here changes the object.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "format/timing.h"
#include "stream/mp3stream_record.h"

namespace almp3 {

namespace {

constexpr int64_t kBitsPerByte = 8;

// The bytes of audio in a source of total_bytes: from the first frame on.
int64_t audio_bytes(const Mp3Stream &s, int total_bytes) {
    return std::max<int64_t>(0, int64_t{total_bytes} - s.lead_len);
}

const XingInfo *fitting_xing(const Mp3Stream &s, int64_t audio) {
    return s.xing && xing_fits(*s.xing, audio) ? &*s.xing : nullptr;
}

// Without a Xing header that fits, a constant bit rate is assumed when the
// frames of the first block all share the first one's; then bytes to time is
// exact arithmetic (bytes x 8 / bit rate), whatever the padding. Otherwise
// the mean frame length of the first block's frames stands for all of them.
bool constant_rate(const Mp3Stream &s) { return s.first_walk.one_bitrate || s.first_walk.frames == 0; }

// Frames in audio bytes of audio, by the estimate above, to the nearest
// whole frame: padding makes CBR frames differ by a byte, so whole frames
// fill a few bytes more or less than their exact share.
int64_t estimated_frames(const Mp3Stream &s, int64_t audio) {
    if (constant_rate(s)) {
        const int64_t frame_bits = int64_t{s.engine.format.bitrate} * s.engine.format.samples_per_frame;
        return (audio * kBitsPerByte * s.engine.format.freq + frame_bits / 2) / frame_bits;
    }
    return (audio * s.first_walk.frames + s.first_walk.frame_bytes / 2) / s.first_walk.frame_bytes;
}

// Bytes from the first frame to the start of frame f, by the same estimate.
int64_t estimated_offset(const Mp3Stream &s, int64_t f) {
    if (constant_rate(s))
        return f * s.engine.format.bitrate * s.engine.format.samples_per_frame / (kBitsPerByte * s.engine.format.freq);
    return f * s.first_walk.frame_bytes / s.first_walk.frames;
}

// Frames in the source, the Info frame counted.
int64_t frames_in_source(const Mp3Stream &s, int total_bytes) {
    const int64_t audio = audio_bytes(s, total_bytes);
    const XingInfo *x = fitting_xing(s, audio);
    return x ? xing_total_frames(*x) : estimated_frames(s, audio);
}

int64_t audio_frames_in_source(const Mp3Stream &s, int total_bytes) {
    return std::max<int64_t>(0, frames_in_source(s, total_bytes) - s.info_frames);
}

// Source offset of a target frame, or ALMP3_SEEK_OUTSIDE outside the
// source. A relative estimate moves from byte_pos by amount frames; an
// absolute one counts from the first frame. Offsets within the audio have the leading bytes added.
int seek_frame(const Mp3Stream &s, int64_t target, bool relative, int64_t amount, int total_bytes) {
    const int64_t frames = frames_in_source(s, total_bytes);
    if (target < 0 || target >= frames) return ALMP3_SEEK_OUTSIDE;
    const int64_t audio = audio_bytes(s, total_bytes);
    const XingInfo *x = fitting_xing(s, audio);
    int64_t offset = 0;
    if (x && (x->flags & kXingToc)) {
        offset = s.lead_len + xing_toc_offset(*x, target, frames, audio);
    } else if (relative) {
        const int64_t move = estimated_offset(s, amount < 0 ? -amount : amount);
        offset = s.byte_pos + (amount < 0 ? -move : move);
    } else {
        offset = s.lead_len + estimated_offset(s, target);
    }
    // The target lies inside the source, so an estimate before its start
    // means its first byte.
    if (offset < 0) offset = 0;
    return offset > INT_MAX ? ALMP3_SEEK_OUTSIDE : static_cast<int>(offset);
}

// target and amount count audio frames; the table and the estimates count
// the Info frame too.
int seek_abs(const Mp3Stream &s, int64_t target, int total_bytes) {
    if (target < 0) return ALMP3_SEEK_OUTSIDE;
    return seek_frame(s, target + s.info_frames, false, target + s.info_frames, total_bytes);
}

int seek_rel(const Mp3Stream &s, int64_t amount, int total_bytes) {
    if (s.frame_pos + amount < 0) return ALMP3_SEEK_OUTSIDE;
    return seek_frame(s, s.frame_pos + amount + s.info_frames, true, amount, total_bytes);
}

int seek_byte(const Mp3Stream &s, int64_t p, int total_bytes) {
    if (p < -int64_t{s.lead_len} || p >= total_bytes) return ALMP3_SEEK_OUTSIDE;
    return p < 0 ? 0 : static_cast<int>(p);
}

// The audio frame that holds the timeline's sample at msecs.
int64_t msecs_to_target(const Mp3Stream &s, int64_t msecs) {
    const int64_t t = msecs * s.engine.format.freq / kMsecsPerSec;
    return s.timeline.frame_of(t);
}

// A relative move in audio frames: the whole frames in msecs.
int64_t msecs_to_amount(const Mp3Stream &s, int64_t msecs) {
    return msecs_to_frames(msecs, s.engine.format.samples_per_frame, s.engine.format.freq);
}

int64_t length_msecs(const Mp3Stream &s, int total_bytes) {
    const Timeline t = make_timeline(s.xing, s.engine.format.samples_per_frame, audio_frames_in_source(s, total_bytes));
    return t.length() * kMsecsPerSec / s.engine.format.freq;
}

int64_t position_msecs(const Mp3Stream &s) {
    return s.timeline.frame_start(s.frame_pos) * kMsecsPerSec / s.engine.format.freq;
}

}  // namespace

}  // namespace almp3

using namespace almp3;

extern "C" {

int almp3_get_pos_frames_mp3stream(Mp3Stream *s) {
    Hold hold(s->engine.lock);
    return s->frame_pos;
}

int almp3_get_pos_msecs_mp3stream(Mp3Stream *s) {
    Hold hold(s->engine.lock);
    // The exact time of the samples decoded so far.
    return clamp_to_int(position_msecs(*s));
}

int almp3_get_pos_secs_mp3stream(Mp3Stream *s) { return almp3_get_pos_msecs_mp3stream(s) / kMsecsPerSec; }

int almp3_get_pos_bytes_mp3stream(Mp3Stream *s) {
    Hold hold(s->engine.lock);
    return s->byte_pos;
}

int almp3_get_msecs_per_frame_mp3stream(Mp3Stream *s) {
    return whole_msecs_per_frame(s->engine.format.samples_per_frame, s->engine.format.freq);
}

int almp3_get_length_frames_mp3stream(Mp3Stream *s, int total_bytes) {
    Hold hold(s->engine.lock);
    return clamp_to_int(audio_frames_in_source(*s, total_bytes));
}

int almp3_get_length_msecs_mp3stream(Mp3Stream *s, int total_bytes) {
    Hold hold(s->engine.lock);
    return clamp_to_int(length_msecs(*s, total_bytes));
}

int almp3_get_length_secs_mp3stream(Mp3Stream *s, int total_bytes) {
    Hold hold(s->engine.lock);
    return clamp_to_int(length_msecs(*s, total_bytes) / kMsecsPerSec);
}

int almp3_get_length_bytes_mp3stream(Mp3Stream *, int total_bytes) { return total_bytes; }

int almp3_seek_abs_frames_mp3stream(Mp3Stream *s, int frame, int total_bytes) {
    Hold hold(s->engine.lock);
    return seek_abs(*s, frame, total_bytes);
}

int almp3_seek_abs_msecs_mp3stream(Mp3Stream *s, int msecs, int total_bytes) {
    Hold hold(s->engine.lock);
    return seek_abs(*s, msecs_to_target(*s, msecs), total_bytes);
}

int almp3_seek_abs_secs_mp3stream(Mp3Stream *s, int secs, int total_bytes) {
    Hold hold(s->engine.lock);
    return seek_abs(*s, msecs_to_target(*s, int64_t{secs} * kMsecsPerSec), total_bytes);
}

int almp3_seek_abs_bytes_mp3stream(Mp3Stream *s, int bytes, int total_bytes) {
    Hold hold(s->engine.lock);
    return seek_byte(*s, bytes, total_bytes);
}

int almp3_seek_rel_frames_mp3stream(Mp3Stream *s, int frames, int total_bytes) {
    Hold hold(s->engine.lock);
    return seek_rel(*s, frames, total_bytes);
}

int almp3_seek_rel_msecs_mp3stream(Mp3Stream *s, int msecs, int total_bytes) {
    Hold hold(s->engine.lock);
    return seek_rel(*s, msecs_to_amount(*s, msecs), total_bytes);
}

int almp3_seek_rel_secs_mp3stream(Mp3Stream *s, int secs, int total_bytes) {
    Hold hold(s->engine.lock);
    return seek_rel(*s, msecs_to_amount(*s, int64_t{secs} * kMsecsPerSec), total_bytes);
}

int almp3_seek_rel_bytes_mp3stream(Mp3Stream *s, int bytes, int total_bytes) {
    Hold hold(s->engine.lock);
    return seek_byte(*s, int64_t{s->byte_pos} + bytes, total_bytes);
}

}  // extern "C"
