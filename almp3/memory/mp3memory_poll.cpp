// The in-memory object's poll: the engine's decode step over the caller's
// data, one audio-stream buffer per poll, each frame's sound cut to the
// timeline. At the end of the sound (or of the loop region, when looping)
// it goes back to the loop's start, exactly, or ends with the silent tail.
#include "memory/mp3memory_record.h"

namespace almp3 {

namespace {

// The decoded sample where the sound stops: the loop's end while looping,
// else the end of the timeline. Damage the walk met hides the frames after
// it: the sound then goes on until the damage stops it.
int64_t stop_sample(const Mp3Memory &m) {
    if (m.damaged) return INT64_MAX;
    return m.timeline.to_decoded(m.looping ? m.loop_end : m.timeline.length());
}

bool past_stop(const Mp3Memory &m) {
    return int64_t{m.frame_pos} * m.timeline.samples_per_frame >= stop_sample(m);
}

// All bytes fed and none held: the data ended with the frames just decoded.
bool used_up(const Mp3Memory &m) {
    return m.read_pos >= m.audio_len && !m.engine.step.holds_input();
}

FillEnd ended(Mp3Memory &m) {
    rewind_object(m);
    return FillEnd::kEnded;
}

// Back to the loop's start within the poll, with a fresh core: the sound
// before the seam is already in the buffer or kept for the next one.
void wrap(Mp3Memory &m, Source &src) {
    go_to_sample(m, m.loop_start);
    restart_core(m);
    src.pos = m.read_pos;
}

FillEnd fill(Mp3Memory &m) {
    Engine &e = m.engine;
    if (m.restart_pending) {
        restart_core(m);
        e.output.drop_pending();
    }
    Source src;
    src.data = m.first_frame;
    src.end = m.audio_len;
    src.pos = m.read_pos;
    const int bytes_per_sample_frame = e.format.bytes_per_sample_frame();
    // A wrap that yields no sound before the end comes again would go round
    // for ever: the sound then simply ends.
    bool sound_since_wrap = true;
    while (!e.output.full()) {
        if (past_stop(m)) {
            if (!m.looping || !sound_since_wrap) return ended(m);
            wrap(m, src);
            sound_since_wrap = false;
            continue;
        }
        Pcm pcm;
        const Step r = e.step.next(src, &pcm);
        m.read_pos = static_cast<int>(src.pos);
        if (r == Step::kDamaged) {
            rewind_object(m);
            return FillEnd::kDamaged;
        }
        if (r == Step::kExhausted) {
            // The data ends before the timeline does (damage cost frames).
            e.step.data_ended();
            if (!m.looping || !sound_since_wrap) return ended(m);
            wrap(m, src);
            sound_since_wrap = false;
            continue;
        }
        const int64_t first = int64_t{m.frame_pos} * m.timeline.samples_per_frame;
        ++m.frame_pos;
        const Pcm sound = m.timeline.sound(pcm, first, m.play_from, stop_sample(m), bytes_per_sample_frame);
        if (sound.bytes > 0) {
            e.output.put(sound);
            sound_since_wrap = true;
        }
    }
    if (!m.looping && (past_stop(m) || used_up(m))) return ended(m);
    return FillEnd::kFull;
}

int poll_locked(Mp3Memory &m) {
    // Looping turned on while ending skips the tail of a normal end: the
    // pending restart starts the sound again.
    return poll_code(m.engine.output.poll([&m] { return fill(m); }, !m.looping));
}

}  // namespace

}  // namespace almp3

using namespace almp3;

int almp3_poll_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    return poll_locked(*mp3);
}

void almp3_autopoll_mp3(void *mp3) { poll_from_timer(static_cast<Mp3Memory *>(mp3), poll_locked); }
