// The fields of an MPEG audio frame header and the length of the frame it
// describes: the one reading of a header that the decoder core, the frame
// walk and both decoder objects share.
#ifndef ALMP3_FRAME_HEADER_H
#define ALMP3_FRAME_HEADER_H

#include <cstdint>

namespace almp3 {

constexpr int kHeaderBytes = 4;

struct FrameHeader {
    int lsf = 0;                 // 1 for MPEG-2 and MPEG-2.5
    int layer = 0;               // 1 to 3
    int bitrate_index = 0;       // 0 to 15
    int sampling_frequency = 0;  // 0 to 8, index into freqs
    int mode = 0;                // 3 = single channel
    int channels = 0;            // 1 or 2
    int framesize = 0;           // bytes of the frame after its header; 0 when refused
};

// Reads the fields of header word h into *f. Returns true when a frame with
// this header can be decoded: sync, known version, layer, bit rate (free
// format is refused) and sampling frequency, a positive size and, for Layer
// II joint stereo, a stereo bound within the coded subbands. A refused header
// leaves framesize 0; the other fields are then filled only as far as the
// bits allow (the table indexes are meaningless).
bool parse_header(uint32_t h, FrameHeader *f);

// Samples per channel that one frame of this header decodes to.
int header_samples(const FrameHeader &f);

// The 4 bytes at p as a big-endian word.
inline uint32_t be32(const unsigned char *p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Whole length (header included) of the Layer II/III frame whose header lies
// at data[pos], when all 4 header bytes lie inside [0, len) and the header
// passes the frame-header test; 0 otherwise.
int frame_len_at(const unsigned char *data, int64_t pos, int64_t len);

// Sampling frequency in Hz by index (MPEG-1: 0-2, MPEG-2: 3-5, MPEG-2.5: 6-8).
extern const int freqs[9];
// Bit rates in kbit/s by [lsf][layer - 1][bitrate index].
extern const int tabsel_123[2][3][16];

}  // namespace almp3

#endif
