// Creation and destruction of the in-memory object, and the getters of the
// first frame's parameters. The caller's data is read in place, never copied.
#include <algorithm>
#include <cstring>
#include <new>

#include "mp3memory_record.h"

namespace almp3 {

namespace {

constexpr int kBitsPerKbit = 1000;
constexpr int kBytesPerSample = 2;

void take_first_frame(Mp3Memory &m, const FirstFrame &f) {
    m.freq = freqs[f.sampling_frequency];
    m.stereo = f.channels > 1 ? ALMP3_TRUE : ALMP3_FALSE;
    m.bitrate = tabsel_123[f.lsf][f.layer - 1][f.bitrate_index] * kBitsPerKbit;
    m.layer = f.layer;
    m.frame_len = f.framesize + kHeaderBytes;
    m.pcm_per_frame = pcm_per_frame_of(f);
    m.samples_per_frame = m.pcm_per_frame / (kBytesPerSample * f.channels);
    // Without memory for the Xing record the object positions by the
    // constant-rate estimate.
    m.xing.reset(read_xing(m.first_frame, m.audio_len, f));
}

// Counts the frames by their headers. Tags and padding behind the last
// frame, and rubbish with no frame after it, are not audio: the data ends
// with the last frame. Damage with frames after it stays inside the data,
// where playback reports it.
void walk(Mp3Memory &m) {
    const FrameWalk w = walk_frames(m.first_frame, m.audio_len);
    m.frame_count = static_cast<int>(w.frames);
    m.damaged = w.damaged;
    if (!w.damaged) m.audio_len = static_cast<int>(w.audio_end);
}

}  // namespace

}  // namespace almp3

using namespace almp3;

Mp3Memory *almp3_create_mp3(const void *data, int data_len) {
    if (!data || data_len <= 0) return nullptr;
    const auto *start = static_cast<const unsigned char *>(data);
    // Tags at both ends are set aside by their sizes, whatever their size.
    const int64_t trail = trailing_tags_len(start, data_len);
    const int64_t lead = leading_gaps_len(start, data_len - trail);
    if (lead >= data_len - trail) return nullptr;
    start += lead;
    const int len = static_cast<int>(data_len - trail - lead);

    // find_first_frame accepts only headers that pass the frame-header test:
    // the frame is Layer II or III and has a positive size.
    FirstFrame first{};
    const int window = std::min(len, kFirstFrameSearchLimit);
    if (!find_first_frame(start, window, &first)) return nullptr;

    std::unique_ptr<Mp3Memory> m(new (std::nothrow) Mp3Memory);
    if (!m || !InitMP3(&m->decoder)) return nullptr;
    m->first_frame = start + first.offset;
    m->read_pos = m->first_frame;
    m->audio_len = len - first.offset;
    m->lead_len = static_cast<int>(lead) + first.offset;
    take_first_frame(*m, first);
    walk(*m);
    m->trail_len = data_len - m->lead_len - m->audio_len;
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
