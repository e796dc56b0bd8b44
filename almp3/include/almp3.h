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
 *   - Every function takes the object pointer first. It must point to a live
 *     object: only the destroy functions accept NULL.
 *   - Flags returned by the layer are -1 for true and 0 for false.
 *   - Creation returns NULL on any failure, with everything it took released.
 *   - The layer shows no messages and writes nothing to the console.
 *   - PCM is 16-bit. The decoder produces signed samples; what is handed to
 *     the library (audio-stream buffers, samples) is unsigned (top bit
 *     flipped), as Allegro expects.
 *   - vol and pan are 0..255 (pan 128 is the centre); speed is the playback
 *     frequency in thousandths of normal (1000 = normal). They are handed to
 *     Allegro (play_audio_stream, adjust_sample) as they are.
 *   - Parameters such as the bit rate, the frequency and the frame length
 *     are those of the first frame; later frames are expected to match. A
 *     later frame that decodes to more PCM (the stream turns from mono to
 *     stereo, say) is played in the first frame's format: what does not fit
 *     the audio-stream buffer at hand goes into the next one, so nothing is
 *     lost and nothing is written past a buffer.
 *
 * Allegro set-up
 *   Creating an object and asking it about its data needs nothing from
 *   Allegro. Playing needs install_sound() (Allegro halves every voice unless
 *   set_volume_per_voice(0) came first); autopoll needs install_timer().
 *   Under X11, Allegro's system driver needs a display even for sound alone.
 *
 * Threads
 *   Every function runs on the caller's thread. The only exception is the
 *   autopoll timer (almp3_start_autopoll_*), whose callback polls the object
 *   from Allegro's timer thread. Each object carries its own lock, so the
 *   timer's poll and the caller's calls on the same object never overlap; a
 *   timer tick that finds the object busy is skipped. Creation and
 *   destruction must not race with other calls on the same object.
 *   Of the functions below only almp3_autopoll_mp3stream and
 *   almp3_autopoll_mp3 are made to run as timer callbacks; every other call
 *   may wait for the object's lock and belongs on an ordinary thread. The
 *   getters of the first frame's parameters (bit rate, layer, bits, stereo,
 *   frequency) take no lock in either object: those values are fixed at
 *   creation. Distinct objects share nothing and may be used from different
 *   threads at once.
 *
 * The functions have C linkage: C and C++ programs link libalmp3.a together
 * with Allegro 4, libmpg123 and the C++ runtime; `pkg-config --libs almp3`
 * lists them all.
 */
#ifndef ALMP3_H
#define ALMP3_H

#include <allegro.h>

/** The library's version; `pkg-config --modversion almp3` gives the same. */
#define ALMP3_VERSION_MAJOR 1
#define ALMP3_VERSION_MINOR 0
#define ALMP3_VERSION_PATCH 0

/* In C++ the two objects live in the library's namespace, beside its other
   internals; the names below are the same types in both languages. */
#ifdef __cplusplus
namespace almp3 {
struct Mp3Stream;
struct Mp3Memory;
}  /* namespace almp3 */
/** The streaming decoder object; opaque. */
typedef almp3::Mp3Stream Mp3Stream;
/** The in-memory decoder object; opaque. */
typedef almp3::Mp3Memory Mp3Memory;
#else
/** The streaming decoder object; opaque. */
typedef struct Mp3Stream Mp3Stream;
/** The in-memory decoder object; opaque. */
typedef struct Mp3Memory Mp3Memory;
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef Mp3Stream ALMP3_MP3STREAM;
typedef Mp3Memory ALMP3_MP3;

/** Flags the layer returns (almp3_is_playing_*, almp3_get_wave_is_stereo_*). */
enum {
    ALMP3_TRUE = -1,
    ALMP3_FALSE = 0
};

/** Results of almp3_poll_mp3stream and almp3_poll_mp3. */
enum {
    /** All is well: a buffer was filled, none was free, the object waits
        for the next block, or the ending is under way. */
    ALMP3_POLL_OK = 0,
    /** Playback has just finished: two silent buffers followed the data and
        the audio stream has been stopped. */
    ALMP3_POLL_FINISHED = 1,
    /** The object is not playing. */
    ALMP3_POLL_NOT_PLAYING = -1,
    /** The data is damaged beyond repair (no frame found within the search
        limit); the audio stream has been stopped. */
    ALMP3_POLL_DAMAGED = -2,
    /** Streaming object only: the data ran out before the final block was
        handed over (the caller fed too slowly); the audio stream has been
        stopped. */
    ALMP3_POLL_STARVED = -3
};

