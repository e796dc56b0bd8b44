// The decoder core: frame-at-a-time MPEG audio decoding over libmpg123.
//
// A state takes input in any slices, keeps what it has not decoded yet, and
// decodes at most one frame per decodeMP3 call. It reads and checks each
// 4-byte frame header itself, so it knows exactly whether it needs more input
// or holds a bad header, and hands libmpg123 only whole, checked frames.
#ifndef ALMP3_DECODER_CORE_H
#define ALMP3_DECODER_CORE_H

#include <cstdint>

#include "frame_header.h"

// libmpg123's handle, declared as its header does (global namespace).
struct mpg123_handle_struct;

namespace almp3 {

// Largest input a state holds: several of the largest frames (2881 bytes)
// plus a feeding chunk. A caller that goes on feeding after errors gets -1
// ("input cannot be stored") instead of an ever-growing state.
constexpr int kCoreInputCapacity = 16384;

// Output capacity the decoder layer hands the core for one frame; the most a
// Layer II/III frame decodes to is 4608 bytes (1152 stereo 16-bit samples).
constexpr int kCoreOutputCapacity = 8192;

struct DecoderState {
    // Readable after a decode: the header most recently read, also when it
    // was rejected. The table indexes (sampling_frequency, bitrate_index,
    // layer) are only meaningful when the header passed the check.
    int channels = 0;            // 1 or 2
    int lsf = 0;                 // 1 for MPEG-2 and MPEG-2.5
    int layer = 0;               // 1 to 3
    int bitrate_index = 0;       // 0 to 15
    int sampling_frequency = 0;  // 0 to 8, index into freqs
    int mode = 0;                // 3 = single channel
    int framesize = 0;           // bytes of the frame after its header; 0 when rejected
    uint32_t header = 0;         // the 4 header bytes, big-endian

    // Internal.
    mpg123_handle_struct *handle = nullptr;
    unsigned char *input = nullptr;  // kCoreInputCapacity bytes
    int held = 0;                    // bytes of input not yet decoded
};

// Makes the state ready and empty. Returns 1 on success, 0 out of memory
// (the state is then left released and decodeMP3 answers -1).
int InitMP3(DecoderState *state);

// Releases everything the state holds. Safe on a released state.
void ExitMP3(DecoderState *state);

// Appends input (may be null with input_len 0) and decodes at most one frame
// into output, never writing more than output_capacity bytes.
// Returns 0: a frame was decoded, *produced = PCM bytes written (signed
//            16-bit, native order, channels interleaved);
//         1: more input is needed; *produced is not written;
//        -1: error: bad header, frame undecodable, input cannot be stored,
//            or the frame's PCM does not fit output_capacity (the frame then
//            stays held, so a call with more room decodes it).
int decodeMP3(DecoderState *state, const unsigned char *input, int input_len,
              unsigned char *output, int output_capacity, int *produced);

// PCM bytes that the frame of the most recently read header decodes to.
int core_frame_pcm_bytes(const DecoderState *state);

// Input bytes the state still needs before the frame it holds the start of
// is whole: the rest of the 4-byte header, then the rest of the frame. Feeding
// exactly this much keeps the state from ever holding bytes past one frame,
// so whatever follows a frame (a tag, padding) is seen before it is fed.
// 0 after a refused header.
int core_input_wanted(const DecoderState *state);

// The bytes to feed next from `next`, of which avail are at hand: a whole
// frame at once when the state holds nothing and a header that passes the
// frame-header test starts there, else core_input_wanted; never more than
// avail.
int core_feed_len(const DecoderState *state, const unsigned char *next, int avail);

// True when the state holds a whole frame behind a header it accepts, which
// a decodeMP3 call without input would decode. Input fed in chunks larger
// than a frame stays held, so "no more input" is not yet "nothing to decode".
bool core_holds_frame(const DecoderState *state);

}  // namespace almp3

#endif
