// Starting, stopping and adjusting playback of the in-memory object, its
// polling timer, and the queries about its audio stream.
#include "mp3memory_record.h"

namespace almp3 {

namespace {

constexpr int kNormalSpeed = 1000;

using Hold = std::lock_guard<std::mutex>;

}  // namespace

void stop_locked(Mp3Memory &m) {
    if (!m.stream) return;
    if (m.autopoll_on) remove_param_int(almp3_autopoll_mp3, &m);
    stop_audio_stream(m.stream);
    m.stream = nullptr;
}

}  // namespace almp3

using namespace almp3;

int almp3_play_ex_mp3(Mp3Memory *mp3, int buffer_len, int vol, int pan, int speed, int loop) {
    Hold hold(mp3->lock);
    if (mp3->stream) return ALMP3_PLAY_OK;
    const int frames = buffer_len / mp3->pcm_per_frame;
    if (frames <= 0) return ALMP3_PLAY_BUFFER_TOO_SMALL;
    mp3->frames_per_buffer = frames;
    const int bytes_per_sample_frame = (mp3->bits / 8) * (mp3->stereo ? 2 : 1);
    const int samples = frames * mp3->pcm_per_frame / bytes_per_sample_frame;
    mp3->stream = play_audio_stream(samples, mp3->bits, mp3->stereo, mp3->freq, vol, pan);
    // No audio stream: the object stays idle; this is not reported.
    if (!mp3->stream) return ALMP3_PLAY_OK;
    if (speed != kNormalSpeed) adjust_sample(mp3->stream->samp, vol, pan, speed, TRUE);
    mp3->end_countdown = 0;
    mp3->looping = loop;
    if (mp3->autopoll_on) install_param_int(almp3_autopoll_mp3, mp3, mp3->autopoll_ms);
    return ALMP3_PLAY_OK;
}

int almp3_play_mp3(Mp3Memory *mp3, int buffer_len, int vol, int pan) {
    return almp3_play_ex_mp3(mp3, buffer_len, vol, pan, kNormalSpeed, 0);
}

void almp3_stop_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->lock);
    stop_locked(*mp3);
}

void almp3_adjust_mp3(Mp3Memory *mp3, int vol, int pan, int speed, int loop) {
    Hold hold(mp3->lock);
    if (!mp3->stream) return;
    adjust_sample(mp3->stream->samp, vol, pan, speed, TRUE);
    mp3->looping = loop;
}

void almp3_start_autopoll_mp3(Mp3Memory *mp3, int msecs) {
    Hold hold(mp3->lock);
    if (mp3->autopoll_on) return;
    mp3->autopoll_on = ALMP3_TRUE;
    mp3->autopoll_ms = msecs;
    if (mp3->stream) install_param_int(almp3_autopoll_mp3, mp3, msecs);
}

void almp3_stop_autopoll_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->lock);
    if (!mp3->autopoll_on) return;
    mp3->autopoll_on = ALMP3_FALSE;
    if (mp3->stream) remove_param_int(almp3_autopoll_mp3, mp3);
}

int almp3_is_playing_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->lock);
    return mp3->stream ? ALMP3_TRUE : ALMP3_FALSE;
}

int almp3_is_looping_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->lock);
    return mp3->stream ? mp3->looping : 0;
}

void almp3_set_loop_mp3(Mp3Memory *mp3, int loop) {
    Hold hold(mp3->lock);
    if (mp3->stream) mp3->looping = loop;
}

AUDIOSTREAM *almp3_get_audiostream_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->lock);
    return mp3->stream;
}

void *almp3_get_output_wave_mp3(Mp3Memory *mp3, int *size_out) {
    Hold hold(mp3->lock);
    if (!mp3->stream) return nullptr;
    if (size_out) *size_out = mp3->frames_per_buffer * mp3->pcm_per_frame;
    return mp3->stream->samp->data;
}