/** Results of almp3_play_ex_mp3stream, almp3_play_mp3stream,
    almp3_play_ex_mp3 and almp3_play_mp3. */
enum {
    /** Playing, already playing, or the library opened no audio stream (the
        object stays not playing; almp3_is_playing_* tells). */
    ALMP3_PLAY_OK = 0,
    /** buffer_len is smaller than one frame's PCM: nothing started. */
    ALMP3_PLAY_BUFFER_TOO_SMALL = -1
};

/** The count almp3_free_mp3stream_buffer takes for a whole block (more
    blocks follow); a count of 0 or more marks the final block. */
#define ALMP3_WHOLE_BLOCK (-1)

/** What the streaming object's seek calculations return for a place outside
    the source. */
#define ALMP3_SEEK_OUTSIDE (-1)

/* ------------------------------------------------------------------------ */
/* Streaming object                                                          */
/* ------------------------------------------------------------------------ */

/*
 * Feeding protocol in short:
 *
 *   s = almp3_create_mp3stream(first_block, len, is_last);
 *   almp3_play_mp3stream(s, 32768, 255, 128);
 *   do {
 *       void *buf = almp3_get_mp3stream_buffer(s);
 *       if (buf) {
 *           n = read up to len bytes into buf;
 *           almp3_free_mp3stream_buffer(s, n == len ? -1 : n);
 *       }
 *   } while (almp3_poll_mp3stream(s) == 0);
 *   almp3_destroy_mp3stream(s);
 *
 * The object holds two blocks: the one it decodes from and the next. When it
 * has used up the first, it lends a buffer for the block after them. A
 * caller that fills every lent buffer before the next poll, as above, is
 * never late (poll result -3).
 */

/**
 * Length of the ID3v2 tag that starts at data, so that a caller can pass over
 * leading tags of any size before it hands the first block to
 * almp3_create_mp3stream (cover pictures make tags of megabytes common, far
 * more than the first block's frame search covers).
 *
 * The length counts the 10-byte header, the tag's body and, when the header
 * says so, its 10-byte footer. Only the first 10 bytes are read. A file may
 * carry several tags one after the other: call again at the end of each
 * until the result is 0.
 *
 *     skip = 0;
 *     while (read 10 bytes at offset skip into head
 *            && (n = almp3_get_id3v2_length(head, 10)) > 0)
 *         skip += n;
 *     then read the first block from offset skip on, and give lengths and
 *     seeks total_bytes = file size - skip (their offsets count from skip).
 *
 * \param data  the bytes to look at, or NULL.
 * \param len   how many bytes are at hand.
 * \return the tag's length in bytes, or 0 when data is NULL, fewer than 10
 *         bytes are at hand, or they do not form an ID3v2 header ("ID3", a
 *         major version and revision below 0xFF, four size bytes below 0x80).
 */
int almp3_get_id3v2_length(const void *data, int len);

/**
 * Length of the tag that ends where data ends, so that a caller can leave
 * the tags after the last frame out of the byte count it gives the length
 * and seek functions (a cover picture in an APE tag would otherwise count as
 * seconds of audio).
 *
 * Recognised: an ID3v1 block ("TAG", 128 bytes), an APEv2 tag (its footer
 * "APETAGEX", with or without its header), a Lyrics3 v2 block (ending in a
 * six-digit size and "LYRICS200") and an ID3v2 tag appended with a footer
 * ("3DI"). Tags stacked at the end are found one at a time: call again on
 * the bytes before each tag until the result is 0.
 *
 *     end = file size;
 *     while (read the 128 bytes before end (fewer near the start) into tail
 *            && (n = almp3_get_trailing_tag_length(tail, got)) > 0
 *            && n <= end)
 *         end -= n;
 *
 * \param data  the last len bytes before the place where a tag may end
 *              (128 are enough for every kind), or NULL.
 * \param len   how many bytes are at hand.
 * \return the tag's length in bytes (it may be longer than len: only its
 *         end lies in data), or 0 when no tag ends there.
 */
int almp3_get_trailing_tag_length(const void *data, int len);

