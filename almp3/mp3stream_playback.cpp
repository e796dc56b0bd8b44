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
    s->paused = ALMP3_FALSE;
}

}  // namespace almp3

using namespace almp3;

extern "C" {

int almp3_play_ex_mp3stream(Mp3Stream *s, int buffer_len, int vol, int pan, int speed) {
    std::lock_guard<std::mutex> guard(s->lock);
    if (s->stream) return ALMP3_PLAY_OK;
    const int frames = buffer_len / s->pcm_per_frame;
    if (frames <= 0) return ALMP3_PLAY_BUFFER_TOO_SMALL;
    s->frames_per_buffer = frames;

    const int channels = s->stereo ? 2 : 1;
    const int samples = frames * s->pcm_per_frame / channels / (s->bits / 8);
    s->stream = play_audio_stream(samples, s->bits, s->stereo, s->freq, vol, pan);
    if (!s->stream) return ALMP3_PLAY_OK;
    s->end_countdown = 0;
    s->end_result = ALMP3_POLL_FINISHED;
    s->buffer_written = 0;
    if (speed != kNormalSpeed) adjust_sample(s->stream->samp, vol, pan, speed, TRUE);
    if (s->autopoll_on) install_timer_locked(s);
    return ALMP3_PLAY_OK;
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
    s->paused = ALMP3_TRUE;
}

void almp3_resume_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    if (!s->stream || !s->paused) return;
    voice_start(s->stream->voice);
    s->paused = ALMP3_FALSE;
}

int almp3_is_playing_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    return s->stream ? ALMP3_TRUE : ALMP3_FALSE;
}

void almp3_start_autopoll_mp3stream(Mp3Stream *s, int ms) {
    std::lock_guard<std::mutex> guard(s->lock);
    if (s->autopoll_on) return;
    s->autopoll_on = ALMP3_TRUE;
    s->autopoll_ms = ms;
    if (s->stream) install_timer_locked(s);
}

void almp3_stop_autopoll_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    if (!s->autopoll_on) return;
    s->autopoll_on = ALMP3_FALSE;
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
