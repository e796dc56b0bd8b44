// The in-memory object's poll: the engine's decode step over the caller's
// data, one audio-stream buffer per poll; at the data's end it wraps to the
// first frame (looping) or ends with the silent tail.
#include "memory/mp3memory_record.h"

namespace almp3 {

namespace {

Source data_source(const Mp3Memory &m) {
    Source src;
    src.data = m.first_frame;
    src.end = m.audio_len;
    src.pos = m.read_pos;
    return src;
}

// All bytes fed and none held: the data ended with the frames just decoded.
bool used_up(const Mp3Memory &m, const Source &src) {
    return src.pos >= src.end && !m.engine.step.holds_input();
}

FillEnd fill(Mp3Memory &m) {
    Engine &e = m.engine;
    if (m.restart_pending) {
        e.step.restart();
        e.output.drop_pending();
        m.restart_pending = false;
    }
    Source src = data_source(m);
    // A wrap that yields no frame before the data ends again would go round
    // for ever: the data then simply ends.
    bool frame_since_wrap = true;
    while (!e.output.full()) {
        Pcm pcm;
        const Step r = e.step.next(src, &pcm);
        m.read_pos = static_cast<int>(src.pos);
        if (r == Step::kFrame) {
            ++m.frame_pos;
            frame_since_wrap = true;
            e.output.put(pcm);
            continue;
        }
        if (r == Step::kDamaged) {
            rewind_object(m);
            return FillEnd::kDamaged;
        }
        e.step.data_ended();
        if (!m.looping || !frame_since_wrap) {
            rewind_object(m);
            return FillEnd::kEnded;
        }
        // The core carries on across the wrap.
        src.pos = m.read_pos = m.frame_pos = 0;
        frame_since_wrap = false;
    }
    if (!m.looping && used_up(m, src)) {
        rewind_object(m);
        return FillEnd::kEnded;
    }
    return FillEnd::kFull;
}

int poll_locked(Mp3Memory &m) {
    // Looping turned on while ending skips the tail of a normal end: the
    // pending restart starts the data again.
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