/**
 * Creates a stream from the first block of an MPEG audio file.
 *
 * Tags and padding at the block's start, one after the other, are passed
 * over by their sizes: ID3v2 tags, runs of zero bytes, 128-byte ID3v1
 * ("TAG") blocks, APEv2 tags that begin with their header and Lyrics3 v2
 * blocks. Behind them, the first frame is searched for in the next 28672
 * bytes at most: a Layer II or III header that decodes and is followed by
 * another valid header, a tag or the end of the searched bytes. Tags that
 * reach past the first block are the caller's to pass over (see
 * almp3_get_id3v2_length). Its parameters, and a Xing header inside it,
 * become the stream's. The new stream is not playing; its frame position
 * is 0 and its byte position is the first frame's offset in the block.
 *
 * \param data     the first block; it is copied, the caller may reuse it at
 *                 once.
 * \param len      its length in bytes; every later block must have this
 *                 length (the final one may hold fewer valid bytes).
 * \param is_last  non-zero when this block is the whole file (no block
 *                 follows).
 * \return the new stream, owned by the caller, who releases it with
 *         almp3_destroy_mp3stream; NULL when data is NULL, len <= 0 or
 *         len > INT_MAX / 2 (the object joins two blocks), the block holds
 *         nothing but tags and padding, no frame is found, or memory is
 *         short.
 */
Mp3Stream *almp3_create_mp3stream(const void *data, int len, int is_last);

/**
 * Stops playback if needed (the autopoll timer is removed and the audio
 * stream closed) and frees the object with its buffers. A buffer lent by
 * almp3_get_mp3stream_buffer is freed with it.
 *
 * \param s  the stream, or NULL (nothing happens).
 */
void almp3_destroy_mp3stream(Mp3Stream *s);

/**
 * Starts playback through a new audio stream, from the stream's current
 * place in the data. While playing, the caller polls (or lets autopoll
 * poll) so that the audio stream's buffers are filled.
 *
 * \param buffer_len  PCM bytes wanted per audio-stream buffer; rounded down
 *                    to whole decoded frames (4608 bytes per frame for
 *                    MPEG-1 Layer III stereo).
 * \param vol         volume 0..255.
 * \param pan         panning 0..255, 128 the centre.
 * \param speed       playback speed in thousandths of normal (1000 normal).
 * \return -1 when buffer_len is smaller than one frame's PCM (nothing
 *         started), else 0: playing, or already playing (nothing changes),
 *         or the library could not open an audio stream (the object stays
 *         not playing; almp3_is_playing_mp3stream tells).
 */
int almp3_play_ex_mp3stream(Mp3Stream *s, int buffer_len, int vol, int pan, int speed);

/** As almp3_play_ex_mp3stream with speed 1000. */
int almp3_play_mp3stream(Mp3Stream *s, int buffer_len, int vol, int pan);

/**
 * Stops the audio output: the autopoll timer is removed and the audio
 * stream closed, with the sound it still held. The place in the data is
 * kept, so the next play goes on from there. Nothing happens when the
 * stream is not playing.
 */
void almp3_stop_mp3stream(Mp3Stream *s);

/**
 * Changes volume, panning and speed of a playing stream (the same units as
 * almp3_play_ex_mp3stream); nothing happens when it is not playing.
 */
void almp3_adjust_mp3stream(Mp3Stream *s, int vol, int pan, int speed);

/**
 * Pauses the audio output without losing any sound: the audio stream's
 * voice is halted and the decoded sound still queued in its buffers is kept,
 * so that almp3_resume_mp3stream goes on exactly where the sound stopped.
 * (almp3_stop_mp3stream, by contrast, closes the audio stream and throws the
 * queued sound away.)
 *
 * A paused stream still counts as playing (almp3_is_playing_mp3stream gives
 * -1) and keeps its audio stream. Its voice takes no sound, so no buffer
 * comes free: polls, the caller's or autopoll's, fill at most the buffers
 * that were already free when it paused, and nothing queued is lost.
 * almp3_play_ex_mp3stream on a paused stream changes nothing;
 * almp3_stop_mp3stream ends the pause with the playback, so the next play
 * starts unpaused; almp3_adjust_mp3stream changes the settings while paused
 * too. Nothing happens when the stream is not playing or already paused.
 */
void almp3_pause_mp3stream(Mp3Stream *s);

/**
 * Ends a pause of almp3_pause_mp3stream: the voice starts again with the
 * sound that was queued when it paused. Nothing happens when the stream is
 * not paused.
 */
