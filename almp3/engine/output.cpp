#include "output.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "almp3.h"

namespace almp3 {

namespace {

// Silent buffers handed over after the data, so that the sound before them
// plays out before the audio stream closes.
constexpr int kSilentTailBuffers = 2;

}  // namespace

void copy_to_unsigned(unsigned char *dst, const unsigned char *src, int bytes) {
    // Each 16-bit sample keeps its top bit at bit 15 of its own 16-bit lane
    // whatever the byte order, so a 64-bit word flips four samples at once.
    constexpr uint64_t kFourSignBits = 0x8000800080008000ull;
    constexpr uint16_t kSignBit = 0x8000;
    int i = 0;
    for (; i + 8 <= bytes; i += 8) {
        uint64_t v;
        std::memcpy(&v, src + i, 8);
        v ^= kFourSignBits;
        std::memcpy(dst + i, &v, 8);
    }
    for (; i + 2 <= bytes; i += 2) {
        uint16_t v;
        std::memcpy(&v, src + i, 2);
        v ^= kSignBit;
        std::memcpy(dst + i, &v, 2);
    }
}

void fill_silence(unsigned char *dst, int bytes) {
    constexpr uint16_t kSilence = 0x8000;
    for (int i = 0; i + 2 <= bytes; i += 2) std::memcpy(dst + i, &kSilence, 2);
}

PlayResult Output::play(const Format &format, int buffer_len, int vol, int pan, int speed) {
    if (stream_) return PlayResult::kOk;
    const int frames = buffer_len / format.pcm_per_frame;
    if (frames <= 0) return PlayResult::kBufferTooSmall;
    capacity_ = frames * format.pcm_per_frame;
    const int samples = capacity_ / format.bytes_per_sample_frame();
    stream_ = play_audio_stream(samples, format.bits, format.stereo ? ALMP3_TRUE : ALMP3_FALSE, format.freq, vol,
                                pan);
    if (!stream_) return PlayResult::kOk;
    buffer_ = nullptr;
    written_ = 0;
    countdown_ = 0;
    end_result_ = PollResult::kFinished;
    if (speed != kNormalSpeed) adjust_sample(stream_->samp, vol, pan, speed, TRUE);
    if (autopoll_on_) install_param_int(timer_, owner_, autopoll_ms_);
    return PlayResult::kOk;
}

void Output::stop() {
    if (!stream_) return;
    // The timer callback only try-locks the object, so removing the timer
    // while holding the lock cannot wait on a callback that waits on us.
    if (autopoll_on_) remove_param_int(timer_, owner_);
    stop_audio_stream(stream_);
    stream_ = nullptr;
    paused_ = false;
    buffer_ = nullptr;
    written_ = 0;
    // The PCM kept for the next buffer stays: it is the sound the next play
    // starts with.
}

void Output::adjust(int vol, int pan, int speed) {
    if (stream_) adjust_sample(stream_->samp, vol, pan, speed, TRUE);
}

void Output::pause() {
    if (!stream_ || paused_) return;
    // Only the voice halts: the decoded sound queued in the audio stream's
    // buffers stays where it is and is heard first on resume.
    voice_stop(stream_->voice);
    paused_ = true;
}

void Output::resume() {
    if (!stream_ || !paused_) return;
    voice_start(stream_->voice);
    paused_ = false;
}

void Output::start_autopoll(int ms) {
    if (autopoll_on_) return;
    autopoll_on_ = true;
    autopoll_ms_ = ms;
    if (stream_) install_param_int(timer_, owner_, ms);
}

void Output::stop_autopoll() {
    if (!autopoll_on_) return;
    autopoll_on_ = false;
    if (stream_) remove_param_int(timer_, owner_);
}

void *Output::wave(int *size) const {
    if (!stream_) return nullptr;
    if (size) *size = capacity_;
    return stream_->samp->data;
}

bool Output::take_buffer() {
    // A buffer kept half full is lent again until it is handed back.
    auto *buf = static_cast<unsigned char *>(get_audio_stream_buffer(stream_));
    if (buf != buffer_) written_ = 0;
    buffer_ = buf;
    return buf != nullptr;
}

void Output::put(const Pcm &pcm) {
    const int n = std::min(pcm.bytes, capacity_ - written_);
    copy_to_unsigned(buffer_ + written_, pcm.data, n);
    written_ += n;
    const int rest = std::min(pcm.bytes - n, kMaxFramePcm);
    copy_to_unsigned(pending_, pcm.data + n, rest);
    pending_len_ = rest;
}

void Output::flush_pending() {
    const int n = std::min(pending_len_, capacity_ - written_);
    std::memcpy(buffer_ + written_, pending_, static_cast<size_t>(n));
    written_ += n;
    pending_len_ -= n;
    std::memmove(pending_, pending_ + n, static_cast<size_t>(pending_len_));
}

void Output::hand_back() {
    free_audio_stream_buffer(stream_);
    buffer_ = nullptr;
    written_ = 0;
}

PollResult Output::tail_buffer() {
    // Sound kept from the last full buffer plays before the silence.
    if (pending_len_ > 0) {
        flush_pending();
        fill_silence(buffer_ + written_, capacity_ - written_);
        hand_back();
        return PollResult::kOk;
    }
    fill_silence(buffer_, capacity_);
    hand_back();
    if (--countdown_ > 0) return PollResult::kOk;
    stop();
    return end_result_;
}

PollResult Output::finish(FillEnd end) {
    if (end == FillEnd::kWait) return PollResult::kOk;
    const bool sound = written_ > 0;
    fill_silence(buffer_ + written_, capacity_ - written_);
    hand_back();
    switch (end) {
    case FillEnd::kStarved:
        stop();
        return PollResult::kStarved;
    case FillEnd::kEnded:
        // A buffer that received nothing is already the first silent one.
        countdown_ = sound ? kSilentTailBuffers : kSilentTailBuffers - 1;
        end_result_ = PollResult::kFinished;
        break;
    case FillEnd::kDamaged:
        // The sound already queued plays out behind the tail, as at a clean
        // end; the last poll then reports the damage.
        countdown_ = kSilentTailBuffers;
        end_result_ = PollResult::kDamaged;
        break;
    case FillEnd::kFull:
    case FillEnd::kWait:
        break;
    }
    return PollResult::kOk;
}

}  // namespace almp3
