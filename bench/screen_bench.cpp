// Passes of the player's main loop per second, on the real library and
// screen: start-up as the player does it, the playlist "playlist.qpl" and
// the background "bg.jpg" from the working directory, then the loop's own
// steps (draw, one key, feed the song) for a number of seconds. Afterwards
// each part of the frame is timed on its own.
//
//   screen_bench [SECONDS]
//
// Prints the screen size, the passes per second with the processor time per
// pass, and milliseconds per call of each drawing step.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "player.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kDefaultSeconds = 5.0;
constexpr int kPartRounds = 200;
constexpr int kScancodeShift = 8;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// One pass of the main loop, as main.cpp runs it.
void loop_pass() {
    Draw_Screen();
    if (keypressed()) dokb(readkey() >> kScancodeShift);
    clear_keybuf();
    if (Paused) return;
    if (Current_MP3 && poll_mp3_file(Current_MP3) != 0) Next_Song(1);
}

// Milliseconds per call of step, in the drawing mode the frame uses.
template <typename Step>
double ms_per_call(Step step) {
    drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
    const auto start = Clock::now();
    for (int i = 0; i < kPartRounds; ++i) step();
    const double ms = seconds_since(start) * 1000.0 / kPartRounds;
    drawing_mode(DRAW_MODE_SOLID, nullptr, 0, 0);
    return ms;
}

void print_parts() {
    // As the frame draws it: the image was stretched to the screen when loaded.
    std::printf("  background %.3f ms\n", ms_per_call([] {
                    if (bgImage)
                        blit(bgImage, Scr, 0, 0, 0, 0, Scr->w, Scr->h);
                    else
                        clear_to_color(Scr, BGColor);
                }));
    std::printf("  (stretching it each frame instead: %.3f ms)\n", ms_per_call([] {
                    if (bgImage) stretch_blit(bgImage, Scr, 0, 0, bgImage->w, bgImage->h, 0, 0, Scr->w, Scr->h);
                }));
    std::printf("  Show_Current %.3f ms\n", ms_per_call(Show_Current));
    std::printf("  Show_Controls %.3f ms\n", ms_per_call(Show_Controls));
    std::printf("  Show_Playlist %.3f ms\n", ms_per_call(Show_Playlist));
    std::printf("  copy to screen %.3f ms\n", ms_per_call([] { blit(Scr, screen, 0, 0, 0, 0, Scr->w, Scr->h); }));
}

}  // namespace

int main(int argc, char **argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : kDefaultSeconds;
    init();
    if (exists(kDefaultPlaylist)) Populate();
    long passes = 0;
    const auto start = Clock::now();
    const std::clock_t cpu_start = std::clock();
    while (seconds_since(start) < seconds) {
        loop_pass();
        ++passes;
    }
    const double elapsed = seconds_since(start);
    const double cpu_ms = 1000.0 * static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    // The processor time per pass tells how busy the machine was: on a busy
    // one the passes per second fall, the time per pass hardly moves.
    std::printf("%dx%d: %d songs, background %s, %.1f passes per second, %.2f ms of processor time per pass\n",
                SCREEN_W, SCREEN_H, Number_of_Songs, bgImage ? "image" : "colour", passes / elapsed,
                cpu_ms / passes);
    print_parts();
    deinit();
    return 0;
}
END_OF_MAIN()
