// The MPEG audio frame header: one reading of the 4-byte word that the
// decoder core, the first-frame search, the frame walk and both decoder
// objects share, and the two checks made on it.
#ifndef ALMP3_FRAME_HEADER_H
#define ALMP3_FRAME_HEADER_H

#include <cstdint>
#include <optional>

namespace almp3 {

constexpr int kHeaderBytes = 4;

struct FrameHeader {
    uint32_t word = 0;           // the 4 header bytes, big-endian
    int lsf = 0;                 // 1 for MPEG-2 and MPEG-2.5
    int layer = 0;               // 1 to 3
    int bitrate_index = 0;       // 0 to 15
    int sampling_frequency = 0;  // 0 to 8, index into freqs
    int mode = 0;                // 3 = single channel
    int channels = 0;            // 1 or 2
    // Bytes of the frame after its header, when the core can decode such a
    // frame (see read_header); 0 otherwise.
    int framesize = 0;
};

// Reads the fields of header word h. framesize is set only when a frame
// with this header can be decoded: sync, known version and layer (Layer I
// included), bit rate (free format refused), sampling frequency, a positive
// size and, for Layer II joint stereo, a stereo bound within the coded
// subbands. Otherwise the fields are filled as far as the bits allow (the
// table indexes are then meaningless).
FrameHeader read_header(uint32_t h);

// The frame-header test of the decoder layer, made on the bits alone: sync,
// a version that is not reserved, Layer II or III, a bit-rate index neither
// free (0) nor invalid (15), a known sampling frequency. Layer I passes the
// core's reading but never this test, so neither object plays it.
bool frame_header_test(const FrameHeader &f);

// Samples per channel that one frame of this header decodes to.
int header_samples(const FrameHeader &f);

// PCM bytes (16-bit, channels interleaved) one frame of this header gives.
int header_pcm_bytes(const FrameHeader &f);

// The farthest back, in bytes, a Layer III frame's main data may begin in
// the bit reservoir (main_data_begin has 9 bits in MPEG-1, 8 in MPEG-2).
constexpr int kMaxMainDataBegin = 511;

// What a Layer III frame's side information tells of its main data.
struct MainData {
    int begin = 0;  // main_data_begin: bytes before the frame's own main data
    int bytes = 0;  // main data in the frame: what follows header, CRC and
                    // side information
};

// Reads it from the frame at `frame` (header first) of frame_len bytes with
// header f, never past frame_len; nullopt for Layer I and II, or a frame too
// short to hold its side information.
std::optional<MainData> read_main_data(const FrameHeader &f, const unsigned char *frame, int frame_len);

// The 4 bytes at p as a big-endian word.
inline uint32_t be32(const unsigned char *p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Whole length (header included) of the frame whose header lies at
// data[pos], when all 4 header bytes lie inside [0, len), the header passes
// the frame-header test and the core can decode it; 0 otherwise.
int frame_len_at(const unsigned char *data, int64_t pos, int64_t len);

// Sampling frequency in Hz by index (MPEG-1: 0-2, MPEG-2: 3-5, MPEG-2.5: 6-8).
extern const int freqs[9];
// Bit rates in kbit/s by [lsf][layer - 1][bitrate index].
extern const int tabsel_123[2][3][16];

}  // namespace almp3

#endif
