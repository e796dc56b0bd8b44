// Positions, lengths and seek offsets of the streaming object. The object
// never sees the whole source, so lengths and seeks work from the first
// frame, the Xing header and the source size the caller gives. Nothing here
// changes the object.
#include <climits>
#include <cstdint>

#include "mp3stream_record.h"

namespace {

constexpr int kMsecsPerSec = 1000;
constexpr int kOutside = -1;

int channels(const Mp3Stream &s) { return s.stereo ? 2 : 1; }

// Whole milliseconds of one frame, truncated (26 at 44100 Hz, 1152 samples).
int msecs_per_frame(const Mp3Stream &s) {
    const int64_t bytes_per_sec = int64_t{s.bits / 8} * s.freq * channels(s);
    return static_cast<int>(int64_t{s.pcm_per_frame} * kMsecsPerSec / bytes_per_sec);
}

int clamp_to_int(int64_t v) {
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

int64_t frames_in_source(const Mp3Stream &s, int total_bytes) {
    return s.frame_count != -1 ? s.frame_count : total_bytes / s.frame_len;
}

bool has_toc(const Mp3Stream &s) {
    return s.xing && (s.xing->flags & kXingFrames) && (s.xing->flags & kXingToc);
}

// Source offset of a target frame, or -1 outside the source. estimate_from
// and amount give the constant-rate estimate: estimate_from + amount frames.
int seek_frame(const Mp3Stream &s, int64_t target, int64_t estimate_from, int64_t amount, int total_bytes) {
    if (target < 0 || target >= frames_in_source(s, total_bytes)) return kOutside;
    if (has_toc(s) && target < s.xing->frames) {
        const int64_t offset = xing_toc_offset(*s.xing, static_cast<int>(target), total_bytes);
        if (offset >= 0) return static_cast<int>(offset);
    }
    int64_t offset = estimate_from + amount * s.frame_len;
    // The target lies inside the source, so an estimate before its start
    // means its first byte.
    if (offset < 0) offset = 0;
    return offset > INT_MAX ? kOutside : static_cast<int>(offset);
}

int seek_abs(const Mp3Stream &s, int64_t target, int total_bytes) {
    return seek_frame(s, target, 0, target, total_bytes);
}

int seek_rel(const Mp3Stream &s, int64_t amount, int total_bytes) {
    return seek_frame(s, s.frame_pos + amount, s.byte_pos, amount, total_bytes);
}

int seek_byte(const Mp3Stream &s, int64_t p, int total_bytes) {
    if (p < -int64_t{s.lead_len} || p >= total_bytes) return kOutside;
    return p < 0 ? 0 : static_cast<int>(p);
}

int64_t msecs_to_frames(const Mp3Stream &s, int64_t msecs) { return msecs / msecs_per_frame(s); }

}  // namespace

extern "C" {

int almp3_get_pos_frames_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    return s->frame_pos;
}

int almp3_get_pos_msecs_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    // The exact time of the samples decoded so far.
    const double samples = static_cast<double>(s->pcm_per_frame) * s->frame_pos / (s->bits / 8) / channels(*s);
    const double msecs = samples / s->freq * kMsecsPerSec;
    return msecs >= INT_MAX ? INT_MAX : static_cast<int>(msecs);
}

int almp3_get_pos_secs_mp3stream(Mp3Stream *s) { return almp3_get_pos_msecs_mp3stream(s) / kMsecsPerSec; }

int almp3_get_pos_bytes_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    return s->byte_pos;
}

int almp3_get_msecs_per_frame_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    return msecs_per_frame(*s);
}

int almp3_get_length_frames_mp3stream(Mp3Stream *s, int total_bytes) {
    std::lock_guard<std::mutex> guard(s->lock);
    return clamp_to_int(frames_in_source(*s, total_bytes));
}

int almp3_get_length_msecs_mp3stream(Mp3Stream *s, int total_bytes) {
    std::lock_guard<std::mutex> guard(s->lock);
    return clamp_to_int(frames_in_source(*s, total_bytes) * msecs_per_frame(*s));
}

int almp3_get_length_secs_mp3stream(Mp3Stream *s, int total_bytes) {
    std::lock_guard<std::mutex> guard(s->lock);
    return clamp_to_int(frames_in_source(*s, total_bytes) * msecs_per_frame(*s) / kMsecsPerSec);
}

int almp3_get_length_bytes_mp3stream(Mp3Stream *, int total_bytes) { return total_bytes; }

int almp3_seek_abs_frames_mp3stream(Mp3Stream *s, int frame, int total_bytes) {
    std::lock_guard<std::mutex> guard(s->lock);
    return seek_abs(*s, frame, total_bytes);
}

int almp3_seek_abs_msecs_mp3stream(Mp3Stream *s, int msecs, int total_bytes) {
    std::lock_guard<std::mutex> guard(s->lock);
    return seek_abs(*s, msecs_to_frames(*s, msecs), total_bytes);
}

int almp3_seek_abs_secs_mp3stream(Mp3Stream *s, int secs, int total_bytes) {
    std::lock_guard<std::mutex> guard(s->lock);
    return seek_abs(*s, msecs_to_frames(*s, int64_t{secs} * kMsecsPerSec), total_bytes);
}

int almp3_seek_abs_bytes_mp3stream(Mp3Stream *s, int bytes, int total_bytes) {
    std::lock_guard<std::mutex> guard(s->lock);
    return seek_byte(*s, bytes, total_bytes);
}

int almp3_seek_rel_frames_mp3stream(Mp3Stream *s, int frames, int total_bytes) {
    std::lock_guard<std::mutex> guard(s->lock);
    return seek_rel(*s, frames, total_bytes);
}

int almp3_seek_rel_msecs_mp3stream(Mp3Stream *s, int msecs, int total_bytes) {
    std::lock_guard<std::mutex> guard(s->lock);
    return seek_rel(*s, msecs_to_frames(*s, msecs), total_bytes);
}

int almp3_seek_rel_secs_mp3stream(Mp3Stream *s, int secs, int total_bytes) {
    std::lock_guard<std::mutex> guard(s->lock);
    return seek_rel(*s, msecs_to_frames(*s, int64_t{secs} * kMsecsPerSec), total_bytes);
}

int almp3_seek_rel_bytes_mp3stream(Mp3Stream *s, int bytes, int total_bytes) {
    std::lock_guard<std::mutex> guard(s->lock);
    return seek_byte(*s, int64_t{s->byte_pos} + bytes, total_bytes);
}

}  // extern "C"
