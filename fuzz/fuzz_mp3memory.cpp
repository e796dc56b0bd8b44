// Fuzzes the in-memory decoder object: creation from arbitrary bytes, then
// playback polled to the end with looping, seeks and rewinds chosen from the
// input, then conversion to a sample. The whole input is the MP3 data; the
// choices are read from its tail, so seed files keep their meaning.
#include <climits>
#include <cstddef>
#include <cstdint>

#include "almp3.h"
#include "../tests/support/fake_allegro.h"
#include "fuzz_input.h"

namespace {

constexpr int kMaxPolls = 12;
constexpr int kLargestFramePcm = 4608;

void move_somewhere(Mp3Memory *m, FuzzInput &in) {
    const int value = in.any_int();
    switch (in.in_range(0, 9)) {
    case 0: almp3_seek_abs_frames_mp3(m, value); break;
    case 1: almp3_seek_abs_msecs_mp3(m, value); break;
    case 2: almp3_seek_abs_secs_mp3(m, value); break;
    case 3: almp3_seek_abs_bytes_mp3(m, value); break;
    case 4: almp3_seek_rel_frames_mp3(m, value); break;
    case 5: almp3_seek_rel_msecs_mp3(m, value); break;
    case 6: almp3_seek_rel_secs_mp3(m, value); break;
    case 7: almp3_seek_rel_bytes_mp3(m, value); break;
    case 8: almp3_rewind_mp3(m); break;
    default: almp3_set_loop_mp3(m, value & 1); break;
    }
}

void read_positions(Mp3Memory *m) {
    almp3_get_pos_frames_mp3(m);
    almp3_get_pos_msecs_mp3(m);
    almp3_get_pos_secs_mp3(m);
    almp3_get_pos_bytes_mp3(m);
    almp3_get_length_msecs_mp3(m);
    almp3_get_length_secs_mp3(m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > INT_MAX) return 0;
    fake_allegro::reset();
    fake_allegro::set_capture(false);
    Mp3Memory *m = almp3_create_mp3(data, static_cast<int>(size));
    if (!m) return 0;
    FuzzInput in(data, size);
    const int buffer_len = in.in_range(1, 2 * kLargestFramePcm);
    almp3_play_ex_mp3(m, buffer_len, 255, 128, 1000, in.in_range(0, 1));
    int result = 0;
    for (int i = 0; i < kMaxPolls && result == 0; ++i) {
        if (in.flag()) move_somewhere(m, in);
        result = almp3_poll_mp3(m);
        read_positions(m);
    }
    destroy_sample(almp3_create_sample_from_mp3(m));
    almp3_destroy_mp3(m);
    return 0;
}
