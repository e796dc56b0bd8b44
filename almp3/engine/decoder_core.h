// The decoder core: frame-at-a-time MPEG audio decoding over libmpg123.
//
// A state takes input in any slices, keeps what it has not decoded yet, and
// decodes at most one frame per call. It reads and checks each 4-byte frame
// header itself, so it knows exactly whether it needs more input or holds a
// bad header, and hands libmpg123 only whole, checked frames.
#ifndef ALMP3_DECODER_CORE_H
#define ALMP3_DECODER_CORE_H

#include "format/frame_header.h"

// libmpg123's handle, declared as its header does (global namespace).
struct mpg123_handle_struct;

namespace almp3 {

// Largest input a state holds: several of the largest frames (2881 bytes)
// plus a feeding chunk. A caller that goes on feeding after errors gets
// CoreResult::kBad ("input cannot be stored") instead of an ever-growing
// state.
constexpr int kCoreInputCapacity = 16384;

// The most PCM one Layer II/III frame decodes to: 1152 stereo 16-bit
// samples.
constexpr int kMaxFramePcm = 4608;

enum class CoreResult {
    kFrame,     // a frame was decoded
    kNeedMore,  // more input is needed before the frame at hand is whole
    kBad,       // bad header, undecodable frame, input that cannot be
                // stored, or (decodeMP3 only) PCM that does not fit
};

// Decoded PCM: signed 16-bit, native order, channels interleaved. A view
// into the state, valid until its next call.
struct Pcm {
    const unsigned char *data = nullptr;
    int bytes = 0;
};

struct DecoderState {
    // The header most recently read, also when it was refused (framesize 0).
    FrameHeader header;

    // Internal.
    mpg123_handle_struct *handle = nullptr;
    unsigned char *input = nullptr;  // kCoreInputCapacity bytes
    int held = 0;                    // bytes of input not yet decoded
    // Layer III main data decoded since InitMP3, up to kMaxMainDataBegin:
    // the bit reservoir libmpg123 holds.
    int reservoir = 0;
    // Granules still to be heard as silence after a frame whose main data
    // began before the reservoir (see decode_frame).
    int unsettled_granules = 0;
};

// Makes the state ready and empty. Returns false out of memory (the state is
// then left released and every decode answers kBad).
bool InitMP3(DecoderState *state);

// Releases everything the state holds. Safe on a released state.
void ExitMP3(DecoderState *state);

// Forgets the input held for a frame that can never be completed (the data
// ended inside it), keeping what libmpg123 carries from frame to frame.
void drop_held_input(DecoderState *state);

// ExitMP3 then InitMP3: all fed but undecoded input is dropped.
void reset_core(DecoderState *state);

// Appends input (may be null with input_len 0) and decodes at most one
// frame; on kFrame *pcm shows its sound. A Layer III frame whose main data
// begins before the first byte fed since InitMP3 (after a seek or a
// resynchronisation) is decoded, so that libmpg123 fills its reservoir, but
// its sound is silence of the same length; so is the sound of the next two
// granules (the next frame in MPEG-1, the next two in MPEG-2 and 2.5), whose
// filter-bank overlap and synthesis history come from that frame.
CoreResult decode_frame(DecoderState *state, const unsigned char *input, int input_len, Pcm *pcm);

// decode_frame (silence included), the PCM copied into output, never more
// than output_capacity bytes; a frame whose PCM does not fit is refused
// (kBad) and stays held, so a call with more room decodes it. *produced is
// written on kFrame only.
CoreResult decodeMP3(DecoderState *state, const unsigned char *input, int input_len, unsigned char *output,
                     int output_capacity, int *produced);

// The bytes to feed next from `next`, of which avail are at hand: a whole
// frame at once when the state holds nothing and a frame starts there, else
// what the frame it holds the start of still lacks (the rest of the header,
// then the rest of the frame); never more than avail. Feeding so keeps the
// state from ever holding bytes past one frame, so whatever follows a frame
// (a tag, padding) is seen before it is fed.
int core_feed_len(const DecoderState *state, const unsigned char *next, int avail);

}  // namespace almp3

#endif
