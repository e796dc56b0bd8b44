// Sound controls: volume, panning, speed, pause and the shuffle switch.
#include <algorithm>
#include <climits>

#include "player.h"

namespace {

constexpr int kSpeedPerPercent = 10;

// Allegro turns a speed into the voice's frequency as rate * speed / 1000
// and keeps that frequency in 20.12 fixed point, both in an int. Speeds
// above this one overflow it at the highest MPEG rate (about 10.9 times
// normal at 48 kHz).
constexpr int kMaxSampleRate = 48000;
constexpr int kVoiceFrequencyFractionBits = 12;
constexpr long long kMaxVoiceFrequency = INT_MAX >> kVoiceFrequencyFractionBits;
constexpr int kMaxSpeed = static_cast<int>(kMaxVoiceFrequency * kNormalSpeed / kMaxSampleRate);

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
    // Summed wide: a change near either end of int cannot overflow.
    Speed = static_cast<int>(std::clamp(static_cast<long long>(Speed) + change, 0LL,
                                        static_cast<long long>(kMaxSpeed)));
    apply_settings();
}

int Get_Speed() { return Speed / kSpeedPerPercent; }

void Pause() {
    if (Number_of_Songs == 0 || !Current_MP3) return;
    Paused = Paused ? 0 : 1;
    Apply_Pause_State();
}

void Apply_Pause_State() {
    if (!Current_MP3) return;
    Mp3Stream *stream = Current_MP3->stream;
    if (Paused) {
        // The output halts with its queued sound kept, so nothing is lost.
        almp3_pause_mp3stream(stream);
        return;
    }
    // Settings changed while paused apply from the first resumed sample.
    apply_settings();
    almp3_resume_mp3stream(stream);
    // A song opened while paused has no output yet: it starts here (a song
    // already playing is left as it is).
    play_mp3_file();
}

void Shuffling() { Shuffle = Shuffle ? 0 : 1; }
