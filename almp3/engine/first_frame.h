// The search for the first frame of MPEG audio data, and the output format
// both decoder objects take from it.
#ifndef ALMP3_FIRST_FRAME_H
#define ALMP3_FIRST_FRAME_H

#include <optional>

#include "format/frame_header.h"

namespace almp3 {

// How far behind the leading tags the first frame is searched for.
constexpr int kFirstFrameSearchLimit = 28672;

struct FirstFrame {
    int offset = 0;      // where the frame starts
    FrameHeader header;  // as the trial decode read it
    int produced = 0;    // PCM bytes the trial decode gave
};

// Searches data[0, scan_len) byte by byte for the first offset whose header
// passes the frame-header test, whose frame decodes, and which is confirmed
// by what follows it (another frame, a tag, or the end of the scanned
// bytes). Nothing when there is none.
std::optional<FirstFrame> find_first_frame(const unsigned char *data, int scan_len);

// What the objects play, fixed by the first frame.
struct Format {
    int freq = 0;               // sampling frequency in Hz
    bool stereo = false;
    int bits = 16;              // bits per output sample
    int bitrate = 0;            // bits per second
    int layer = 0;              // 2 or 3
    int frame_len = 0;          // the first frame's length, header included
    int pcm_per_frame = 0;      // PCM bytes one frame decodes to
    int samples_per_frame = 0;  // per channel

    int bytes_per_sample_frame() const { return bits / 8 * (stereo ? 2 : 1); }
};

// The format of a first frame: the trial decode's PCM count when positive,
// else the count its header gives.
Format format_of(const FirstFrame &f);

}  // namespace almp3

#endif
