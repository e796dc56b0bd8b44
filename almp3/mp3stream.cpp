// Creation, destruction and the simple getters of the streaming object.
#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "mp3stream_record.h"

namespace almp3 {

namespace {

constexpr int kBitsPerKbit = 1000;
// Offsets into the two-block window must fit an int.
constexpr int kMaxBlockLen = INT_MAX / 2;

std::unique_ptr<unsigned char[]> allocate(size_t bytes) {
    return std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[bytes]);
}

// Allocates the buffers and the object, copies the first block in and makes
// the object's decoder ready. Null when memory is short.
std::unique_ptr<Mp3Stream> allocate_stream(const unsigned char *data, int len) {
    const size_t block = static_cast<size_t>(len);
    auto block_a = allocate(block);
    auto block_b = allocate(block);
    auto window = allocate(2 * block);
    if (!block_a || !block_b || !window) return nullptr;
    std::memcpy(block_a.get(), data, block);

    std::unique_ptr<Mp3Stream> s(new (std::nothrow) Mp3Stream);
    if (!s) return nullptr;
    s->block_a = std::move(block_a);
    s->block_b = std::move(block_b);
    s->window = std::move(window);
    if (!InitMP3(&s->decoder)) return nullptr;
    return s;
}

void fill_parameters(Mp3Stream *s, const FirstFrame &f, int len, int is_last) {
    s->read_pos = s->lead_len = s->byte_pos = f.offset;
    s->current = kCurrentIsA;
    s->block_len = len;
    s->wants_block = ALMP3_TRUE;
    s->last_len = is_last ? len : kNotFinal;
    s->freq = freqs[f.sampling_frequency];
    s->bits = kOutputBits;
    s->stereo = f.channels > 1 ? ALMP3_TRUE : ALMP3_FALSE;
    s->frame_pos = 0;
    s->autopoll_on = ALMP3_FALSE;
    s->bitrate = tabsel_123[f.lsf][f.layer - 1][f.bitrate_index] * kBitsPerKbit;
    s->layer = f.layer;
    s->frame_len = f.framesize + kHeaderBytes;
    s->pcm_per_frame = pcm_per_frame_of(f);
    constexpr int kBytesPerSample = kOutputBits / 8;
    s->samples_per_frame = s->pcm_per_frame / (kBytesPerSample * f.channels);
}

// Walks the frames of the first block that follow the first frame, leaving
// out a Xing header's frame, which says nothing of the bit rate.
FrameWalk walk_first_block(const Mp3Stream &s, const unsigned char *block, int len) {
    const int from = s.lead_len + (s.xing ? s.frame_len : 0);
    if (from >= len) return FrameWalk{};
    return walk_frames(block + from, len - from);
}

}  // namespace

}  // namespace almp3

using namespace almp3;

extern "C" {

Mp3Stream *almp3_create_mp3stream(const void *data, int len, int is_last) {
    if (!data || len <= 0 || len > kMaxBlockLen) return nullptr;
    const auto *bytes = static_cast<const unsigned char *>(data);
    // Tags and padding in front are passed over by their sizes; the search
    // for the first frame starts behind them.
    const int64_t lead = leading_gaps_len(bytes, len);
    if (lead >= len) return nullptr;
    const int start = static_cast<int>(lead);
    const int scan_len = std::min(len - start, kFirstFrameSearchLimit);

    // The frame-header test admits Layer II and III only, so a stream of any
    // other layer finds no first frame.
    FirstFrame first{};
    if (!find_first_frame(bytes + start, scan_len, &first)) return nullptr;
    first.offset += start;

    std::unique_ptr<Mp3Stream> s = allocate_stream(bytes, len);
    if (!s) return nullptr;
    fill_parameters(s.get(), first, len, is_last);
    // The Xing header is read from the first block only. Without memory for
    // it the stream simply plays as one without a Xing header.
    s->xing.reset(read_xing(bytes + first.offset, len - first.offset, first));
    s->frame_count = s->xing && (s->xing->flags & kXingFrames) ? s->xing->frames : -1;
    s->first_walk = walk_first_block(*s, bytes, len);
    return s.release();
}

void almp3_destroy_mp3stream(Mp3Stream *s) {
    if (!s) return;
    {
        std::lock_guard<std::mutex> guard(s->lock);
        stream_stop_locked(s);
    }
    delete s;
}

int almp3_get_bitrate_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    return s->bitrate;
}

int almp3_get_layer_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    return s->layer;
}

int almp3_get_wave_bits_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    return s->bits;
}

int almp3_get_wave_is_stereo_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    return s->stereo;
}

int almp3_get_wave_freq_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    return s->freq;
}

AUDIOSTREAM *almp3_get_audiostream_mp3stream(Mp3Stream *s) {
    std::lock_guard<std::mutex> guard(s->lock);
    return s->stream;
}

void *almp3_get_output_wave_mp3stream(Mp3Stream *s, int *size) {
    std::lock_guard<std::mutex> guard(s->lock);
    if (!s->stream) return nullptr;
    if (size) *size = s->frames_per_buffer * s->pcm_per_frame;
    return s->stream->samp->data;
}

}  // extern "C"
