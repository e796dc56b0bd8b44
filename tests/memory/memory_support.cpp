#include "memory_support.h"

#include <cstring>

#include "fake_allegro.h"
#include "test_files.h"

namespace {

constexpr int kTagBlockLen = 128;

}  // namespace

int pcm_per_frame(Mp3Memory *m) {
    // The output size of a one-frame buffer is one frame's PCM.
    const int freq = almp3_get_wave_freq_mp3(m);
    const int layer = almp3_get_layer_mp3(m);
    const int samples = layer == 3 && freq <= 24000 ? 576 : 1152;
    return samples * 2 * (almp3_get_wave_is_stereo_mp3(m) ? 2 : 1);
}

Playback play_through(Mp3Memory *m, int frames, int loop, int max_polls) {
    fake_allegro::reset();
    Playback p;
    if (almp3_play_ex_mp3(m, frames * pcm_per_frame(m), 255, 128, 1000, loop) != 0) return p;
    for (int i = 0; i < max_polls; ++i) {
        const int r = almp3_poll_mp3(m);
        p.results.push_back(r);
        if (r != 0) break;
    }
    p.pcm = fake_allegro::captured_signed();
    p.buffers = fake_allegro::buffers_handed_back();
    return p;
}

std::vector<int16_t> sample_signed(const SAMPLE *s) {
    const size_t count = s->len * (s->stereo ? 2 : 1);
    std::vector<int16_t> out(count);
    const auto *data = static_cast<const uint16_t *>(s->data);
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<int16_t>(data[i] ^ 0x8000);
    return out;
}

std::vector<unsigned char> with_trailing_tag(const std::vector<unsigned char> &data) {
    std::vector<unsigned char> out = data;
    const size_t at = out.size();
    out.resize(at + kTagBlockLen, ' ');
    std::memcpy(out.data() + at, "TAG", 3);
    return out;
}

bool all_zero(const std::vector<int16_t> &pcm, size_t from, size_t to) {
    for (size_t i = from; i < to && i < pcm.size(); ++i)
        if (pcm[i] != 0) return false;
    return true;
}

::testing::AssertionResult same_pcm(const std::vector<int16_t> &a, const std::vector<int16_t> &b) {
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << "lengths differ: " << a.size() << " vs " << b.size();
    const int diff = max_sample_diff(a, b);
    if (diff > 1) return ::testing::AssertionFailure() << "samples differ by up to " << diff;
    return ::testing::AssertionSuccess();
}