void almp3_resume_mp3stream(Mp3Stream *s);

/**
 * \return -1 while the object has an audio stream (is playing, paused or
 *         not), else 0.
 */
int almp3_is_playing_mp3stream(Mp3Stream *s);

/**
 * Fills the next free audio-stream buffer, if one is free, with the frames
 * decoded from the data at hand. ID3v2 and APEv2 tags, Lyrics3 and ID3v1
 * blocks and zero padding found between or after the frames are passed over
 * by their sizes, also across blocks. Damaged stretches are skipped by
 * searching, byte by byte, for a frame followed by another header; the
 * count of bytes searched carries over from poll to poll until a frame is
 * found. When both blocks at hand are used up before the buffer is full,
 * the buffer is kept and filled on at the next poll, after the next block;
 * at the end of the data the last buffer is completed with silence. Call it often enough
 * that the audio stream never runs dry: at least once per buffer's playing
 * time.
 *
 * \return  0  normal: a buffer was filled, none was free, the object waits
 *             for the next block, or the ending is under way;
 *          1  finished: two silent buffers followed the data; stopped;
 *         -1  not playing;
 *         -2  damaged data: no frame found within 16384 bytes searched;
 *             as at the end, the sound already decoded plays out behind
 *             two silent buffers before the poll reports it and stops.
 *             Whether frames follow the rubbish is checked only once the
 *             final block has been handed over: then rubbish with no frame
 *             after it ends the song with 1 instead; before that, every
 *             search that gives up ends in -2;
 *         -3  the data ran out before the final block was handed over (the
 *             caller fed too slowly); stopped.
 *         A stopped stream keeps its place; polling it again returns -1.
 */
int almp3_poll_mp3stream(Mp3Stream *s);

/**
 * Lends the buffer for the next block, when the stream wants one.
 *
 * \return a buffer of the block length that the object owns, for the caller
 *         to fill and give back with almp3_free_mp3stream_buffer; NULL when
 *         no block is wanted now, and always NULL once the final block was
 *         given. Asking again before giving back returns the same buffer.
 */
void *almp3_get_mp3stream_buffer(Mp3Stream *s);

/**
 * Gives back the buffer that almp3_get_mp3stream_buffer lent, filled. The
 * caller must not touch the buffer afterwards. Giving back when no buffer
 * was lent is ignored.
 *
 * \param count  -1: a whole block, more blocks follow;
 *               0..len: the final block, holding count bytes (a file whose
 *               size is a multiple of the block length ends with count 0).
 *               Larger counts are taken as len, other negative counts as 0.
 */
void almp3_free_mp3stream_buffer(Mp3Stream *s, int count);

/**
 * Autopoll: while the stream plays, an Allegro timer (install_param_int)
 * polls it every ms milliseconds, so the caller only feeds blocks. The
 * timer follows playback: play installs it, stop and the end of playback
 * remove it. A second start changes nothing (the first period stays).
 * The poll's result is not reported: almp3_is_playing_mp3stream turns 0
 * when playback has finished or failed. Needs install_timer().
 *
 * With autopoll on, the timer's own poll stops playback at the end of the
 * data (or on damage) at a moment the caller does not choose, and the audio
 * stream closes with it: a pointer taken earlier from
 * almp3_get_audiostream_mp3stream or almp3_get_output_wave_mp3stream is
 * then invalid. Such a caller asks for the pointer again (NULL once
 * playback has stopped) each time it uses it, or stops autopoll first; the
 * same holds for the in-memory object's getters.
 *
 * \param ms  the timer period in milliseconds.
 */
void almp3_start_autopoll_mp3stream(Mp3Stream *s, int ms);

/** Ends autopoll: the timer is removed; the caller polls again. */
void almp3_stop_autopoll_mp3stream(Mp3Stream *s);

/**
 * The autopoll timer callback: polls the stream unless a call of the
 * caller's holds the object's lock, in which case this tick is skipped.
 * Made to run on Allegro's timer thread.
 *
 * \param s  the Mp3Stream, as a void pointer.
 */
void almp3_autopoll_mp3stream(void *s);

