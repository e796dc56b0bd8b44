// The key dispatcher (one scancode, one command; modifiers play no part) and
// the Escape test of the main loop, which ignores the press that closed a
// dialog.
#include "player.h"

namespace {

// Escape was down when the last dialog closed: that press closed the dialog.
bool escape_from_dialog = false;

}  // namespace

void Forget_Dialog_Keys() {
    clear_keybuf();
    escape_from_dialog = key[KEY_ESC] != 0;
}

bool Quit_Requested() {
    if (!key[KEY_ESC]) {
        escape_from_dialog = false;
        return false;
    }
    return !escape_from_dialog;
}

void dokb(int scancode) {
    switch (scancode) {
        case KEY_LEFT: Previous_Song(1); break;
        case KEY_RIGHT: Next_Song(1); break;
        case KEY_INSERT: Previous_Song(Skip_Number); break;
        case KEY_DEL: Next_Song(Skip_Number); break;
        case KEY_EQUALS:
        case KEY_PLUS_PAD: Change_Volume(1); break;
        case KEY_MINUS:
        case KEY_MINUS_PAD: Change_Volume(-1); break;
        case KEY_HOME: Change_Panning(-1); break;
        case KEY_END: Change_Panning(1); break;
        case KEY_UP: Playlist_Up(); break;
        case KEY_DOWN: Playlist_Down(); break;
        case KEY_PGUP: Playlist_Jump_Up(); break;
        case KEY_PGDN: Playlist_Jump_Down(); break;
        case KEY_ENTER: Play_Selected(); break;
        case KEY_BACKSPACE: Remove_Selected(); break;
        case KEY_SPACE: Pause(); break;
        case KEY_S: Shuffling(); break;
        case KEY_F1: Open_Playlist(); break;
        case KEY_F2: Save_Playlist(); break;
        case KEY_F3: Add_to_Playlist(); break;
        case KEY_F4: Reset_Playlist(); break;
        case KEY_F5: Change_Background_Image(BGImageFile); break;
        // F6 (the screen mode stays as start-up chose it), Escape (the main
        // loop tests the key's state) and every other key do nothing.
        default: break;
    }
}
