// Time of decoded sound: samples per channel divided by the sampling rate,
// computed exactly in 64-bit integers and truncated only at the end, so that
// lengths and positions of hours of sound stay exact to the millisecond.
#ifndef ALMP3_TIMING_H
#define ALMP3_TIMING_H

#include <cstdint>

namespace almp3 {

constexpr int64_t kMsecsPerSec = 1000;

// Milliseconds of frames frames of samples_per_frame samples at freq Hz.
inline int64_t frames_to_msecs(int64_t frames, int samples_per_frame, int freq) {
    return frames * samples_per_frame * kMsecsPerSec / freq;
}

// The frame that is playing msecs milliseconds in.
inline int64_t msecs_to_frames(int64_t msecs, int samples_per_frame, int freq) {
    return msecs * freq / (kMsecsPerSec * samples_per_frame);
}

// One frame's duration in whole milliseconds, truncated (26 at 44100 Hz and
// 1152 samples); only for the public getters that report it as an int.
// A 64-bit count as the int of the C interface, saturated.
inline int clamp_to_int(int64_t v) {
    constexpr int64_t kIntMax = 2147483647;
    return static_cast<int>(v > kIntMax ? kIntMax : (v < -kIntMax - 1 ? -kIntMax - 1 : v));
}

inline int whole_msecs_per_frame(int samples_per_frame, int freq) {
    return static_cast<int>(int64_t{samples_per_frame} * kMsecsPerSec / freq);
}

}  // namespace almp3

#endif
