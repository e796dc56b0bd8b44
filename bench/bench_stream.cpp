// Decoding speed of the streaming object against libmpg123 used directly.
//
//   bench_stream FILE [ROUNDS]
//
// Both decode the same bytes in the same run: the streaming object fed in
// 32768-byte blocks with a 65536-byte audio buffer (the fake audio stream
// always has a free buffer), and libmpg123 in plain feed mode fed the same
// blocks. Each is timed ROUNDS times (default 5), alternating; the best
// time of each is printed with their ratio, also without the time spent in
// the fake audio stream (measured on its own for the same buffers).
#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "almp3.h"
#include "../tests/support/fake_allegro.h"

namespace {

constexpr int kBlock = 32768;
constexpr int kBuffer = 65536;
constexpr int kOutChunk = 1 << 16;
// The fake keeps every buffer it is given; forget them now and then.
constexpr int kPollsBetweenResets = 256;

using Clock = std::chrono::steady_clock;

struct Result {
    double seconds;
    long long pcm_bytes;
    long long buffers;  // audio-stream buffers handed back
    int buffer_bytes;
};

Result through_stream(const std::vector<unsigned char> &file) {
    const auto start = Clock::now();
    fake_allegro::reset();
    const size_t first = std::min(file.size(), static_cast<size_t>(kBlock));
    const bool single = first == file.size();
    Mp3Stream *s = almp3_create_mp3stream(file.data(), static_cast<int>(first), single);
    if (!s || almp3_play_mp3stream(s, kBuffer, 255, 128) != ALMP3_PLAY_OK) {
        std::fprintf(stderr, "the streaming object refuses the file\n");
        std::exit(1);
    }
    int buffer_bytes = 0;
    almp3_get_output_wave_mp3stream(s, &buffer_bytes);
    size_t pos = first;
    long long buffers = 0;
    int result = ALMP3_POLL_OK;
    while (result == ALMP3_POLL_OK) {
        if (auto *buf = static_cast<unsigned char *>(almp3_get_mp3stream_buffer(s))) {
            const size_t n = std::min(file.size() - pos, static_cast<size_t>(kBlock));
            std::copy(file.begin() + static_cast<long>(pos), file.begin() + static_cast<long>(pos + n), buf);
            pos += n;
            almp3_free_mp3stream_buffer(s, n == kBlock ? ALMP3_WHOLE_BLOCK : static_cast<int>(n));
        }
        result = almp3_poll_mp3stream(s);
        if (++buffers % kPollsBetweenResets == 0) fake_allegro::reset();
    }
    // MPEG-2 and 2.5 Layer III frames hold 576 samples, all others 1152.
    const int samples = almp3_get_layer_mp3stream(s) == 3 && almp3_get_wave_freq_mp3stream(s) <= 24000 ? 576 : 1152;
    const int channels = almp3_get_wave_is_stereo_mp3stream(s) ? 2 : 1;
    const long long pcm = static_cast<long long>(almp3_get_pos_frames_mp3stream(s)) * samples * channels * 2;
    almp3_destroy_mp3stream(s);
    return {std::chrono::duration<double>(Clock::now() - start).count(), pcm, buffers, buffer_bytes};
}

// What the fake audio stream itself costs for that many buffers (it fills
// each lent buffer with a pattern and keeps a copy of each one handed back),
// so that it can be told apart from the decoder layer's own time.
double fake_allegro_seconds(long long buffers, int buffer_bytes) {
    const auto start = Clock::now();
    fake_allegro::reset();
    AUDIOSTREAM *stream = play_audio_stream(buffer_bytes / 4, 16, -1, 44100, 255, 128);
    for (long long i = 0; i < buffers; ++i) {
        if (void *p = get_audio_stream_buffer(stream)) static_cast<unsigned char *>(p)[0] = 0;
        free_audio_stream_buffer(stream);
        if ((i + 1) % kPollsBetweenResets == 0) fake_allegro::reset();
    }
    stop_audio_stream(stream);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

Result through_libmpg123(const std::vector<unsigned char> &file) {
    const auto start = Clock::now();
    int err = MPG123_OK;
    mpg123_handle *h = mpg123_new(nullptr, &err);
    mpg123_param(h, MPG123_VERBOSE, 0, 0);
    mpg123_format_none(h);
    const long *rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i) mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_open_feed(h);
    std::vector<unsigned char> out(kOutChunk);
    long long pcm = 0;
    for (size_t pos = 0; pos < file.size(); pos += kBlock) {
        const size_t n = std::min(file.size() - pos, static_cast<size_t>(kBlock));
        size_t done = 0;
        int rc = mpg123_decode(h, file.data() + pos, n, out.data(), out.size(), &done);
        pcm += static_cast<long long>(done);
        while (rc == MPG123_OK || rc == MPG123_NEW_FORMAT) {
            rc = mpg123_decode(h, nullptr, 0, out.data(), out.size(), &done);
            pcm += static_cast<long long>(done);
        }
    }
    mpg123_delete(h);
    return {std::chrono::duration<double>(Clock::now() - start).count(), pcm, 0, 0};
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [ROUNDS]\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    double best_stream = 1e30;
    double best_direct = 1e30;
    double best_fake = 1e30;
    Result stream{};
    Result direct{};
    for (int r = 0; r < rounds; ++r) {
        stream = through_stream(file);
        direct = through_libmpg123(file);
        best_stream = std::min(best_stream, stream.seconds);
        best_direct = std::min(best_direct, direct.seconds);
        best_fake = std::min(best_fake, fake_allegro_seconds(stream.buffers, stream.buffer_bytes));
    }
    const double layer = best_stream - best_fake;
    std::printf("file              %s (%zu bytes)\n", argv[1], file.size());
    std::printf("streaming object  %.3f s  (%lld PCM bytes, %lld buffers)\n", best_stream, stream.pcm_bytes,
                stream.buffers);
    std::printf("  fake Allegro    %.3f s  of that\n", best_fake);
    std::printf("libmpg123 direct  %.3f s  (%lld PCM bytes)\n", best_direct, direct.pcm_bytes);
    std::printf("ratio             %.3f  (decoder layer without the fake: %.3f)\n", best_stream / best_direct,
                layer / best_direct);
    return 0;
}
