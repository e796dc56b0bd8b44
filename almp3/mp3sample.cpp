// Conversion of a whole in-memory object to a library sample: the object's
// own decoder writes straight into the sample's data, which is allocated
// once at its final size and written once.
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>

#include "mp3memory_record.h"

namespace almp3 {

namespace {

struct SampleDeleter {
    void operator()(SAMPLE *s) const { destroy_sample(s); }
};
using SamplePtr = std::unique_ptr<SAMPLE, SampleDeleter>;

void rewind_object(Mp3Memory &m) {
    m.read_pos = m.first_frame;
    m.frame_pos = 0;
}

// Decodes frames until the data ends or the sample is full (the header
// walk counted every frame, so it holds them all). Each
// frame is made unsigned as soon as it is written, while it is still in
// the cache. The written bytes are contiguous from the start: only the
// tail after them needs silence. Returns false when the data is damaged
// beyond repair.
bool decode_into(Mp3Memory &m, DecodeRun &run) {
    for (pass_gaps(m); !data_used_up(m) && run.total < run.capacity; pass_gaps(m)) {
        const int step_offset = read_offset(m);
        if (decode_at_read_pos(m, run) == kFrameBad && !resynchronise(m, step_offset, run)) return false;
        pcm_to_unsigned(run.base + run.total, run.out_count);
        run.total += run.out_count;
        advance_read_pos(m, run.in_count);
    }
    return true;
}

void fill_with_silence(unsigned char *from, int bytes) {
    std::memset(from, 0, static_cast<size_t>(bytes));
    pcm_to_unsigned(from, bytes);
}

}  // namespace

}  // namespace almp3

using namespace almp3;

SAMPLE *almp3_create_sample_from_mp3(Mp3Memory *mp3) {
    std::lock_guard<std::mutex> hold(mp3->lock);
    Mp3Memory &m = *mp3;
    const int64_t total = int64_t{m.frame_count} * m.pcm_per_frame;
    // No library sample can hold more bytes than an int counts; damaged data
    // cannot be converted whole.
    if (total > INT_MAX || m.damaged) return nullptr;
    const int bytes_per_sample_frame = (m.bits / 8) * (m.stereo ? 2 : 1);
    SamplePtr sample(create_sample(m.bits, m.stereo, m.freq, static_cast<int>(total / bytes_per_sample_frame)));
    if (!sample) return nullptr;

    stop_locked(m);
    rewind_object(m);
    restart_decoder(m);
    DecodeRun run{static_cast<unsigned char *>(sample->data), static_cast<int>(total), false};
    const bool whole = decode_into(m, run);
    // Whatever happened, the next start of playback begins afresh.
    rewind_object(m);
    m.restart_pending = ALMP3_TRUE;
    if (!whole) return nullptr;
    fill_with_silence(run.base + run.total, run.capacity - run.total);
    return sample.release();
}
