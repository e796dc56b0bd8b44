// Times almp3_create_sample_from_mp3 on a file against decoding the same
// bytes with libmpg123 directly (feed mode, one call per frame), in one run,
// and optionally the creation of an in-memory object over a long file.
//
//   bench_sample FILE [ROUNDS [LONG_FILE]]
//
// Prints the best time of each over ROUNDS rounds (default 3), and the
// ratio of the sample conversion's time to the direct decode's; with
// LONG_FILE, the best time almp3_create_mp3 takes over it. Times are the
// thread's CPU time, so other programs on the machine disturb them less.
#include <mpg123.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "almp3.h"

namespace {

// One frame of MPEG-1 stereo PCM per buffer, for the seeks.
constexpr int kSeekBuffer = 4608;
constexpr int kSeeks = 200;
const long kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The layer's path: object over the data, whole file into a new sample.
double time_sample(const std::vector<unsigned char> &file, size_t *bytes) {
    const double start = cpu_seconds();
    Mp3Memory *m = almp3_create_mp3(file.data(), static_cast<int>(file.size()));
    SAMPLE *s = m ? almp3_create_sample_from_mp3(m) : nullptr;
    const double t = cpu_seconds() - start;
    *bytes = s ? s->len * (s->stereo ? 4 : 2) : 0;
    destroy_sample(s);
    almp3_destroy_mp3(m);
    return t;
}

// libmpg123 on its own: the whole file fed at once, frames decoded one by
// one and copied into a buffer allocated up front (expected bytes, as the
// sample's is).
double time_direct(const std::vector<unsigned char> &file, size_t expected, size_t *bytes) {
    const double start = cpu_seconds();
    std::vector<unsigned char> pcm;
    pcm.reserve(expected);
    mpg123_handle *h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(h);
    for (long rate : kRates) mpg123_format(h, rate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_open_feed(h);
    mpg123_feed(h, file.data(), file.size());
    off_t num = 0;
    unsigned char *audio = nullptr;
    size_t n = 0;
    int rc;
    while ((rc = mpg123_decode_frame(h, &num, &audio, &n)) == MPG123_OK || rc == MPG123_NEW_FORMAT)
        pcm.insert(pcm.end(), audio, audio + n);
    mpg123_delete(h);
    const double t = cpu_seconds() - start;
    *bytes = pcm.size();
    return t;
}

// Creating an object over the whole file (everything it does before it can
// play: tags, first frame, Xing header, counting the frames).
double time_create(const std::vector<unsigned char> &file, bool *created) {
    const double start = cpu_seconds();
    Mp3Memory *m = almp3_create_mp3(file.data(), static_cast<int>(file.size()));
    const double t = cpu_seconds() - start;
    *created = m != nullptr;
    almp3_destroy_mp3(m);
    return t;
}

// An exact seek with its warm-up: the seek and the poll that fills the
// first buffer (one frame) from the new place, the mean over places spread
// through the file.
double time_seek(const std::vector<unsigned char> &file, bool *ok) {
    Mp3Memory *m = almp3_create_mp3(file.data(), static_cast<int>(file.size()));
    *ok = m && almp3_play_mp3(m, kSeekBuffer, 255, 128) == 0;
    if (!*ok) {
        almp3_destroy_mp3(m);
        return 0;
    }
    const int length = almp3_get_length_msecs_mp3(m);
    const double start = cpu_seconds();
    for (int i = 0; i < kSeeks; ++i) {
        almp3_seek_abs_msecs_mp3(m, static_cast<int>((i * 7919LL) % length));
        *ok = *ok && almp3_poll_mp3(m) == 0;
    }
    const double t = (cpu_seconds() - start) / kSeeks;
    almp3_destroy_mp3(m);
    return t;
}

std::vector<unsigned char> read_file(const char *path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [ROUNDS [LONG_FILE]]\n", argv[0]);
        return 2;
    }
    const std::vector<unsigned char> file = read_file(argv[1]);
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    if (file.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    double best_sample = 1e30, best_direct = 1e30;
    size_t sample_bytes = 0, direct_bytes = 0;
    for (int r = 0; r < rounds; ++r) {
        best_sample = std::min(best_sample, time_sample(file, &sample_bytes));
        best_direct = std::min(best_direct, time_direct(file, sample_bytes + 8192, &direct_bytes));
    }
    std::printf("file:            %zu bytes\n", file.size());
    std::printf("sample:          %.3f s (%zu PCM bytes)\n", best_sample, sample_bytes);
    std::printf("libmpg123 alone: %.3f s (%zu PCM bytes)\n", best_direct, direct_bytes);
    std::printf("ratio:           %.3f\n", best_sample / best_direct);
    bool created = true;
    if (argc > 3) {
        const std::vector<unsigned char> long_file = read_file(argv[3]);
        double best_create = 1e30;
        for (int r = 0; r < rounds && created; ++r) best_create = std::min(best_create, time_create(long_file, &created));
        std::printf("create over %zu bytes: %.2f ms%s\n", long_file.size(), best_create * 1000,
                    created ? "" : " (failed)");
        bool seeked = true;
        double best_seek = 1e30;
        for (int r = 0; r < rounds && seeked; ++r) best_seek = std::min(best_seek, time_seek(long_file, &seeked));
        std::printf("exact seek and first buffer in it: %.3f ms%s\n", best_seek * 1000, seeked ? "" : " (failed)");
        created = created && seeked;
    }
    return sample_bytes > 0 && direct_bytes > 0 && created ? 0 : 1;
}
