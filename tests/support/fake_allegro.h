// A stand-in for Allegro's audio-stream, sample and timer functions, linked
// into the decoder-layer unit tests in place of the real library. The test
// decides when an audio-stream buffer is free and reads back every buffer the
// decoder hands over. Timers run on real threads, as Allegro's do.
#ifndef FAKE_ALLEGRO_H
#define FAKE_ALLEGRO_H

#include <allegro.h>

#include <cstdint>
#include <vector>

namespace fake_allegro {

constexpr int kUnlimited = -1;

// Forgets everything: no stream open, unlimited free buffers, nothing captured.
void reset();

// Whether handed-back buffers are kept for captured() (on after reset; the
// fuzz targets turn it off, as they read nothing back).
void set_capture(bool on);

// How many more times get_audio_stream_buffer hands out a buffer
// (kUnlimited: always).
void set_free_buffers(int count);

// Makes the next play_audio_stream calls fail (return null) or succeed.
void set_play_fails(bool fails);

// Every buffer handed back with free_audio_stream_buffer, in order, as the
// unsigned 16-bit bytes the decoder wrote.
const std::vector<unsigned char> &captured();
// The captured bytes turned back into signed samples.
std::vector<int16_t> captured_signed();
// Buffers handed back so far, and the byte size of one buffer.
int buffers_handed_back();
int buffer_bytes();
// Size of one handed-back buffer, and whether it was all silence.
bool buffer_was_silent(int index);

// Parameters of the last play_audio_stream call and adjust_sample call.
struct PlayCall { int len, bits, stereo, freq, vol, pan; };
struct AdjustCall { int vol, pan, freq, loop; };
PlayCall last_play();
AdjustCall last_adjust();
int adjust_calls();
int streams_open();

// Whether the open stream's voice runs (voice_stop halts it, voice_start and
// play_audio_stream start it). A halted voice frees no buffer.
bool voice_running();

// Number of param timers installed right now, and the period in
// milliseconds of the last one installed.
int timers_installed();
int last_timer_ms();

}  // namespace fake_allegro

#endif
