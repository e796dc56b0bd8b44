// The timeline of the sound both objects play, as mpg123 decodes a file by
// default: the Info/Xing frame is no audio, and when its header counts the
// frames (or its LAME tag gives the encoder's delay and padding), the delay
// of the decoder itself is trimmed at the start, with the encoder's delay,
// and the padding at the end. Audio frame f then starts at timeline sample
// max(0, f x samples per frame - begin).
#ifndef ALMP3_TIMELINE_H
#define ALMP3_TIMELINE_H

#include <algorithm>
#include <cstdint>
#include <optional>

#include "engine/decoder_core.h"
#include "format/xing.h"

namespace almp3 {

// Samples of delay that mpg123's synthesis adds, trimmed with the encoder's.
constexpr int kDecoderDelay = 529;

struct Timeline {
    int samples_per_frame = 0;
    // Decoded samples (counted from the first audio frame) before timeline
    // sample 0, and the decoded sample where the sound ends; -1 unknown.
    int64_t begin = 0;
    int64_t end = -1;

    bool known_length() const { return end >= 0; }
    int64_t length() const { return std::max<int64_t>(0, end - begin); }
    // Timeline sample of the start of audio frame f.
    int64_t frame_start(int64_t f) const { return std::max<int64_t>(0, f * samples_per_frame - begin); }
    // The audio frame that holds timeline sample t.
    int64_t frame_of(int64_t t) const { return (t + begin) / samples_per_frame; }
};

// The timeline of audio_frames frames (-1: unknown) behind a first frame
// that carried xing (if any).
inline Timeline make_timeline(const std::optional<XingInfo> &xing, int samples_per_frame, int64_t audio_frames) {
    Timeline t;
    t.samples_per_frame = samples_per_frame;
    const int64_t decoded = audio_frames * samples_per_frame;
    // mpg123 trims once the header counts the frames or a LAME tag gives the
    // encoder's delay and padding (without one, both are 0).
    if (xing && (xing->has_lame || (xing->flags & kXingFrames))) {
        const int delay = xing->has_lame ? xing->encoder_delay : 0;
        const int padding = xing->has_lame ? xing->encoder_padding : 0;
        t.begin = int64_t{delay} + kDecoderDelay;
        if (audio_frames >= 0) t.end = std::min(decoded, decoded - padding + kDecoderDelay);
    } else if (audio_frames >= 0) {
        t.end = decoded;
    }
    return t;
}

// The part of a frame's PCM, whose first sample is decoded sample first,
// that lies in [from, to) (to < 0: no end).
inline Pcm cut_pcm(const Pcm &pcm, int64_t first, int64_t from, int64_t to, int bytes_per_sample_frame) {
    const int64_t samples = pcm.bytes / bytes_per_sample_frame;
    const int64_t head = std::clamp<int64_t>(from - first, 0, samples);
    const int64_t tail = to < 0 ? samples : std::clamp<int64_t>(to - first, head, samples);
    return Pcm{pcm.data + head * bytes_per_sample_frame, static_cast<int>((tail - head) * bytes_per_sample_frame)};
}

}  // namespace almp3

#endif
