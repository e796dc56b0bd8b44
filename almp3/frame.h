// What both decoder objects share: the frame-header test, the Xing header,
// the search for the first frame, the Xing table-of-contents seek and the
// conversion of decoded PCM to the unsigned samples Allegro plays.
#ifndef ALMP3_FRAME_H
#define ALMP3_FRAME_H

#include <cstdint>

#include "decoder_core.h"

// How far into a block the first frame is searched for.
constexpr int kFirstFrameSearchLimit = 28672;
// How many byte positions one resynchronisation may search.
constexpr int kResyncSearchLimit = 16384;
// Feeding chunk for streams that carry a Xing header (their frames vary).
constexpr int kXingFeedChunk = 1792;
// A trailing ID3v1 block: "TAG" and 125 more bytes.
constexpr int kTagBlockLen = 128;

// Xing header flag values.
constexpr int kXingFrames = 1;
constexpr int kXingBytes = 2;
constexpr int kXingToc = 4;
constexpr int kXingScale = 8;
constexpr int kXingTocEntries = 100;

struct XingInfo {
    int flags;
    int frames;  // when flags & kXingFrames
    int bytes;   // when flags & kXingBytes
    int scale;   // when flags & kXingScale, else -1
    unsigned char toc[kXingTocEntries];  // when flags & kXingToc
};

// True when the 4 bytes at pos lie inside [0, len) and form a Layer II/III
// frame header: sync, known version, bit-rate index neither free nor
// invalid, known sampling frequency.
bool frame_header_ok(const unsigned char *data, int64_t pos, int64_t len);
// The same test on a header word.
bool header_word_ok(uint32_t header);

// Length of the ID3v2 tag whose header starts at data[0] (header, body and
// footer when flagged), or 0 when the first 10 of len bytes are no ID3v2
// header. Only those 10 bytes are read.
int id3v2_tag_len(const unsigned char *data, int64_t len);

// Length of the tag (ID3v1, APEv2, Lyrics3 v2, or ID3v2 with a footer) that
// ends exactly at data[len], or 0 when none does. Reads only data[0, len).
int trailing_tag_len(const unsigned char *data, int64_t len);

// True when the 3 bytes at pos lie inside [0, len) and read "TAG".
bool tag_block_at(const unsigned char *data, int64_t pos, int64_t len);

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
// valid header (or by the end of the scanned bytes). Returns false if none.
bool find_first_frame(const unsigned char *data, int scan_len, FirstFrame *found);

// PCM bytes of one frame: the trial decode's count when positive, otherwise
// worked out from the layer, frequency and channels.
int pcm_per_frame_of(const FirstFrame &f);

// Reads a Xing header inside the frame that starts at data[0], of which avail
// bytes are at hand. Returns a new record (free with std::free) or null when
// there is none, it would extend past avail, or memory is short.
XingInfo *read_xing(const unsigned char *frame, int avail, const FirstFrame &f);

// Byte offset of frame target by the table of contents, interpolated over
// total bytes. Returns -1 when the table cannot place it (a negative result
// or two equal neighbouring marks): callers then use the constant-rate
// estimate. Requires flags with kXingFrames and kXingToc.
int64_t xing_toc_offset(const XingInfo &x, int target, int total);

// Flips the top bit of every 16-bit sample: signed PCM becomes unsigned.
void pcm_to_unsigned(unsigned char *buf, int bytes);

#endif
