// What both decoder objects share: the frame-header test, the search for the
// first frame and the conversion of decoded PCM to the unsigned samples
// Allegro plays. Tags, the Xing header, the frame walk and timing have
// modules of their own, included here for the objects.
#ifndef ALMP3_FRAME_H
#define ALMP3_FRAME_H

#include <cstdint>

#include "decoder_core.h"
#include "frame_header.h"
#include "frame_walk.h"
#include "tags.h"
#include "timing.h"
#include "xing.h"

namespace almp3 {

// How far into a block the first frame is searched for.
constexpr int kFirstFrameSearchLimit = 28672;
// How many byte positions one resynchronisation may search.
constexpr int kResyncSearchLimit = 16384;

// True when the 4 bytes at pos lie inside [0, len) and form a Layer II/III
// frame header: sync, known version, bit-rate index neither free nor
// invalid, known sampling frequency.
bool frame_header_ok(const unsigned char *data, int64_t pos, int64_t len);
// The same test on a header word.
bool header_word_ok(uint32_t header);

// The parameters of an accepted first frame, taken from the trial decode.
struct FirstFrame {
    int offset;             // where the frame starts
    int layer;              // 1 to 3
    int lsf;
    int mode;
    int channels;
    int sampling_frequency; // index into freqs
    int bitrate_index;
    int framesize;          // bytes after the header
    int produced;           // PCM bytes the trial decode gave
};

// Searches data[0, scan_len) byte by byte for the first offset whose header
// passes the test, whose frame decodes, and which is followed by another
// valid header, a tag, padding or the end of the scanned bytes. Returns
// false if none.
bool find_first_frame(const unsigned char *data, int scan_len, FirstFrame *found);

// PCM bytes of one frame: the trial decode's count when positive, otherwise
// worked out from the layer, frequency and channels.
int pcm_per_frame_of(const FirstFrame &f);

// Flips the top bit of every 16-bit sample: signed PCM becomes unsigned.
void pcm_to_unsigned(unsigned char *buf, int bytes);

}  // namespace almp3

#endif
