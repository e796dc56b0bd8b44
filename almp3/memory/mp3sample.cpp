// Conversion of a whole in-memory object to a library sample: the engine's
// decode step over the caller's data, each frame copied (made unsigned on
// the way) straight into the sample's data, which is allocated once at its
// final size.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>

#include "memory/mp3memory_record.h"

namespace almp3 {

namespace {

struct SampleDeleter {
    void operator()(SAMPLE *s) const { destroy_sample(s); }
};
using SamplePtr = std::unique_ptr<SAMPLE, SampleDeleter>;

// Decodes frames from the first one until the data ends or the sample is
// full (the header walk counted every frame, so it holds them all). Returns
// the bytes written, or -1 when the data is damaged beyond repair.
int64_t decode_into(Mp3Memory &m, unsigned char *out, int64_t capacity) {
    Source src;
    src.data = m.first_frame;
    src.end = m.audio_len;
    int64_t written = 0;
    while (written < capacity) {
        Pcm pcm;
        const Step r = m.engine.step.next(src, &pcm);
        if (r == Step::kDamaged) return -1;
        if (r == Step::kExhausted) break;
        const int n = static_cast<int>(std::min<int64_t>(pcm.bytes, capacity - written));
        copy_to_unsigned(out + written, pcm.data, n);
        written += n;
        ++m.frame_pos;
    }
    return written;
}

}  // namespace

}  // namespace almp3

using namespace almp3;

SAMPLE *almp3_create_sample_from_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    Mp3Memory &m = *mp3;
    const Format &f = m.engine.format;
    const int64_t total = int64_t{m.frame_count} * f.pcm_per_frame;
    // No library sample can hold more bytes than an int counts.
    if (total > INT_MAX) return nullptr;
    SamplePtr sample(create_sample(f.bits, flag(f.stereo), f.freq,
                                   static_cast<int>(total / f.bytes_per_sample_frame())));
    if (!sample) return nullptr;

    m.engine.output.stop();
    m.read_pos = m.frame_pos = 0;
    m.engine.step.restart();
    auto *data = static_cast<unsigned char *>(sample->data);
    // Damage the walk met lies past the frames it counted: the sample would
    // be full before the decoding reached it.
    const int64_t written = m.damaged ? -1 : decode_into(m, data, total);
    // Whatever happened, the next start of playback begins afresh.
    rewind_object(m);
    if (written < 0) return nullptr;
    fill_silence(data + written, static_cast<int>(total - written));
    return sample.release();
}
