// One decode step of the in-memory object: feeds the decoder the caller's
// data from read_pos until it gives a frame, and never lets a frame write
// more PCM than the room it is given.
#include <algorithm>
#include <cstring>

#include "mp3memory_record.h"

namespace almp3 {

namespace {

// True when the core refused a whole frame only because its PCM does not
// fit into capacity bytes (a positive size means the core accepted the
// header). The core keeps such a frame; it must be decoded here, whatever
// its layer, or it would stay held and block every later step.
bool refused_for_room(const DecoderState &d, int capacity) {
    return d.framesize > 0 && core_frame_pcm_bytes(&d) > capacity;
}

// Decodes the frame the core holds into a scratch area and keeps the first
// capacity bytes of its PCM. Frames larger than the first one only occur
// when the channel count or sampling rate changes in mid-data, which cannot
// be played in the first frame's format anyway; cutting keeps the output
// the size the caller planned for.
int decode_cut(DecoderState &d, unsigned char *out, int capacity, int *out_count) {
    unsigned char scratch[kCoreOutputCapacity];
    int produced = 0;
    const int rc = decodeMP3(&d, nullptr, 0, scratch, kCoreOutputCapacity, &produced);
    if (rc != 0) return rc;
    *out_count = std::min(produced, capacity);
    if (*out_count > 0) std::memcpy(out, scratch, static_cast<size_t>(*out_count));
    return 0;
}

}  // namespace

bool data_used_up(const Mp3Memory &m) {
    return read_offset(m) >= m.audio_len && !core_holds_frame(&m.decoder);
}

void advance_read_pos(Mp3Memory &m, int64_t n) {
    const int64_t offset = std::min<int64_t>(read_offset(m) + n, m.audio_len);
    m.read_pos = m.first_frame + offset;
}

void pass_gaps(Mp3Memory &m) {
    if (m.decoder.held > 0) return;
    while (read_offset(m) < m.audio_len && frame_len_at(m.first_frame, read_offset(m), m.audio_len) == 0) {
        const Gap g = gap_at(m.first_frame, read_offset(m), m.audio_len);
        if (g.len == 0) return;
        advance_read_pos(m, g.len);
        if (g.song_start) restart_decoder(m);
    }
}

void restart_decoder(Mp3Memory &m) {
    ExitMP3(&m.decoder);
    // Out of memory leaves the state released: every later decode is then a
    // bad frame, and the poll reports damaged data.
    InitMP3(&m.decoder);
    m.restart_pending = ALMP3_FALSE;
}

int almp3_decode_frame_mp3(Mp3Memory *mp3, const unsigned char *in, unsigned char *out, int room, int *out_count,
                           int *in_count) {
    DecoderState &d = mp3->decoder;
    const int capacity = std::clamp(room, 0, kCoreOutputCapacity);
    *in_count = 0;
    *out_count = 0;
    // A frame the decoder already holds whole needs no new input. Feeding
    // exactly what the frame lacks keeps the decoder from holding anything
    // past it.
    int rc = decodeMP3(&d, nullptr, 0, out, capacity, out_count);
    int remaining = mp3->audio_len - static_cast<int>(in - mp3->first_frame);
    while (rc == 1 && remaining > 0) {
        const int n = core_feed_len(&d, in, remaining);
        rc = decodeMP3(&d, in, n, out, capacity, out_count);
        in += n;
        *in_count += n;
        remaining -= n;
    }
    if (rc == -1 && refused_for_room(d, capacity)) rc = decode_cut(d, out, capacity, out_count);
    if (rc == 1) return kFrameDataEnded;
    if (rc != 0) return kFrameBad;
    return header_word_ok(d.header) && d.framesize > 0 ? kFrameDecoded : kFrameBad;
}

}  // namespace almp3