/* Parameters of the first frame; constant for the object's life (no lock). */
/** \return the bit rate in bits per second. */
int almp3_get_bitrate_mp3stream(Mp3Stream *s);
/** \return the MPEG audio layer: 2 or 3. */
int almp3_get_layer_mp3stream(Mp3Stream *s);
/** \return bits per PCM sample: always 16. */
int almp3_get_wave_bits_mp3stream(Mp3Stream *s);
/** \return -1 for stereo (two channels), 0 for mono. */
int almp3_get_wave_is_stereo_mp3stream(Mp3Stream *s);
/** \return the sampling frequency in Hz. */
int almp3_get_wave_freq_mp3stream(Mp3Stream *s);

/**
 * \return the audio stream while playing, else NULL. It is owned by the
 *         object and closed when playback stops: the caller must neither
 *         stop nor keep it.
 */
AUDIOSTREAM *almp3_get_audiostream_mp3stream(Mp3Stream *s);

/**
 * The sound being played: the data of the audio stream's sample, which
 * holds the stream's buffers one after the other as unsigned 16-bit PCM
 * (channels interleaved). Owned by the object; valid while it plays.
 *
 * \param size  receives the byte size of one audio-stream buffer; may be
 *              NULL. Left untouched when not playing.
 * \return the sample data while playing, else NULL.
 */
void *almp3_get_output_wave_mp3stream(Mp3Stream *s, int *size);

/*
 * Positions, lengths and seeks.
 *
 * The stream plays the timeline described for the in-memory object below:
 * an Info/Xing frame in the first block is passed over, and the delay and
 * padding its LAME tag gives are trimmed (the padding at the end of the
 * frames the header counts: a second song joined on plays whole, as mpg123
 * plays it; the in-memory object does the same). Frame numbers count
 * audio frames (the Info frame is none); times count timeline samples.
 * Positions count decoded frames (they run ahead of what is heard by what
 * the audio stream holds). Lengths and seeks need total_bytes: the bytes of
 * the source fed to the object, from where feeding started (the first
 * block's first byte) to the end of the audio, with trailing tags left out
 * (see almp3_get_trailing_tag_length); the bytes in front of the first
 * frame inside the first block are no audio and are left out by the
 * object. Frame counts come from the Xing or Info header when its counts
 * describe that audio (a header whose byte count differs, as the first
 * song's in two joined files, is not used), and then the length in time is
 * exact. Otherwise a constant bit rate
 * (every frame of the first block at the first one's) gives the count from
 * the bytes: audio bytes x 8 / bit rate is the time, rounded to the nearest
 * whole frame (padding makes whole frames fill a few bytes more or less
 * than their exact share), and a varying one is estimated from the
 * mean frame length of the frames in the first block: within about 1 % for
 * a steady VBR song, but the first block tells nothing of later changes (a
 * 120 s song that turns from quiet to loud halfway is estimated at 257 s,
 * from loud to quiet at 77 s). Times are samples divided by the sampling
 * rate, exact to the millisecond.
 *
 * A seek returns the source offset at which the data for the wanted place
 * begins (from the table of contents of such a header when there is one,
 * else by the same estimate), counted from the source's first byte, or -1
 * when the place lies outside the source; it does not move the object. To
 * play from there, the caller creates a new stream from the block that
 * starts at that offset. Such a stream never plays a garbled Layer III
 * frame: a frame whose bit reservoir reaches back before the stream's first
 * byte plays as silence, and so does what follows it until the filter
 * bank's overlap is whole again (the next frame; two in MPEG-2 and 2.5).
 */

/** \return the frames decoded since creation. */
int almp3_get_pos_frames_mp3stream(Mp3Stream *s);
/** \return the playing time of the frames decoded so far, in milliseconds. */
int almp3_get_pos_msecs_mp3stream(Mp3Stream *s);
/** \return the same in whole seconds. */
int almp3_get_pos_secs_mp3stream(Mp3Stream *s);
/** \return the source offset of the next byte to be fed to the decoder. */
int almp3_get_pos_bytes_mp3stream(Mp3Stream *s);
/**
 * \return whole milliseconds per frame, truncated (26 for 1152 samples at
 *         44100 Hz); lengths, positions and time seeks do not use it.
 */
