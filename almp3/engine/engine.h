// What every decoder object is made of: its lock, its output format, its
// decode step and its sound output; and the translation of the engine's
// results into the numbers of the C interface.
#ifndef ALMP3_ENGINE_H
#define ALMP3_ENGINE_H

#include <mutex>

#include "almp3.h"
#include "engine/decode_step.h"
#include "engine/first_frame.h"
#include "engine/output.h"

namespace almp3 {

struct Engine {
    Engine(Output::Timer timer, void *owner) : output(timer, owner) {}

    // Serialises the caller's calls with the autopoll timer's polls. Public
    // calls hold it; the timer callback only tries it and skips a busy tick.
    std::mutex lock;
    Format format;  // fixed at creation: read without the lock
    DecodeStep step;
    Output output;
};

using Hold = std::lock_guard<std::mutex>;

inline int poll_code(PollResult r) {
    switch (r) {
    case PollResult::kOk: return ALMP3_POLL_OK;
    case PollResult::kFinished: return ALMP3_POLL_FINISHED;
    case PollResult::kNotPlaying: return ALMP3_POLL_NOT_PLAYING;
    case PollResult::kDamaged: return ALMP3_POLL_DAMAGED;
    case PollResult::kStarved: return ALMP3_POLL_STARVED;
    }
    return ALMP3_POLL_NOT_PLAYING;
}

inline int play_code(PlayResult r) {
    return r == PlayResult::kOk ? ALMP3_PLAY_OK : ALMP3_PLAY_BUFFER_TOO_SMALL;
}

inline int flag(bool b) { return b ? ALMP3_TRUE : ALMP3_FALSE; }

// The autopoll timer's poll of an object: a tick that finds the object busy
// (the caller feeding, stopping or destroying it) is skipped.
template <class Object, class PollFn>
void poll_from_timer(Object *object, PollFn poll_locked) {
    std::unique_lock<std::mutex> hold(object->engine.lock, std::try_to_lock);
    if (hold.owns_lock()) poll_locked(*object);
}

}  // namespace almp3

#endif
