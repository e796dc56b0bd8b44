// Reporting helpers: message boxes for file errors (the program goes on) and
// for set-up errors (the process ends).
#include <cstdlib>

#include "player.h"

namespace {

constexpr int kFatalExitStatus = -1;

const char *open_message(int code) {
    switch (code) {
        case kNoMemory: return "Could not allocate memory to read file!";
        case kCannotOpen: return "Unable to physically open file!";
        case kEmptyPacket: return "Packet Length is a negative value!";
        case kNoStreamFinal: return "Could not create MP3 Stream for final packet!";
        case kNoStream: return "Could not create MP3 Stream for packet!";
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
        case kNoGraphics: allegro_message("Unable to set graphics mode"); break;
        case kNoSound: allegro_message("Failed to initialize sound routines"); break;
        case kNoBackBuffer: allegro_message("Fatal error creating memory bitmap"); break;
        default: allegro_message("Fatal error %i", code); break;
    }
    std::exit(kFatalExitStatus);
}
