// Starting, stopping and adjusting the streaming object's audio output, and
// the autopoll timer that can poll it from Allegro's timer thread.
#include "mp3stream_record.h"

namespace almp3 {

namespace {

constexpr int kNormalSpeed = 1000;

void install_timer_locked(Mp3Stream *s) {
    install_param_int(almp3_autopoll_mp3stream, s, s->autopoll_ms);
}

}  // namespace

void stream_stop_locked(Mp3Stream *s) {
    if (!s->stream) return;
    // The timer callback only try-locks the object, so removing the timer
    // while holding the lock cannot wait on a callback that waits on us.
    if (s->autopoll_on) remove_param_int(almp3_autopoll_mp3stream, s);
    stop_audio_stream(s->stream);
    s->stream = nullptr;
    s->paused = kFlagFalse;
}

}  // namespace almp3

using namespace almp3;

extern "C" {

int almp3_play_ex_mp3stream(Mp3Stream *s, int buffer_len, int vol, int pan, int speed) {
    std::lock_guard<std::mutex> guard(s->lock);
    if (s->stream) return 0;
    const int frames = buffer_len / s->pcm_per_frame;
    if (frames <= 0) return -1;
    s->frames_per_buffer = frames;

    const int channels = s->stereo ? 2 : 1;
    const int samples = frames * s->pcm_per_frame / channels / (s->bits / 8);
    s->stream = play_audio_stream(samples, s->bits, s->stereo, s->freq, vol, pan);
    if (!s->stream) return 0;
    s->end_countdown = 0;
    s->end_result = 1;
    s->buffer_written = 0;
    if (speed != kNormalSpeed) adjust_sample(s->stream->samp, vol, pan, speed, TRUE);
    if (s->autopoll_on) install_timer_locked(s);
    return 0;
}

int almp3_play_mp3stream(Mp3Stream *s, int buffer_len, int vol, int pan) {
    return almp3_play_ex_mp3stream(s, buffer_len, vol, pan, kNormalSpeed);
}

void almp3_stop_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    stream_stop_locked(s);
}

void almp3_adjust_mp3stream(Mp3Stream *s, int vol, int pan, int speed) {
    std::lock_guard<std::mutex> guard(s->lock);
    if (s->stream) adjust_sample(s->stream->samp, vol, pan, speed, TRUE);
}

void almp3_pause_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    if (!s->stream || s->paused) return;
    // Only the voice halts: the decoded sound queued in the audio stream's
    // buffers stays where it is and is heard first on resume.
    voice_stop(s->stream->voice);
    s->paused = kFlagTrue;
}

void almp3_resume_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    if (!s->stream || !s->paused) return;
    voice_start(s->stream->voice);
    s->paused = kFlagFalse;
}

int almp3_is_playing_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    return s->stream ? kFlagTrue : kFlagFalse;
}

void almp3_start_autopoll_mp3stream(Mp3Stream *s, int ms) {
    std::lock_guard<std::mutex> guard(s->lock);
    if (s->autopoll_on) return;
    s->autopoll_on = kFlagTrue;
    s->autopoll_ms = ms;
    if (s->stream) install_timer_locked(s);
}

void almp3_stop_autopoll_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    if (!s->autopoll_on) return;
    s->autopoll_on = kFlagFalse;
    if (s->stream) remove_param_int(almp3_autopoll_mp3stream, s);
}

void almp3_autopoll_mp3stream(void *param) {
    auto *s = static_cast<Mp3Stream *>(param);
    // A tick that finds the object busy (the caller feeding, stopping or
    // destroying it) is skipped; the next tick polls.
    std::unique_lock<std::mutex> guard(s->lock, std::try_to_lock);
    if (guard.owns_lock()) stream_poll_locked(s);
}

}  // extern "C"
