// Helpers for the in-memory object's tests: owning wrappers, playing a whole
// file through the fake audio stream, and building variants of real files.
#ifndef MEMORY_SUPPORT_H
#define MEMORY_SUPPORT_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "almp3.h"

struct MemoryDeleter {
    void operator()(Mp3Memory *m) const { almp3_destroy_mp3(m); }
};
using MemoryPtr = std::unique_ptr<Mp3Memory, MemoryDeleter>;

struct SampleDeleter {
    void operator()(SAMPLE *s) const { destroy_sample(s); }
};
using SamplePtr = std::unique_ptr<SAMPLE, SampleDeleter>;

// The object reads the data in place: it must outlive the object, so a
// temporary is refused at compile time.
inline MemoryPtr make_memory(const std::vector<unsigned char> &data) {
    return MemoryPtr(almp3_create_mp3(data.data(), static_cast<int>(data.size())));
}
MemoryPtr make_memory(std::vector<unsigned char> &&data) = delete;

// What a playback run handed over.
struct Playback {
    std::vector<int> results;    // every poll result, the last one non-zero
    std::vector<int16_t> pcm;    // the captured buffers as signed samples
    int buffers = 0;             // buffers handed back
};

// Plays from the object's current place with buffers of `frames` frames and
// polls until a poll returns non-zero (at most max_polls polls).
Playback play_through(Mp3Memory *m, int frames, int loop, int max_polls);

// The sample's data as signed samples.
std::vector<int16_t> sample_signed(const SAMPLE *s);

// Bytes of the PCM of one frame of the object.
int pcm_per_frame(Mp3Memory *m);

// The data followed by a 128-byte "TAG" block.
std::vector<unsigned char> with_trailing_tag(const std::vector<unsigned char> &data);

// Equal lengths and no sample more than 1 LSB apart (libmpg123's code
// paths differ by that much).
::testing::AssertionResult same_pcm(const std::vector<int16_t> &a, const std::vector<int16_t> &b);

// True when every sample is 0 (signed silence).
bool all_zero(const std::vector<int16_t> &pcm, size_t from, size_t to);

#endif
