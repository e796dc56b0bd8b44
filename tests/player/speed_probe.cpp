// Plays a song through the player's own feeder on the real Allegro library
// and changes its speed while it plays, as a caller of Change_Speed would.
//
//   speed_probe SONG CHANGE...
//
// Prints the song's rate, then for each change the speed and the frequency
// Allegro's voice then plays at; then feeds the song to its end at the last
// speed. Exit status 0 when the song ended normally.
#include <allegro.h>

#include <cstdio>
#include <cstdlib>

#include "player.h"

namespace {

constexpr int kDrainMs = 300;

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) return 2;
    if (allegro_init() != 0) return 3;
    install_timer();
    // Full volume per voice, as the player's own start-up sets it.
    set_volume_per_voice(0);
    if (install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) != 0) return 4;
    Change_Settings(kMaxLevel, kCentrePanning, kNormalSpeed, 0, 0);
    Current_MP3 = open_mp3_file(argv[1]);
    if (!Current_MP3) return 5;
    play_mp3_file();
    Mp3Stream *stream = Current_MP3->stream;
    const AUDIOSTREAM *output = almp3_get_audiostream_mp3stream(stream);
    if (!output) return 6;
    std::printf("rate %d\n", almp3_get_wave_freq_mp3stream(stream));
    for (int i = 2; i < argc; ++i) {
        Change_Speed(static_cast<int>(std::strtol(argv[i], nullptr, 10)));
        std::printf("speed %d voice %d\n", Speed, voice_get_frequency(output->voice));
    }
    std::fflush(stdout);
    int result = 0;
    while (result == 0) {
        result = poll_mp3_file(Current_MP3);
        rest(1);
    }
    rest(kDrainMs);
    close_mp3_file();
    return result == ALMP3_POLL_FINISHED ? 0 : 7;
}
END_OF_MAIN()