int almp3_get_msecs_per_frame_mp3stream(Mp3Stream *s);
/** \return the frames in a source of total_bytes bytes. */
int almp3_get_length_frames_mp3stream(Mp3Stream *s, int total_bytes);
/** \return the playing time of those frames in milliseconds. */
int almp3_get_length_msecs_mp3stream(Mp3Stream *s, int total_bytes);
/** \return the same in whole seconds. */
int almp3_get_length_secs_mp3stream(Mp3Stream *s, int total_bytes);
/** \return total_bytes itself. */
int almp3_get_length_bytes_mp3stream(Mp3Stream *s, int total_bytes);
/** \return the offset of frame `frame` (0 is the first), or -1 outside 0..length-1. */
int almp3_seek_abs_frames_mp3stream(Mp3Stream *s, int frame, int total_bytes);
/** \return the offset of the frame playing at msecs, or -1. */
int almp3_seek_abs_msecs_mp3stream(Mp3Stream *s, int msecs, int total_bytes);
/** \return the offset of the frame playing at secs, or -1. */
int almp3_seek_abs_secs_mp3stream(Mp3Stream *s, int secs, int total_bytes);
/** \return bytes itself when inside the source (negative values down to
 *  minus the first frame's offset mean 0), else -1. */
int almp3_seek_abs_bytes_mp3stream(Mp3Stream *s, int bytes, int total_bytes);
/** \return the offset of the frame `frames` away from the current one (either
 *  direction), or -1. */
int almp3_seek_rel_frames_mp3stream(Mp3Stream *s, int frames, int total_bytes);
/** \return as almp3_seek_rel_frames_mp3stream, for a move of msecs. */
int almp3_seek_rel_msecs_mp3stream(Mp3Stream *s, int msecs, int total_bytes);
/** \return as almp3_seek_rel_frames_mp3stream, for a move of secs. */
int almp3_seek_rel_secs_mp3stream(Mp3Stream *s, int secs, int total_bytes);
/** \return the byte position plus bytes, when inside the source, else -1. */
int almp3_seek_rel_bytes_mp3stream(Mp3Stream *s, int bytes, int total_bytes);

/* ------------------------------------------------------------------------ */
/* In-memory object                                                          */
/* ------------------------------------------------------------------------ */

/**
 * Creates an object over a whole file held by the caller.
 *
 * Tags at the end (ID3v1, APEv2, Lyrics3 v2, footered ID3v2, one under the
 * other) are set aside, and so are, of any size and one after the other,
 * the tags and padding in front: ID3v2 tags, runs of zero bytes, 128-byte
 * ID3v1 ("TAG") blocks, APEv2 tags that begin with their header and
 * Lyrics3 v2 blocks. The first frame must lie within the first 28672 bytes
 * after them. The frames are then counted by walking their headers,
 * passing over tags and padding between them as playback does; tags,
 * padding and rubbish after the last frame are no audio. The new object is
 * not playing and stands at the first frame.
 *
 * \param data      the file. It is not copied: it must stay in place,
 *                  unchanged, until the object is destroyed.
 * \param data_len  its length in bytes.
 * \return the new object, owned by the caller, who releases it with
 *         almp3_destroy_mp3; NULL when data is NULL, data_len <= 0, the
 *         data holds nothing but tags and padding, no frame is found, or
 *         memory is short.
 */
Mp3Memory *almp3_create_mp3(const void *data, int data_len);

/**
 * Stops playback if needed (timer removed, audio stream closed) and frees
 * the object; the data stays the caller's.
 *
 * \param mp3  the object, or NULL (nothing happens).
 */
void almp3_destroy_mp3(Mp3Memory *mp3);

/**
 * Starts playback from the object's current place, as
 * almp3_play_ex_mp3stream (same units and results).
 *
 * \param loop  non-zero: at the end of the data playback wraps to the first
 *              frame and goes on until stopped.
 */
int almp3_play_ex_mp3(Mp3Memory *mp3, int buffer_len, int vol, int pan, int speed, int loop);
/** As almp3_play_ex_mp3 with speed 1000 and no looping. */
int almp3_play_mp3(Mp3Memory *mp3, int buffer_len, int vol, int pan);
/** Stops the audio output (and the autopoll timer), keeping the place. */
void almp3_stop_mp3(Mp3Memory *mp3);
/**
 * Changes volume, panning, speed and looping of a playing object; nothing
 * happens when it is not playing.
 */
void almp3_adjust_mp3(Mp3Memory *mp3, int vol, int pan, int speed, int loop);

/**
 * Fills the next free audio-stream buffer, if one is free, with whole
 * frames, skipping damaged stretches by a bounded search.
 *
 * \return  0  normal (or no free buffer);
 *          1  finished (not looping): two silent buffers followed the data;
 *             stopped and rewound, so the next play starts from the
 *             beginning;
 *         -1  not playing;
 *         -2  damaged beyond repair (no frame found within 16384 bytes
 *             searched, with frames after them): as at the end, the sound
 *             already decoded plays out behind two silent buffers before
 *             the poll reports it; stopped and rewound (the position reads
 *             0 from the moment the damage is found).
 *         A looping object never finishes.
 */
