// The playback settings that start-up applies.
#include "player.h"

void Change_Settings(int volume, int panning, int speed, int paused, int shuffle) {
    Volume = volume;
    Panning = panning;
    Speed = speed;
    Paused = paused;
    Shuffle = shuffle;
}
