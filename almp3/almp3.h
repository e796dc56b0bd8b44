/*
 * almp3.h - MP3/MP2 decoding for Allegro 4 programs.
 *
 * Two decoder objects play MPEG-1, MPEG-2 and MPEG-2.5 audio, Layer II and
 * Layer III, through a library audio stream:
 *
 *   ALMP3_MP3STREAM (Mp3Stream)  the caller hands the file over block by block,
 *                                so it is never held whole (a player reading
 *                                from disk uses this one);
 *   ALMP3_MP3 (Mp3Memory)        the caller holds the whole file in memory; it
 *                                can loop, rewind, seek and convert the file to
 *                                a library SAMPLE.
 *
 * Conventions
 *   - Every function takes the object pointer first.
 *   - Flags returned by the layer are -1 for true and 0 for false.
 *   - Creation returns NULL on any failure, with everything it took released.
 *   - The layer shows no messages and writes nothing to the console.
 *   - PCM is 16-bit. The decoder produces signed samples; what is handed to
 *     the library (audio-stream buffers, samples) is unsigned (top bit
 *     flipped), as Allegro expects.
 *   - vol and pan are 0..255 (pan 128 is the centre); speed is the playback
 *     frequency in thousandths of normal (1000 = normal).
 *
 * Threads
 *   Every function runs on the caller's thread. The only exception is the
 *   autopoll timer (almp3_start_autopoll_*), whose callback polls the object
 *   from Allegro's timer thread. Each object carries its own lock, so the
 *   timer's poll and the caller's calls on the same object never overlap; a
 *   timer tick that finds the object busy is skipped. Creation and
 *   destruction must not race with other calls on the same object.
 *
 * The functions have C linkage: C and C++ programs link libalmp3.a together
 * with Allegro 4 and libmpg123.
 */
#ifndef ALMP3_H
#define ALMP3_H

#include <allegro.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct Mp3Stream Mp3Stream;
typedef struct Mp3Memory Mp3Memory;
typedef Mp3Stream ALMP3_MP3STREAM;
typedef Mp3Memory ALMP3_MP3;

/* ------------------------------------------------------------------------ */
/* Streaming object                                                          */
/* ------------------------------------------------------------------------ */

/*
 * Creates a stream from the first block of an MPEG audio file.
 *   data     the first block; it is copied, the caller may reuse it at once.
 *   len      its length in bytes; every later block must have this length.
 *   is_last  non-zero when this block is the whole file (no block follows).
 * The first frame is searched for in the first min(len, 28672) bytes (an
 * ID3v2 tag in front is passed over by the search). Returns NULL when no
 * Layer II/III frame is found there, when len <= 0, or out of memory.
 * The caller owns the object and releases it with almp3_destroy_mp3stream.
 */
Mp3Stream *almp3_create_mp3stream(const void *data, int len, int is_last);

/* Stops playback if needed and frees the object. NULL is allowed. */
void almp3_destroy_mp3stream(Mp3Stream *s);

/*
 * Starts playback through a new audio stream, from the stream's current
 * place. buffer_len is the PCM bytes wanted per audio-stream buffer; it is
 * rounded down to whole decoded frames. Returns -1 when buffer_len is
 * smaller than one frame's PCM (nothing started), else 0 (also when already
 * playing, which changes nothing, and when the library cannot open an audio
 * stream, which leaves the object not playing).
 */
int almp3_play_ex_mp3stream(Mp3Stream *s, int buffer_len, int vol, int pan, int speed);
/* As almp3_play_ex_mp3stream with speed 1000. */
int almp3_play_mp3stream(Mp3Stream *s, int buffer_len, int vol, int pan);
/* Stops the audio output; the place in the data is kept for the next play. */
void almp3_stop_mp3stream(Mp3Stream *s);
/* Changes volume, panning and speed of a playing stream; otherwise nothing. */
void almp3_adjust_mp3stream(Mp3Stream *s, int vol, int pan, int speed);
/* -1 while the object has an audio stream (is playing), else 0. */
int almp3_is_playing_mp3stream(Mp3Stream *s);

/*
 * Fills the next free audio-stream buffer, if one is free.
 * Returns  0  normal (a buffer was filled, none was free, or ending under way)
 *          1  finished: two silent buffers followed the data; stopped
 *         -1  not playing
 *         -2  damaged data: no frame found within 16384 bytes; stopped
 *         -3  the data ran out before the final block was handed over; stopped
 */
