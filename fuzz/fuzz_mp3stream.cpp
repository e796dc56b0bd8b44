// Arbitrary bytes as the source of a streaming object, fed block by block as
// a player feeds it and polled to the end, with the position, length and
// seek calculations asked at every poll. The input's size picks the block
// length and the audio-stream buffer length, so small blocks (used up within
// one poll) and one-frame buffers get their share.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "almp3.h"
#include "../tests/support/fake_allegro.h"

namespace {

constexpr int kBlockLens[] = {16384, 8192, 2048, 577};
constexpr int kBufferLens[] = {4 * 4608, 4608, 2304};

void ask_positions(Mp3Stream *s, int total) {
    almp3_get_pos_msecs_mp3stream(s);
    almp3_get_length_secs_mp3stream(s, total);
    almp3_get_length_msecs_mp3stream(s, total);
    almp3_seek_abs_frames_mp3stream(s, almp3_get_pos_frames_mp3stream(s), total);
    almp3_seek_abs_secs_mp3stream(s, 3, total);
    almp3_seek_rel_msecs_mp3stream(s, -2500, total);
    almp3_seek_rel_bytes_mp3stream(s, -total, total);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0 || size > (1u << 24)) return 0;
    fake_allegro::reset();
    fake_allegro::set_capture(false);
    const int block_len = kBlockLens[size % 4];
    const int buffer_len = kBufferLens[size % 3];
    const int total = static_cast<int>(size);

    std::vector<unsigned char> block(static_cast<size_t>(block_len), 0);
    size_t pos = std::min(size, static_cast<size_t>(block_len));
    std::memcpy(block.data(), data, pos);
    const bool single = size <= static_cast<size_t>(block_len);
    Mp3Stream *s = almp3_create_mp3stream(block.data(), single ? total : block_len, single);
    if (!s) return 0;
    ask_positions(s, total);

    if (almp3_play_mp3stream(s, buffer_len, 255, 128) == 0) {
        // Every poll moves the data on or the ending along; far more polls
        // than that means the object is stuck.
        const size_t poll_limit = 4 * size + 100;
        int result = 0;
        for (size_t polls = 0; result == 0; ++polls) {
            if (polls > poll_limit) __builtin_trap();
            if (auto *buf = static_cast<unsigned char *>(almp3_get_mp3stream_buffer(s))) {
                const size_t n = std::min(size - pos, static_cast<size_t>(block_len));
                std::memcpy(buf, data + pos, n);
                pos += n;
                almp3_free_mp3stream_buffer(s, n == static_cast<size_t>(block_len) ? -1 : static_cast<int>(n));
            }
            result = almp3_poll_mp3stream(s);
            ask_positions(s, total);
        }
    }
    almp3_destroy_mp3stream(s);
    return 0;
}