int almp3_poll_mp3(Mp3Memory *mp3);
/**
 * Autopoll, as almp3_start_autopoll_mp3stream: an Allegro timer polls the
 * object every msecs milliseconds while it plays. Needs install_timer().
 */
void almp3_start_autopoll_mp3(Mp3Memory *mp3, int msecs);
/** Ends autopoll. */
void almp3_stop_autopoll_mp3(Mp3Memory *mp3);
/**
 * The autopoll timer callback (its argument is the Mp3Memory); skips a
 * tick while the caller holds the object. Made to run on Allegro's timer
 * thread.
 */
void almp3_autopoll_mp3(void *mp3);

/** \return -1 while playing, else 0. */
int almp3_is_playing_mp3(Mp3Memory *mp3);
/** \return the loop value given to play, adjust or set_loop while playing, else 0. */
int almp3_is_looping_mp3(Mp3Memory *mp3);
/** Sets looping on (non-zero) or off; only while playing, else ignored. */
void almp3_set_loop_mp3(Mp3Memory *mp3, int loop);
/** \return the audio stream while playing, else NULL; owned by the object. */
AUDIOSTREAM *almp3_get_audiostream_mp3(Mp3Memory *mp3);
/** As almp3_get_output_wave_mp3stream: size_out may be NULL. */
void *almp3_get_output_wave_mp3(Mp3Memory *mp3, int *size_out);

/* Parameters of the first frame; constant for the object's life (no lock). */
/** \return the bit rate in bits per second. */
int almp3_get_bitrate_mp3(Mp3Memory *mp3);
/** \return the MPEG audio layer: 2 or 3. */
int almp3_get_layer_mp3(Mp3Memory *mp3);
/** \return bits per PCM sample: always 16. */
int almp3_get_wave_bits_mp3(Mp3Memory *mp3);
/** \return -1 for stereo, 0 for mono. */
int almp3_get_wave_is_stereo_mp3(Mp3Memory *mp3);
/** \return the sampling frequency in Hz. */
int almp3_get_wave_freq_mp3(Mp3Memory *mp3);

/*
 * Positions, lengths and seeks: exact to the sample.
 *
 * Both objects play the timeline that mpg123 decodes by default: an Info or
 * Xing frame at the start holds no sound and is not played, and when its
 * LAME tag gives the encoder's delay and padding, they are trimmed together
 * with the decoder's own delay of 529 samples (a header that counts the
 * frames but has no LAME tag has the 529 trimmed, as mpg123 trims it).
 * Audio frame f (the Info frame is none) starts at timeline sample
 * max(0, f x samples per frame - D), D being the encoder delay + 529 for a
 * file with such a header and 0 otherwise. Times are timeline samples divided by the sampling rate,
 * truncated to the millisecond; lengths count the timeline's samples.
 *
 * A time seek lands on sample floor(msecs x rate / 1000) (or secs x rate),
 * a frame seek on the frame's first sample as above, a byte seek on the
 * first frame whose header starts at or after that byte; relative seeks
 * move from the position. From there on every sample played is the one a
 * decode of the whole file gives at that place: the seek decodes and
 * throws away, before the target, what its frame needs (the frames its bit
 * reservoir reaches back into, and one more for the filter bank's overlap;
 * a few frames, at most 48). Creation walks the headers once and keeps the
 * offset of every 16th frame (4 bytes per 16 frames, under 1 % of the
 * data), so a seek walks at most 15 headers from the nearest entry. A seek
 * to a place outside the sound does nothing. Seeks and rewinds work while
 * playing too: the next buffer starts at the new place.
 */

/** \return whole milliseconds per frame, truncated; lengths, positions and
 *  time seeks do not use it. */
int almp3_get_msecs_per_frame_mp3(Mp3Memory *mp3);
/** \return the audio frame that holds the position (the next sample to be
 *  handed to the audio stream). */
int almp3_get_pos_frames_mp3(Mp3Memory *mp3);
/** \return the position in milliseconds on the timeline. */
int almp3_get_pos_msecs_mp3(Mp3Memory *mp3);
/** \return the same in whole seconds. */
int almp3_get_pos_secs_mp3(Mp3Memory *mp3);
/** \return the offset of the next byte to be fed to the decoder, from the
 *  start of the data (tags included). */
