// Reporting helpers: message boxes for file errors (the program goes on) and
// for set-up errors (the process ends), and hiding the pointer that the file
// selector shows.
#include <cstdlib>

#include "player.h"

namespace {

constexpr int kFatalExitStatus = -1;

const char *open_message(int code) {
    switch (code) {
        case 1: return "Could not allocate memory to read file!";
        case 2: return "Unable to physically open file!";
        case 3: return "Packet Length is a negative value!";
        case 4: return "Could not create MP3 Stream for final packet!";
        case 5: return "Could not create MP3 Stream for packet!";
        default: return "Unknown file error!";
    }
}

}  // namespace

int openerror(int code) {
    allegro_message("%s", open_message(code));
    return 1;
}

void fat_error(int code) {
    switch (code) {
        case 0: allegro_message("Unable to set graphics mode"); break;
        case 1: allegro_message("Failed to initialize sound routines"); break;
        case 2: allegro_message("Fatal error creating memory bitmap"); break;
        default: allegro_message("Fatal error %i", code); break;
    }
    std::exit(kFatalExitStatus);
}

void hidemouse() {
    poll_mouse();
    show_mouse(nullptr);
}
