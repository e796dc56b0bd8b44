// The key dispatcher: one scancode, one command. Modifiers play no part.
#include "player.h"

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
        case KEY_SPACE: Pause(); break;
        case KEY_S: Shuffling(); break;
        case KEY_F1: Open_Playlist(); break;
        case KEY_F2: Save_Playlist(); break;
        case KEY_F3: Add_to_Playlist(); break;
        case KEY_F4: Reset_Playlist(); break;
        // F6 (the screen mode stays as start-up chose it), Escape (the main
        // loop tests the key's state) and every other key do nothing.
        default: break;
    }
}
