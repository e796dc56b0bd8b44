// The sound output both decoder objects share: the audio stream, its start,
// stop, adjustment and pause, the autopoll timer, the filling of one free
// buffer per poll, and the end of playback (the silent tail). It takes
// decoded PCM in any amount: what does not fit into the buffer at hand is
// kept, already unsigned, for the next one. The caller holds the object's
// lock around every call.
#ifndef ALMP3_OUTPUT_H
#define ALMP3_OUTPUT_H

#include <allegro.h>

#include "engine/decoder_core.h"
#include "engine/first_frame.h"

namespace almp3 {

// Speed in thousandths of normal.
constexpr int kNormalSpeed = 1000;

enum class PlayResult { kOk, kBufferTooSmall };

// What an object's fill of one buffer came to.
enum class FillEnd {
    kFull,     // the buffer is full
    kWait,     // the bytes at hand are used up and more will come: keep the
               // buffer (the library lends it again) and fill on next poll
    kEnded,    // the data has ended: silence after the sound, then the tail
    kDamaged,  // the data is damaged beyond repair: as kEnded, reported so
    kStarved,  // the bytes at hand ran out before more were given: stop
};

enum class PollResult { kOk, kFinished, kNotPlaying, kDamaged, kStarved };

class Output {
public:
    using Timer = void (*)(void *);

    // timer(owner) is the owner's autopoll callback.
    Output(Timer timer, void *owner) : timer_(timer), owner_(owner) {}
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;
    ~Output() { stop(); }

    // Opens an audio stream of whole frames per buffer, buffer_len bytes at
    // most. Already playing: kOk, nothing changes. No audio stream from the
    // library: kOk, still not playing.
    PlayResult play(const Format &format, int buffer_len, int vol, int pan, int speed);
    // Removes the timer and closes the audio stream with what it held.
    void stop();
    void adjust(int vol, int pan, int speed);
    void pause();
    void resume();
    void start_autopoll(int ms);
    void stop_autopoll();

    bool playing() const { return stream_ != nullptr; }
    AUDIOSTREAM *stream() const { return stream_; }
    // The audio stream's sample data; the byte size of one buffer in *size.
    void *wave(int *size) const;

    // One poll. Hands a free buffer, if there is one, to fill(), which puts
    // PCM into it until full() or it returns how it ended. While the tail
    // plays, fill is not called; tail_wanted false skips a normal end's
    // tail instead (the owner starts again).
    template <class FillFn>
    PollResult poll(FillFn &&fill, bool tail_wanted = true) {
        if (!stream_) return PollResult::kNotPlaying;
        if (!take_buffer()) return PollResult::kOk;
        if (countdown_ > 0 && (tail_wanted || end_result_ != PollResult::kFinished)) return tail_buffer();
        countdown_ = 0;
        flush_pending();
        return finish(full() ? FillEnd::kFull : fill());
    }

    // Puts decoded (signed) PCM into the buffer, keeping what does not fit.
    void put(const Pcm &pcm);
    bool full() const { return written_ >= capacity_; }
    // Bytes of PCM kept for the next buffer.
    int pending_bytes() const { return pending_len_; }
    // Forgets the PCM kept for the next buffer: the place has changed.
    void drop_pending() { pending_len_ = 0; }
    // A silent tail is under way.
    bool ending() const { return countdown_ > 0; }

private:
    bool take_buffer();
    void flush_pending();
    PollResult tail_buffer();
    PollResult finish(FillEnd end);
    void hand_back();

    Timer timer_;
    void *owner_;
    AUDIOSTREAM *stream_ = nullptr;
    bool paused_ = false;
    bool autopoll_on_ = false;
    int autopoll_ms_ = 0;

    unsigned char *buffer_ = nullptr;  // the buffer being filled, unsigned
    int capacity_ = 0;                 // frames per buffer x PCM per frame
    int written_ = 0;                  // bytes of it filled, kept across polls
    unsigned char pending_[kMaxFramePcm];
    int pending_len_ = 0;
    int countdown_ = 0;  // silent buffers still to hand over
    PollResult end_result_ = PollResult::kFinished;
};

// Copies bytes of signed 16-bit PCM into dst as unsigned (top bit flipped).
void copy_to_unsigned(unsigned char *dst, const unsigned char *src, int bytes);
// Fills bytes with unsigned 16-bit silence.
void fill_silence(unsigned char *dst, int bytes);

}  // namespace almp3

#endif