int almp3_poll_mp3stream(Mp3Stream *s);

/*
 * Feeding. When the stream wants the next block, almp3_get_mp3stream_buffer
 * lends a buffer of the block length (else it returns NULL, and always NULL
 * once the final block was given). The caller fills it and gives it back:
 *   count -1       a whole block; more blocks follow;
 *   count 0..len   the final block, holding count bytes (larger counts are
 *                  taken as len, other negative counts as 0).
 * Giving back when no buffer was lent is ignored.
 */
void *almp3_get_mp3stream_buffer(Mp3Stream *s);
void almp3_free_mp3stream_buffer(Mp3Stream *s, int count);

/*
 * Autopoll: an Allegro timer polls the object every ms milliseconds while it
 * plays (the timer follows play and stop). A second start changes nothing.
 * almp3_autopoll_mp3stream is the timer callback; its argument is the object.
 */
void almp3_start_autopoll_mp3stream(Mp3Stream *s, int ms);
void almp3_stop_autopoll_mp3stream(Mp3Stream *s);
void almp3_autopoll_mp3stream(void *s);

/* Parameters of the first frame. */
int almp3_get_bitrate_mp3stream(Mp3Stream *s);        /* bits per second */
int almp3_get_layer_mp3stream(Mp3Stream *s);          /* 2 or 3 */
int almp3_get_wave_bits_mp3stream(Mp3Stream *s);      /* 16 */
int almp3_get_wave_is_stereo_mp3stream(Mp3Stream *s); /* -1 or 0 */
int almp3_get_wave_freq_mp3stream(Mp3Stream *s);      /* Hz */

/* The audio stream while playing, else NULL. Owned by the object. */
AUDIOSTREAM *almp3_get_audiostream_mp3stream(Mp3Stream *s);
/*
 * While playing: the data of the audio stream's sample, with the byte size of
 * one audio-stream buffer stored in *size. Not playing: NULL, *size untouched.
 */
void *almp3_get_output_wave_mp3stream(Mp3Stream *s, int *size);

/*
 * Positions count decoded frames (they run ahead of what is heard by what
 * the audio stream holds). Lengths and seeks need the size of the whole
 * source in bytes (total_bytes), tags included. A seek returns the source
 * offset at which the data for the wanted place begins, or -1 when the place
 * lies outside the source; it does not move the object.
 */
int almp3_get_pos_frames_mp3stream(Mp3Stream *s);
int almp3_get_pos_msecs_mp3stream(Mp3Stream *s);
int almp3_get_pos_secs_mp3stream(Mp3Stream *s);
int almp3_get_pos_bytes_mp3stream(Mp3Stream *s);
int almp3_get_msecs_per_frame_mp3stream(Mp3Stream *s);
int almp3_get_length_frames_mp3stream(Mp3Stream *s, int total_bytes);
int almp3_get_length_msecs_mp3stream(Mp3Stream *s, int total_bytes);
int almp3_get_length_secs_mp3stream(Mp3Stream *s, int total_bytes);
int almp3_get_length_bytes_mp3stream(Mp3Stream *s, int total_bytes);
int almp3_seek_abs_frames_mp3stream(Mp3Stream *s, int frame, int total_bytes);
int almp3_seek_abs_msecs_mp3stream(Mp3Stream *s, int msecs, int total_bytes);
int almp3_seek_abs_secs_mp3stream(Mp3Stream *s, int secs, int total_bytes);
int almp3_seek_abs_bytes_mp3stream(Mp3Stream *s, int bytes, int total_bytes);
int almp3_seek_rel_frames_mp3stream(Mp3Stream *s, int frames, int total_bytes);
int almp3_seek_rel_msecs_mp3stream(Mp3Stream *s, int msecs, int total_bytes);
int almp3_seek_rel_secs_mp3stream(Mp3Stream *s, int secs, int total_bytes);
int almp3_seek_rel_bytes_mp3stream(Mp3Stream *s, int bytes, int total_bytes);

/* ------------------------------------------------------------------------ */
/* In-memory object                                                          */
/* ------------------------------------------------------------------------ */

