// Sound controls (volume, panning, speed, pause, shuffle) and the text-row
// arithmetic shared by the screen areas.
#include <algorithm>

#include "player.h"

namespace {

constexpr int kSpeedPerPercent = 10;

// Pushes the current settings to the playing song at once.
void apply_settings() {
    if (Current_MP3) almp3_adjust_mp3stream(Current_MP3->stream, Volume, Panning, Speed);
}

}  // namespace

int Volume = 0;
int Panning = 0;
int Speed = 0;
int Paused = 0;
int Shuffle = 0;

void Change_Volume(int change) {
    Volume = std::clamp(Volume + change, kMinLevel, kMaxLevel);
    apply_settings();
}

void Change_Panning(int change) {
    Panning = std::clamp(Panning + change, kMinLevel, kMaxLevel);
    apply_settings();
}

void Change_Speed(int change) {
    Speed = std::max(Speed + change, 0);
    apply_settings();
}

int Get_Speed() { return Speed / kSpeedPerPercent; }

void Pause() {
    if (Number_of_Songs == 0 || !Current_MP3) return;
    if (Paused)
        play_mp3_file();
    else
        almp3_stop_mp3stream(Current_MP3->stream);
    Paused = Paused ? 0 : 1;
}

void Shuffling() { Shuffle = Shuffle ? 0 : 1; }

int Convert_Row(int row) { return row * text_height(font); }