int almp3_get_pos_bytes_mp3(Mp3Memory *mp3);
/** \return the audio frames in the data (an Info frame not counted). */
int almp3_get_length_frames_mp3(Mp3Memory *mp3);
/** \return the timeline's length in milliseconds. */
int almp3_get_length_msecs_mp3(Mp3Memory *mp3);
/** \return the same in whole seconds. */
int almp3_get_length_secs_mp3(Mp3Memory *mp3);
/** \return data_len as given to almp3_create_mp3. */
int almp3_get_length_bytes_mp3(Mp3Memory *mp3);
/** Goes back to the first frame. */
void almp3_rewind_mp3(Mp3Memory *mp3);
/** Goes to frame `frame` (0 is the first); ignored outside 0..length-1. */
void almp3_seek_abs_frames_mp3(Mp3Memory *mp3, int frame);
/** Goes to the frame playing at msecs. */
void almp3_seek_abs_msecs_mp3(Mp3Memory *mp3, int msecs);
/** Goes to the frame playing at secs. */
void almp3_seek_abs_secs_mp3(Mp3Memory *mp3, int secs);
/**
 * Goes to byte `bytes`, counted from the first frame; negative values down
 * to minus the leading tag's length mean the first frame.
 */
void almp3_seek_abs_bytes_mp3(Mp3Memory *mp3, int bytes);
/** Moves by `frames` frames from the current one, in either direction. */
void almp3_seek_rel_frames_mp3(Mp3Memory *mp3, int frames);
/** Moves by msecs, in either direction. */
void almp3_seek_rel_msecs_mp3(Mp3Memory *mp3, int msecs);
/** Moves by secs, in either direction. */
void almp3_seek_rel_secs_mp3(Mp3Memory *mp3, int secs);
/** Moves by `bytes` bytes from the next byte to be fed to the decoder. */
void almp3_seek_rel_bytes_mp3(Mp3Memory *mp3, int bytes);

/**
 * Decodes the whole data into a new sample: 16-bit unsigned PCM with the
 * first frame's channels and frequency, holding the whole timeline (what
 * damage leaves undecoded is silence at the end), with the loop region in
 * its loop_start and loop_end.
 *
 * Once the sample has been made, the call stops playback and, whatever
 * comes of the decoding, leaves the object at the first frame, as
 * almp3_rewind_mp3 does; a later play starts from the beginning.
 *
 * \return the sample, owned by the caller (destroy_sample); NULL when it
 *         would exceed INT_MAX bytes or memory is short (the object is then
 *         untouched), or when the data is damaged beyond repair (as for the
 *         poll's -2; the object is then stopped and rewound).
 */
SAMPLE *almp3_create_sample_from_mp3(Mp3Memory *mp3);

/** Results of almp3_set_loop_points_mp3. */
enum {
    ALMP3_LOOP_POINTS_SET = 0,
    /** An empty region, or one outside the timeline: nothing changed. */
    ALMP3_LOOP_POINTS_REFUSED = -1
};

/**
 * Sets the loop region in samples of the timeline: [start, end). A looping
 * object plays from its place to the region's end, then the region again
 * and again, seamlessly: every round plays exactly the samples the first
 * pass played there. The region starts as the whole timeline, or as the
 * file's loop tags give it (ID3v2 TXXX frames LOOPSTART with LOOPLENGTH or
 * LOOPEND, in samples; LOOPLENGTH wins when both are present; tags that do
 * not give a region inside the timeline are ignored). A sample made by
 * almp3_create_sample_from_mp3 carries the region in its loop_start and
 * loop_end, so that play_sample(..., loop) loops it the same way.
 *
 * \return ALMP3_LOOP_POINTS_SET, or ALMP3_LOOP_POINTS_REFUSED when start < 0,
 *         end <= start or end lies past the timeline's length.
 */
int almp3_set_loop_points_mp3(Mp3Memory *mp3, int start, int end);

/**
 * The loop region in samples of the timeline: [*start, *end). Either
 * pointer may be NULL.
 */
void almp3_get_loop_points_mp3(Mp3Memory *mp3, int *start, int *end);

#ifdef __cplusplus
}
#endif

#endif /* ALMP3_H */
