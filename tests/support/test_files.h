// Test material: the files made by real encoders at test time (with their
// reference decodes) and the public conformance streams, plus the comparisons
// the tests make on decoded PCM.
#ifndef TEST_FILES_H
#define TEST_FILES_H

#include <cstdint>
#include <string>
#include <vector>

struct EncodedFile {
    std::string name;
    int rate;
    int channels;
    int layer;
    bool xing;  // the encoder wrote a "Xing" header
};

// The encoded files listed by the generator's manifest.
std::vector<EncodedFile> encoded_files();
std::string encoded_path(const std::string &name);
// Reference decode of an encoded file: mpg123 by default (gapless).
std::vector<int16_t> reference_pcm(const std::string &name);
// Every frame of the file decoded untrimmed, the Info frame as one silent
// frame (mpg123 --no-gapless --no-infoframe).
std::vector<int16_t> raw_pcm(const std::string &name);

// The conformance streams, when the folder beside the repository exists.
bool conformance_available();
std::string conformance_path(const std::string &name);
// Every conformance stream the suites decode, by name, in name order; each
// has its reference decode NAME-without-extension.pcm unless it is one of
// the three longer streams kept for timing and cutting (see
// has_conformance_reference). A stream missing from the folder fails the
// suites rather than passing unseen.
const std::vector<std::string> &conformance_streams();
bool has_conformance_reference(const std::string &name);

// A stream as the mpg123 command line decodes it by default (signed 16-bit,
// native order, gapless: the Info frame skipped, the LAME tag's delay and
// padding trimmed). On Linux each decode is also kept in the folder of test
// files, named by the stream's bytes; built for Windows these read the kept
// decodes.
std::vector<int16_t> command_line_decode(const std::string &path);
// The same for bytes made in a test (written to a temporary file and
// removed again); empty when the file cannot be written.
std::vector<int16_t> command_line_decode_bytes(const std::vector<unsigned char> &bytes);

// n pseudo-random bytes from seed, none of them 0xFF, so they hold no frame
// sync pattern: damage a decoder can only skip.
std::vector<unsigned char> sync_free_bytes(size_t n, unsigned seed);

// An MPEG audio frame as its header describes it, read with the standard's
// tables here in the tests, apart from the decoder layer.
struct MpegFrame {
    size_t offset;  // from the start of the bytes
    size_t length;  // with its header
    int samples;    // per channel
    int channels;
};
// The frames from the first header that another header (or the end of the
// bytes) follows, at or after `from`, one after the other up to the first
// place that holds no whole frame.
std::vector<MpegFrame> mpeg_frames(const std::vector<unsigned char> &bytes, size_t from = 0);
// Of those, the frames that lie wholly within the first `len` bytes.
int frames_within(const std::vector<unsigned char> &bytes, size_t len);

// The Xing or Info header that the first frame may carry and the LAME tag
// behind it, read here by the published layout, apart from the decoder layer.
struct InfoFrame {
    bool present = false;  // the first frame is an Info/Xing frame, no audio
    bool lame = false;     // a LAME tag follows the header's fields
    int delay = 0;         // the encoder's samples in front of the sound
    int padding = 0;       // and after it
};
InfoFrame info_frame(const std::vector<unsigned char> &bytes);
// The samples (all channels) of mpg123's default decode that the first
// `frames` frames of audio give (the end trim aside): their untrimmed
// decode less, with a LAME tag, the encoder's delay and the 529 samples of
// mpg123's own synthesis delay.
size_t default_samples(const std::vector<unsigned char> &bytes, int frames);
// Of the frames that lie wholly within the first `len` bytes, the frames of
// audio (the Info frame is none).
int audio_frames_within(const std::vector<unsigned char> &bytes, size_t len);

// A 10-byte ID3v2 header coding `size` (plus a footer flag), then size
// bytes of tag body (zeros; and a 10-byte footer when asked), then the data.
std::vector<unsigned char> with_id3v2(const std::vector<unsigned char> &data, int size, bool footer);

// Frames from the first of mpeg_frames(bytes, from) on that a decoder fed
// only the bytes from there plays as silence, by the header and side-information
// bits: Layer III frames whose main data begins before the first byte (as
// in a stream cut out of a longer one), and two granules more.
size_t cut_off_frames(const std::vector<unsigned char> &bytes, size_t from = 0);

// An encoded Layer III file cut at the frame boundary in its middle, and
// what a decoder fed from there plays: the whole file's reference decode
// from the cut, its cut-off frames silent.
struct CutFile {
    std::vector<unsigned char> bytes;
    std::vector<int16_t> expected;
    size_t silent_samples = 0;  // at the start of expected
    int frame_pcm_bytes = 0;
};
CutFile cut_layer3_file(const std::string &name);

std::vector<unsigned char> read_bytes(const std::string &path);
std::vector<int16_t> read_pcm(const std::string &path);

// The first `count` samples (or fewer when shorter).
std::vector<int16_t> head(const std::vector<int16_t> &pcm, size_t count);

// Largest absolute difference over the common length (and -1 when the
// lengths differ).
int max_sample_diff(const std::vector<int16_t> &a, const std::vector<int16_t> &b);
// Peak signal-to-noise ratio in dB of a against reference over the
// reference's length (a shorter a counts its missing tail as silence);
// 200 for identical signals.
double psnr_db(const std::vector<int16_t> &a, const std::vector<int16_t> &reference);

#endif
