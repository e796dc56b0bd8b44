// Plays one MP3 file through the streaming object and the real Allegro
// sound system, feeding it in 32768-byte blocks as the player does.
//
//   stream_play_file FILE
//
// Exit status 0 when playback ended normally (poll result 1).
#include <allegro.h>

#include <cstdio>
#include <vector>

#include "almp3.h"

namespace {

constexpr int kBlock = 32768;
constexpr int kBuffer = 65536;
constexpr int kDrainMs = 300;

int play(std::FILE *f) {
    std::vector<unsigned char> first(kBlock);
    const size_t n = std::fread(first.data(), 1, kBlock, f);
    Mp3Stream *s = almp3_create_mp3stream(first.data(), static_cast<int>(n), n < kBlock);
    if (!s) return 5;
    almp3_play_mp3stream(s, kBuffer, 255, 128);
    int result = ALMP3_POLL_OK;
    while (result == ALMP3_POLL_OK) {
        if (void *buf = almp3_get_mp3stream_buffer(s)) {
            const size_t got = std::fread(buf, 1, kBlock, f);
            almp3_free_mp3stream_buffer(s, got == kBlock ? ALMP3_WHOLE_BLOCK : static_cast<int>(got));
        }
        result = almp3_poll_mp3stream(s);
        rest(1);
    }
    rest(kDrainMs);
    almp3_destroy_mp3stream(s);
    return result == ALMP3_POLL_FINISHED ? 0 : 10 - result;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return 2;
    if (allegro_init() != 0) return 3;
    install_timer();
    // Full volume per voice: the mixer's gain is then 255/256.
    set_volume_per_voice(0);
    if (install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) != 0) return 4;
    std::FILE *f = std::fopen(argv[1], "rb");
    if (!f) return 6;
    const int status = play(f);
    std::fclose(f);
    return status;
}
END_OF_MAIN()
