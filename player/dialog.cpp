// The file dialogs: the one file chooser and the hold that keeps the music
// as it was around a dialog.
#include "player.h"

namespace {

// The file dialogs take a quarter of the screen in each direction.
constexpr int kDialogFraction = 4;

}  // namespace

Playback_Hold::Playback_Hold() {
    if (Current_MP3) almp3_pause_mp3stream(Current_MP3->stream);
}

Playback_Hold::~Playback_Hold() { Apply_Pause_State(); }

int Choose_File(const char *title, char *path, const char *filter) {
    const int chosen =
        file_select_ex(title, path, filter, kPathSize, SCREEN_W / kDialogFraction, SCREEN_H / kDialogFraction);
    hidemouse();
    Forget_Dialog_Keys();
    return chosen;
}
