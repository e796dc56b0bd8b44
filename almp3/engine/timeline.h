// The timeline of the sound both objects play, as mpg123 decodes a file by
// default: the Info/Xing frame is no audio, and when its header counts the
// frames (or its LAME tag gives the encoder's delay and padding), the delay
// of the decoder itself is trimmed at the start, with the encoder's delay,
// and the padding at the end. Audio frame f then starts at timeline sample
// max(0, f x samples per frame - begin), until the padding.
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
    // In decoded samples, counted from the first audio frame: those before
    // timeline sample 0; the padding trimmed, [cut_from, cut_to), at the end
    // of the frames the header counts (-1: none); and the end of the sound
    // (-1: unknown). In two songs joined into one, the second plays whole
    // after the first song's padding is cut, as mpg123 plays it.
    int64_t begin = 0;
    int64_t cut_from = -1;
    int64_t cut_to = -1;
    int64_t end = -1;

    int64_t cut() const { return cut_from < 0 ? 0 : cut_to - cut_from; }
    int64_t length() const { return std::max<int64_t>(0, end - begin - cut()); }
    // Decoded sample of timeline sample t, and back.
    int64_t to_decoded(int64_t t) const {
        const int64_t d = t + begin;
        return cut_from >= 0 && d >= cut_from ? d + cut() : d;
    }
    int64_t to_timeline(int64_t d) const {
        if (cut_from >= 0 && d >= cut_from) d = d < cut_to ? cut_from : d - cut();
        return std::max<int64_t>(0, d - begin);
    }
    // Timeline sample of the start of audio frame f.
    int64_t frame_start(int64_t f) const { return to_timeline(f * samples_per_frame); }
    // The audio frame that holds timeline sample t.
    int64_t frame_of(int64_t t) const { return to_decoded(t) / samples_per_frame; }
    // The part of a frame's PCM, whose first sample is decoded sample first,
    // that is sound of the timeline in [from, to) (decoded; to < 0: no end).
    Pcm sound(const Pcm &pcm, int64_t first, int64_t from, int64_t to, int bytes_per_sample_frame) const;
};

// The timeline of audio_frames frames (-1: unknown) behind a first frame
// that carried xing (if any).
inline Timeline make_timeline(const std::optional<XingInfo> &xing, int samples_per_frame, int64_t audio_frames) {
    Timeline t;
    t.samples_per_frame = samples_per_frame;
    if (audio_frames >= 0) t.end = audio_frames * samples_per_frame;
    // mpg123 trims once the header counts the frames or a LAME tag gives the
    // encoder's delay and padding (without one, both are 0).
    if (!xing || !(xing->has_lame || (xing->flags & kXingFrames))) return t;
    const int delay = xing->has_lame ? xing->encoder_delay : 0;
    const int padding = xing->has_lame ? xing->encoder_padding : 0;
    t.begin = int64_t{delay} + kDecoderDelay;
    if (!(xing->flags & kXingFrames)) return t;
    // The padding lies at the end of the frames the header counts; data cut
    // short before them never reaches it.
    if (audio_frames >= 0 && audio_frames < xing->frames) return t;
    t.cut_to = int64_t{xing->frames} * samples_per_frame;
    t.cut_from = std::min(t.cut_to, t.cut_to - padding + kDecoderDelay);
    return t;
}

// The part of pcm, whose first sample is decoded sample first, that lies in
// [from, to) (to < 0: no end).
inline Pcm cut_pcm(const Pcm &pcm, int64_t first, int64_t from, int64_t to, int bytes_per_sample_frame) {
    const int64_t samples = pcm.bytes / bytes_per_sample_frame;
    const int64_t head = std::clamp<int64_t>(from - first, 0, samples);
    const int64_t tail = to < 0 ? samples : std::clamp<int64_t>(to - first, head, samples);
    return Pcm{pcm.data + head * bytes_per_sample_frame, static_cast<int>((tail - head) * bytes_per_sample_frame)};
}

inline Pcm Timeline::sound(const Pcm &pcm, int64_t first, int64_t from, int64_t to, int bytes_per_sample_frame) const {
    // The cut starts inside the last frames the header counts and ends on a
    // frame boundary, so a frame before it is cut at cut_from.
    if (cut_from >= 0 && first < cut_to) to = to < 0 ? cut_from : std::min(to, cut_from);
    return cut_pcm(pcm, first, from, to, bytes_per_sample_frame);
}

}  // namespace almp3

#endif
