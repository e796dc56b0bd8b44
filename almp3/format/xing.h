// The Xing header ("Xing" from VBR encoders, "Info" with the same layout for
// CBR) that the first frame of a file may carry: its frame and byte counts,
// the check of those counts against the data, and its table of contents.
#ifndef ALMP3_XING_H
#define ALMP3_XING_H

#include <cstdint>
#include <optional>

#include "frame_header.h"

namespace almp3 {

// Xing header flag values.
constexpr int kXingFrames = 1;
constexpr int kXingBytes = 2;
constexpr int kXingToc = 4;
constexpr int kXingScale = 8;
constexpr int kXingTocEntries = 100;

struct XingInfo {
    int flags;
    int frames;  // when flags & kXingFrames: frames after the header's own
    int bytes;   // when flags & kXingBytes: the audio's bytes, header's frame included
    int scale;   // when flags & kXingScale, else -1
    unsigned char toc[kXingTocEntries];  // when flags & kXingToc
    // The LAME tag that encoders write behind the header's fields: the
    // samples the encoder put in front of the sound and after it.
    bool has_lame = false;
    int encoder_delay = 0;
    int encoder_padding = 0;
};

// Reads a Xing header, and the LAME tag behind it, inside the frame with header f that starts at frame[0],
// of which avail bytes are at hand. Nothing when there is none or it would
// extend past avail.
std::optional<XingInfo> read_xing(const unsigned char *frame, int avail, const FrameHeader &f);

// True when the header's frame count describes audio_bytes of audio (the
// bytes from the first frame to the end of the last): the count is present
// and one such data can hold, and the byte count, when present, is that of
// the data. Two songs joined into one file fail the check: the first one's
// header describes only the first.
bool xing_fits(const XingInfo &x, int64_t audio_bytes);

// Frames the audio holds by a header that fits: the header's count and its
// own frame, which decodes as one silent frame.
int64_t xing_total_frames(const XingInfo &x);

// Byte offset, from the first frame, of frame target of total_frames frames
// in audio_bytes of audio, by the table of contents: entry i is the byte
// position, in 256ths of the audio, of the point at i percent of the
// duration, and the places between entries are interpolated linearly.
// Requires flags with kXingToc and 0 <= target < total_frames.
int64_t xing_toc_offset(const XingInfo &x, int64_t target, int64_t total_frames, int64_t audio_bytes);

}  // namespace almp3

#endif