/*
 * Creates an object over a whole file held by the caller. The data is not
 * copied: it must stay in place, unchanged, until the object is destroyed.
 * A trailing 128-byte "TAG" block and a leading ID3v2 tag are set aside;
 * the first frame must lie within the first 28672 bytes after the tag.
 * Returns NULL on failure.
 */
Mp3Memory *almp3_create_mp3(const void *data, int data_len);
/* Stops playback if needed and frees the object (not the data). NULL ok. */
void almp3_destroy_mp3(Mp3Memory *mp3);

/* As the streaming object; loop non-zero wraps to the start at the end. */
int almp3_play_ex_mp3(Mp3Memory *mp3, int buffer_len, int vol, int pan, int speed, int loop);
int almp3_play_mp3(Mp3Memory *mp3, int buffer_len, int vol, int pan);
void almp3_stop_mp3(Mp3Memory *mp3);
void almp3_adjust_mp3(Mp3Memory *mp3, int vol, int pan, int speed, int loop);

/*
 * Returns 0 normal (or no free buffer), 1 finished (not looping: two silent
 * buffers followed the data; stopped and rewound), -1 not playing,
 * -2 damaged beyond repair (stopped and rewound).
 */
int almp3_poll_mp3(Mp3Memory *mp3);
void almp3_start_autopoll_mp3(Mp3Memory *mp3, int msecs);
void almp3_stop_autopoll_mp3(Mp3Memory *mp3);
void almp3_autopoll_mp3(void *mp3);

int almp3_is_playing_mp3(Mp3Memory *mp3);   /* -1 or 0 */
int almp3_is_looping_mp3(Mp3Memory *mp3);   /* the loop value while playing, else 0 */
void almp3_set_loop_mp3(Mp3Memory *mp3, int loop); /* only while playing */
AUDIOSTREAM *almp3_get_audiostream_mp3(Mp3Memory *mp3);
void *almp3_get_output_wave_mp3(Mp3Memory *mp3, int *size_out);

int almp3_get_bitrate_mp3(Mp3Memory *mp3);
int almp3_get_layer_mp3(Mp3Memory *mp3);
int almp3_get_wave_bits_mp3(Mp3Memory *mp3);
int almp3_get_wave_is_stereo_mp3(Mp3Memory *mp3);
int almp3_get_wave_freq_mp3(Mp3Memory *mp3);

/* Positions, lengths and seeks; seeks outside the data do nothing. */
int almp3_get_msecs_per_frame_mp3(Mp3Memory *mp3);
int almp3_get_pos_frames_mp3(Mp3Memory *mp3);
int almp3_get_pos_msecs_mp3(Mp3Memory *mp3);
int almp3_get_pos_secs_mp3(Mp3Memory *mp3);
int almp3_get_pos_bytes_mp3(Mp3Memory *mp3);   /* from the start of the data */
int almp3_get_length_frames_mp3(Mp3Memory *mp3);
int almp3_get_length_msecs_mp3(Mp3Memory *mp3);
int almp3_get_length_secs_mp3(Mp3Memory *mp3);
int almp3_get_length_bytes_mp3(Mp3Memory *mp3);
void almp3_rewind_mp3(Mp3Memory *mp3);
void almp3_seek_abs_frames_mp3(Mp3Memory *mp3, int frame);
void almp3_seek_abs_msecs_mp3(Mp3Memory *mp3, int msecs);
void almp3_seek_abs_secs_mp3(Mp3Memory *mp3, int secs);
void almp3_seek_abs_bytes_mp3(Mp3Memory *mp3, int bytes);  /* from the first frame */
void almp3_seek_rel_frames_mp3(Mp3Memory *mp3, int frames);
void almp3_seek_rel_msecs_mp3(Mp3Memory *mp3, int msecs);
void almp3_seek_rel_secs_mp3(Mp3Memory *mp3, int secs);
void almp3_seek_rel_bytes_mp3(Mp3Memory *mp3, int bytes);

/*
 * Decodes the whole data into a new 16-bit unsigned sample of
 * frame_count x pcm_per_frame bytes; stops and rewinds the object.
 * The caller owns the sample (destroy_sample). NULL on failure.
 */
SAMPLE *almp3_create_sample_from_mp3(Mp3Memory *mp3);

#ifdef __cplusplus
}
#endif

#endif /* ALMP3_H */
