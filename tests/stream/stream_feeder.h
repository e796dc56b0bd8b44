// Drives a streaming object exactly as a player does: the first block at
// creation, then, poll after poll, the next block whenever the object asks
// for one (a short final block marked by its count), against the fake
// Allegro that captures every audio-stream buffer.
#ifndef STREAM_FEEDER_H
#define STREAM_FEEDER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "almp3.h"

constexpr int kPlayerBlock = 32768;
constexpr int kPlayerBuffer = 65536;

struct StreamDeleter {
    void operator()(Mp3Stream *s) const { almp3_destroy_mp3stream(s); }
};
using StreamPtr = std::unique_ptr<Mp3Stream, StreamDeleter>;

// The source cut into blocks and handed over on request.
class BlockSource {
public:
    BlockSource(const std::vector<unsigned char> &bytes, int block_len) : bytes_(bytes), block_len_(block_len) {}

    // Creates the object from the first block (null when creation fails).
    StreamPtr create();
    // Hands the next block over if the object asks for one. Returns whether
    // it did.
    bool feed(Mp3Stream *s);
    // Blocks handed over so far, the first one included.
    int blocks() const { return blocks_; }

private:
    const std::vector<unsigned char> &bytes_;
    int block_len_;
    size_t next_ = 0;
    int blocks_ = 0;
};

// Feeds and polls until a poll returns non-zero (at most max_polls polls);
// returns the last result.
int play_to_end(Mp3Stream *s, BlockSource &source, int max_polls = 100000);

// An encoded file with its reference decode, and a stream made from its
// first block in the player's block size, on a fresh fake Allegro.
struct FedSong {
    std::vector<unsigned char> bytes;
    std::vector<int16_t> ref;
    BlockSource source;
    StreamPtr s;
    explicit FedSong(const std::string &name, int block_len = kPlayerBlock);
    FedSong(const FedSong &) = delete;  // source reads bytes in place
    FedSong &operator=(const FedSong &) = delete;
};

struct ProtocolRun {
    bool created = false;
    std::vector<int> results;  // every poll result, in order
    int frames = 0;            // frames decoded
    int blocks = 0;            // blocks handed over, the first included
    int buffers = 0;           // audio-stream buffers handed back
    int buffer_bytes = 0;      // bytes of one buffer
    std::vector<int16_t> pcm;  // everything handed back, as signed samples
};

// Creates, plays and feeds-and-polls until a poll returns non-zero (or
// max_polls polls were made), then destroys the object.
ProtocolRun run_protocol(const std::vector<unsigned char> &bytes, int block_len = kPlayerBlock,
                         int buffer_len = kPlayerBuffer, int max_polls = 100000);

// True when the sound handed to the fake Allegro so far begins with ref,
// within one LSB.
bool captured_begins_with(const std::vector<int16_t> &ref);

#endif
