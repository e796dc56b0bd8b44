// Creation and destruction of the in-memory object, and the getters of the
// first frame's parameters. The caller's data is read in place, never copied.
#include <algorithm>
#include <cstring>
#include <new>

#include "mp3memory_record.h"

namespace {

constexpr int kHeaderBytes = 4;
// The shortest frame a Layer II/III header can describe: MPEG-2 Layer III at
// 8 kbit/s and 24000 Hz. No data holds more frames than this allows.
constexpr int kShortestFrameLen = 24;

// The Xing frame count when it is one the data can hold; otherwise the
// constant-rate estimate. A count no data of this length could hold would
// make a tiny file claim hours of audio (and a sample of gigabytes).
int frame_count_of(const Mp3Memory &m) {
    const XingInfo *x = m.xing.get();
    if (x && (x->flags & kXingFrames) && x->frames >= 0 && x->frames <= m.audio_len / kShortestFrameLen)
        return x->frames;
    return m.audio_len / m.frame_len;
}

void take_first_frame(Mp3Memory &m, const FirstFrame &f) {
    m.freq = freqs[f.sampling_frequency];
    m.stereo = f.channels > 1 ? kTrue : kFalse;
    m.bitrate = tabsel_123[f.lsf][f.layer - 1][f.bitrate_index] * 1000;
    m.layer = f.layer;
    m.frame_len = f.framesize + kHeaderBytes;
    m.pcm_per_frame = pcm_per_frame_of(f);
    // Without memory for the Xing record the object positions by the
    // constant-rate estimate.
    m.xing.reset(read_xing(m.first_frame, m.audio_len, f));
    m.frame_count = frame_count_of(m);
}

}  // namespace

Mp3Memory *almp3_create_mp3(const void *data, int data_len) {
    if (!data || data_len <= 0) return nullptr;
    const auto *start = static_cast<const unsigned char *>(data);
    int len = data_len;
    const bool trailing_tag = len >= kTagBlockLen && tag_block_at(start, len - kTagBlockLen, len);
    if (trailing_tag) len -= kTagBlockLen;
    const int tag_len = id3v2_tag_len(start, len);
    if (tag_len > len) return nullptr;
    start += tag_len;
    len -= tag_len;

    // find_first_frame accepts only headers that pass the frame-header test:
    // the frame is Layer II or III and has a positive size.
    FirstFrame first{};
    const int window = std::min(len, kFirstFrameSearchLimit);
    if (window <= 0 || !find_first_frame(start, window, &first)) return nullptr;

    std::unique_ptr<Mp3Memory> m(new (std::nothrow) Mp3Memory);
    if (!m || !InitMP3(&m->decoder)) return nullptr;
    m->first_frame = start + first.offset;
    m->read_pos = m->first_frame;
    m->audio_len = len - first.offset;
    m->lead_len = tag_len + first.offset;
    m->trail_len = trailing_tag ? kTagBlockLen : 0;
    take_first_frame(*m, first);
    return m.release();
}

void almp3_destroy_mp3(Mp3Memory *mp3) {
    if (!mp3) return;
    {
        std::lock_guard<std::mutex> hold(mp3->lock);
        stop_locked(*mp3);
    }
    delete mp3;
}

// The first frame's parameters never change after creation: no lock needed.
int almp3_get_bitrate_mp3(Mp3Memory *mp3) { return mp3->bitrate; }
int almp3_get_layer_mp3(Mp3Memory *mp3) { return mp3->layer; }
int almp3_get_wave_bits_mp3(Mp3Memory *mp3) { return mp3->bits; }
int almp3_get_wave_is_stereo_mp3(Mp3Memory *mp3) { return mp3->stereo; }
int almp3_get_wave_freq_mp3(Mp3Memory *mp3) { return mp3->freq; }
