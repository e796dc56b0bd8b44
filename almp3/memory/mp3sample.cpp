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

// Decodes the timeline from its first sample until the data ends or the
// sample is full. Returns the bytes written, or -1 when the data is damaged
// beyond repair.
int64_t decode_into(Mp3Memory &m, unsigned char *out, int64_t capacity) {
    Source src;
    src.data = m.first_frame;
    src.end = m.audio_len;
    src.pos = m.read_pos;
    const int bytes_per_sample_frame = m.engine.format.bytes_per_sample_frame();
    const int64_t stop = m.timeline.to_decoded(m.timeline.length());
    int64_t written = 0;
    while (written < capacity) {
        Pcm pcm;
        const Step r = m.engine.step.next(src, &pcm);
        if (r == Step::kDamaged) return -1;
        if (r == Step::kExhausted) break;
        const int64_t first = int64_t{m.frame_pos} * m.timeline.samples_per_frame;
        ++m.frame_pos;
        const Pcm sound = m.timeline.sound(pcm, first, m.play_from, stop, bytes_per_sample_frame);
        const int n = static_cast<int>(std::min<int64_t>(sound.bytes, capacity - written));
        copy_to_unsigned(out + written, sound.data, n);
        written += n;
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
    const int64_t total = m.timeline.length() * f.bytes_per_sample_frame();
    // No library sample can hold more bytes than an int counts.
    if (total > INT_MAX) return nullptr;
    SamplePtr sample(create_sample(f.bits, flag(f.stereo), f.freq, static_cast<int>(m.timeline.length())));
    if (!sample) return nullptr;

    m.engine.output.stop();
    move_to_sample(m, 0);
    restart_core(m);
    auto *data = static_cast<unsigned char *>(sample->data);
    // Damage the walk met lies past the frames it counted: the sample would
    // be full before the decoding reached it.
    const int64_t written = m.damaged ? -1 : decode_into(m, data, total);
    // Whatever happened, the next start of playback begins afresh.
    rewind_object(m);
    if (written < 0) return nullptr;
    fill_silence(data + written, static_cast<int>(total - written));
    // Allegro loops a sample over [loop_start, loop_end).
    sample->loop_start = static_cast<unsigned long>(m.loop_start);
    sample->loop_end = static_cast<unsigned long>(m.loop_end);
    return sample.release();
}
