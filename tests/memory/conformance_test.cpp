// The public MPEG audio conformance streams, converted to samples and
// compared with their reference decodes. Prints one line per stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "memory_support.h"
#include "test_files.h"

namespace {

constexpr double kFullAccuracyDb = 96.0;

// Streams whose channel count changes in mid-stream: the object plays them
// in the first frame's format, which no reference decode shows.
bool changes_format(const std::string &name) { return name == "l3-he_mode.bit"; }

std::string reference_of(const std::string &name) { return name.substr(0, name.rfind('.')) + ".pcm"; }

// A first frame that is a VBR info frame ("Xing" or "Info" near its start)
// decodes as one frame of silence that the reference does not have.
bool begins_with_info_frame(const std::vector<unsigned char> &bytes, int first) {
    const int end = std::min<int>(static_cast<int>(bytes.size()) - 4, first + 40);
    for (int i = first; i < end; ++i)
        if (!std::memcmp(&bytes[i], "Xing", 4) || !std::memcmp(&bytes[i], "Info", 4)) return true;
    return false;
}

TEST(MemoryConformance, AcceptedStreamsDecodeToFullAccuracy) {
    if (!conformance_available()) GTEST_SKIP() << "no conformance streams beside the repository";
    const auto &names = conformance_streams();
    ASSERT_FALSE(names.empty());
    std::printf("%-40s %8s %10s %10s %9s %9s\n", "stream", "frames", "sample", "reference", "PSNR", "PSNR held");
    for (const auto &name : names) {
        SCOPED_TRACE(name);
        const auto bytes = read_bytes(conformance_path(name));
        MemoryPtr m = make_memory(bytes);
        const bool must_refuse = name.rfind("l1-", 0) == 0 || name == "l3-he_free.bit";
        if (!m) {
            std::printf("%-40s refused\n", name.c_str());
            continue;
        }
        EXPECT_FALSE(must_refuse);
        SamplePtr s(almp3_create_sample_from_mp3(m.get()));
        if (!s) {
            std::printf("%-40s %8d no sample (damaged data)\n", name.c_str(), almp3_get_length_frames_mp3(m.get()));
            continue;
        }
        auto pcm = sample_signed(s.get());
        if (begins_with_info_frame(bytes, almp3_get_pos_bytes_mp3(m.get())))
            pcm.erase(pcm.begin(), pcm.begin() + std::min<size_t>(pcm.size(), pcm_per_frame(m.get()) / 2));
        const std::string ref_path = conformance_path(reference_of(name));
        if (!has_conformance_reference(name)) {
            std::printf("%-40s %8d %10zu %10s\n", name.c_str(), almp3_get_length_frames_mp3(m.get()), pcm.size() * 2,
                        "none");
            continue;
        }
        const auto ref = read_pcm(ref_path);
        // The sample holds frame_count frames: a count from the first frame's
        // length can fall short of the frames present, whose tail is then
        // not in the sample. Accuracy is judged over what the sample holds.
        const size_t common = std::min(pcm.size(), ref.size());
        const double whole = psnr_db(pcm, ref);
        const double held = psnr_db(head(pcm, common), head(ref, common));
        std::printf("%-40s %8d %10zu %10zu %9.1f %9.1f", name.c_str(), almp3_get_length_frames_mp3(m.get()),
                    pcm.size() * 2, ref.size() * 2, whole, held);
        if (held >= kFullAccuracyDb || changes_format(name)) {
            std::printf("\n");
            continue;
        }
        // Below the bar: the deviation must be the decoder library's, i.e.
        // the sample is what the mpg123 command line decodes.
        auto cli = command_line_decode(conformance_path(name));
        const auto ours = sample_signed(s.get());
        const size_t n = std::min(ours.size(), cli.size());
        // Frames that reach back before the stream are silence here.
        const size_t quiet = std::min(cut_off_frames(bytes) * pcm_per_frame(m.get()) / 2, n);
        std::fill(cli.begin(), cli.begin() + static_cast<long>(quiet), 0);
        const bool as_library = same_pcm(head(ours, n), head(cli, n));
        std::printf("  mpg123 itself: %.1f dB%s\n", psnr_db(cli, ref), as_library ? ", sample equal to it" : "");
        EXPECT_TRUE(as_library);
    }
}

TEST(MemoryConformance, LayerIAndFreeFormatAreRefused) {
    if (!conformance_available()) GTEST_SKIP() << "no conformance streams beside the repository";
    for (const char *name : {"l1-fl1.bit", "l3-he_free.bit"}) {
        SCOPED_TRACE(name);
        const auto bytes = read_bytes(conformance_path(name));
        EXPECT_FALSE(make_memory(bytes));
    }
}

// Every stream, also the odd ones, played through with and without looping
// and with seeks: nothing may crash or hang.
TEST(MemoryConformance, OddStreamsPlayAndSeekSafely) {
    if (!conformance_available()) GTEST_SKIP() << "no conformance streams beside the repository";
    for (const auto &name : conformance_streams()) {
        SCOPED_TRACE(name);
        const auto bytes = read_bytes(conformance_path(name));
        MemoryPtr m = make_memory(bytes);
        if (!m) continue;
        const Playback once = play_through(m.get(), 2, 0, 100000);
        ASSERT_FALSE(once.results.empty());
        EXPECT_NE(once.results.back(), 0);
        almp3_seek_abs_bytes_mp3(m.get(), static_cast<int>(bytes.size()) / 3);
        const Playback looped = play_through(m.get(), 3, 1, 50);
        EXPECT_TRUE(looped.results.back() == 0 || looped.results.back() == -2);
        almp3_seek_rel_frames_mp3(m.get(), -1);
        // A time seek lands on the frame that is playing at that time.
        almp3_seek_abs_msecs_mp3(m.get(), 1000);
        if (almp3_get_length_msecs_mp3(m.get()) > 1000) {
            const int pos = almp3_get_pos_msecs_mp3(m.get());
            EXPECT_LE(pos, 1000);
            EXPECT_GT(pos, 1000 - almp3_get_msecs_per_frame_mp3(m.get()) - 1);
        }
    }
}

}  // namespace
