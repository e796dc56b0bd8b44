// The in-memory object's poll: fills the next free audio-stream buffer with
// whole frames, wraps or ends at the data's end, and gives up on data that
// stays damaged for longer than one resynchronisation may search.
#include <cstring>

#include "mp3memory_record.h"

namespace almp3 {

namespace {

enum class Fill { kFull, kDataUsedUp, kDamaged };

void hand_back(Mp3Memory &m, unsigned char *buf, int bytes) {
    pcm_to_unsigned(buf, bytes);
    free_audio_stream_buffer(m.stream);
}

// The next start of playback begins at the first frame with a fresh decoder.
void rewind_after_end(Mp3Memory &m) {
    m.read_pos = m.first_frame;
    m.frame_pos = 0;
    m.restart_pending = ALMP3_TRUE;
}

int hand_over_silence(Mp3Memory &m, unsigned char *buf, int bytes) {
    hand_back(m, buf, bytes);
    if (--m.end_countdown > 0) return ALMP3_POLL_OK;
    stop_locked(m);
    return ALMP3_POLL_FINISHED;
}

// One frame into the buffer, with resynchronisation after a bad one.
// Returns false when the data is damaged beyond repair.
bool decode_step(Mp3Memory &m, DecodeRun &run) {
    const int step_offset = read_offset(m);
    int rc = decode_at_read_pos(m, run);
    if (rc == kFrameDataEnded && run.looping) {
        // The last frame is incomplete: go on with the bytes at the start.
        wrap_to_start(m);
        rc = decode_at_read_pos(m, run);
        if (rc == kFrameDataEnded) rc = kFrameDecoded;
    }
    if (rc == kFrameBad && !resynchronise(m, step_offset, run)) return false;
    run.total += run.out_count;
    ++m.frame_pos;
    advance_read_pos(m, run.in_count);
    return true;
}

Fill fill_buffer(Mp3Memory &m, DecodeRun &run) {
    while (run.total < run.capacity) {
        pass_gaps(m);
        if (data_used_up(m)) {
            if (!run.looping) return Fill::kDataUsedUp;
            wrap_to_start(m);
        }
        if (!decode_step(m, run)) return Fill::kDamaged;
    }
    return Fill::kFull;
}

int poll_locked(Mp3Memory &m) {
    if (!m.stream) return ALMP3_POLL_NOT_PLAYING;
    auto *buf = static_cast<unsigned char *>(get_audio_stream_buffer(m.stream));
    if (!buf) return ALMP3_POLL_OK;
    const int bytes = m.frames_per_buffer * m.pcm_per_frame;
    std::memset(buf, 0, static_cast<size_t>(bytes));
    if (!m.looping && m.end_countdown > 0) return hand_over_silence(m, buf, bytes);
    if (m.restart_pending) {
        m.end_countdown = 0;
        restart_decoder(m);
    }

    DecodeRun run{buf, bytes, m.looping != 0};
    const Fill result = fill_buffer(m, run);
    hand_back(m, buf, bytes);
    switch (result) {
    case Fill::kFull:
        if (data_used_up(m)) {
            rewind_after_end(m);
            if (!m.looping) m.end_countdown = kEndSilentBuffers;
        }
        return ALMP3_POLL_OK;
    case Fill::kDataUsedUp:
        rewind_after_end(m);
        m.end_countdown = kEndSilentBuffers;
        return ALMP3_POLL_OK;
    case Fill::kDamaged:
        break;
    }
    stop_locked(m);
    rewind_after_end(m);
    return ALMP3_POLL_DAMAGED;
}

}  // namespace

}  // namespace almp3

using namespace almp3;

int almp3_poll_mp3(Mp3Memory *mp3) {
    std::lock_guard<std::mutex> hold(mp3->lock);
    return poll_locked(*mp3);
}

void almp3_autopoll_mp3(void *mp3) {
    auto *m = static_cast<Mp3Memory *>(mp3);
    // A caller busy with the object (stopping it, perhaps removing this very
    // timer) holds the lock: skip this tick rather than wait for it.
    std::unique_lock<std::mutex> hold(m->lock, std::try_to_lock);
    if (hold.owns_lock()) poll_locked(*m);
}
