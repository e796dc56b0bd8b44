// The program's entry and its main loop: redraw, take at most one key, serve
// the media controls, feed the playing song, until Escape is held down.
#include "player.h"

namespace {

constexpr int kScancodeShift = 8;

void main_loop() {
    while (!Quit_Requested()) {
        Draw_Screen();
        if (keypressed()) dokb(readkey() >> kScancodeShift);
        // Keys that arrived during the pass are dropped.
        clear_keybuf();
#ifdef MP3PLAYER_MPRIS
        // Before the pause test: a paused player still answers.
        Process_Media_Controls();
#endif
        if (Paused) continue;
        if (Current_MP3 && poll_mp3_file(Current_MP3) != 0) Next_Song(1);
    }
}

}  // namespace

int main() {
    init();
#ifdef MP3PLAYER_MPRIS
    Open_Media_Controls();
#endif
    if (exists(kDefaultPlaylist)) Populate();
    main_loop();
    deinit();
    return 0;
}
END_OF_MAIN()
