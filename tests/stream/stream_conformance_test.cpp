// The public MPEG audio test streams through the player's feeding protocol:
// every stream the layer accepts decodes to ISO full accuracy (those with a
// LAME tag trimmed as mpg123 trims them by default), the layers
// and formats it does not handle are refused, and odd files never crash it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "stream_feeder.h"
#include "test_files.h"

namespace {

constexpr double kFullAccuracyPsnr = 96.0;

std::string stem(const std::string &name) { return name.substr(0, name.rfind('.')); }

bool starts_with(const std::string &s, const char *prefix) { return s.rfind(prefix, 0) == 0; }

// Streams outside the compliance families: tags, damaged headers, cut files.
bool is_oddity(const std::string &name) {
    return starts_with(name, "l3-nonstandard-") || name == "l3-compl-cut.mp3" || name == "noise_meandr.mp3" ||
           name == "MIPSTest.mp3";
}

// Streams whose first frame is an Info frame with a LAME tag (or what is
// left of one): the reference leaves the Info frame out and trims the
// tag's delay and padding, as mpg123 does by default.
bool has_lame_tag(const std::string &name) { return name.find("vbrtag") != std::string::npos; }

// Samples (all channels) of the first frame.
size_t first_frame_samples(const std::vector<unsigned char> &bytes) {
    const auto frames = mpeg_frames(bytes);
    return frames.empty() ? 0 : static_cast<size_t>(frames[0].samples * frames[0].channels);
}

// PSNR against a .pcm reference over the part both cover, after the best of
// up to two leading frames, which some references leave out (l3-sin1k0db's
// lacks its first two). The first quiet samples of pcm, played as silence,
// are silence in the reference too.
double reference_psnr(const std::vector<int16_t> &pcm, size_t frame_samples, const std::vector<int16_t> &ref,
                      size_t quiet = 0) {
    double best = 0;
    for (size_t k = 0; k <= 2; ++k) {
        const size_t from = k * frame_samples;
        if (from >= pcm.size()) break;
        const size_t n = std::min(pcm.size() - from, ref.size());
        const std::vector<int16_t> a(pcm.begin() + from, pcm.begin() + from + n);
        std::vector<int16_t> b(ref.begin(), ref.begin() + n);
        std::fill(b.begin(), b.begin() + std::min(n, quiet > from ? quiet - from : 0), 0);
        best = std::max(best, psnr_db(a, b));
    }
    return best;
}

// A stream or reference missing from the folder would otherwise pass unseen.
TEST(StreamConformance, EveryNamedStreamAndItsReferenceAreThere) {
    if (!conformance_available()) GTEST_SKIP() << "no conformance streams beside the repository";
    for (const auto &name : conformance_streams()) {
        EXPECT_FALSE(read_bytes(conformance_path(name)).empty()) << name;
        if (has_conformance_reference(name)) {
            std::FILE *ref = std::fopen(conformance_path(stem(name) + ".pcm").c_str(), "rb");
            EXPECT_NE(ref, nullptr) << name;
            if (ref) std::fclose(ref);
        }
    }
}

TEST(StreamConformance, AcceptedStreamsDecodeAsTheCoreDoesToFullAccuracy) {
    if (!conformance_available()) GTEST_SKIP() << "no conformance streams beside the repository";
    int decoded = 0;
    for (const auto &name : conformance_streams()) {
        SCOPED_TRACE(name);
        const auto bytes = read_bytes(conformance_path(name));
        const ProtocolRun run = run_protocol(bytes);
        if (!run.created) {
            std::printf("%-40s refused\n", name.c_str());
            if (!is_oddity(name)) {
                EXPECT_TRUE(name == "l1-fl1.bit" || name == "l3-he_free.bit") << "refused";
            }
            continue;
        }
        ASSERT_FALSE(run.results.empty());
        const size_t frame_samples = first_frame_samples(bytes);
        // The command line decodes cut-off frames (l3-sin1k0db's first
        // three) without the data they reach back for; the layer, as silence.
        auto cli = command_line_decode(conformance_path(name));
        const size_t quiet = std::min(cut_off_frames(bytes, mpeg_frames(bytes).empty() ? 0 : mpeg_frames(bytes)[0].offset) *
                                          frame_samples,
                                      cli.size());
        const auto cli_sound = cli;
        std::fill(cli.begin(), cli.begin() + static_cast<long>(quiet), 0);
        const std::vector<int16_t> head(run.pcm.begin(), run.pcm.begin() + std::min(cli.size(), run.pcm.size()));
        const bool same_as_cli = max_sample_diff(head, cli) <= 1 &&
                                 std::all_of(run.pcm.begin() + head.size(), run.pcm.end(), [](int16_t v) { return v == 0; });
        const auto ref = read_pcm(conformance_path(stem(name) + ".pcm"));
        // The silence that closes the output is no part of the decode.
        const size_t decoded_samples = same_as_cli ? cli.size() : default_samples(bytes, run.frames);
        const std::vector<int16_t> ours_pcm(run.pcm.begin(),
                                            run.pcm.begin() + static_cast<long>(std::min(decoded_samples, run.pcm.size())));
        const double ours = ref.empty() ? 0 : reference_psnr(ours_pcm, frame_samples, ref, quiet);
        const double core = ref.empty() ? 0 : reference_psnr(cli_sound, frame_samples, ref);
        if (ref.empty()) {
            std::printf("%-40s no reference, %4d frames, last poll %2d%s\n", name.c_str(), run.frames,
                        run.results.back(), same_as_cli ? "" : ", differs from command line");
        } else {
            std::printf("%-40s PSNR %6.1f dB (command line %6.1f dB), %4d frames, last poll %2d%s\n", name.c_str(),
                        ours, core, run.frames, run.results.back(), same_as_cli ? "" : ", differs from command line");
        }
        if (is_oddity(name) && !has_lame_tag(name)) continue;
        decoded += !is_oddity(name);
        EXPECT_EQ(run.results.back(), ALMP3_POLL_FINISHED);
        EXPECT_TRUE(same_as_cli);
        // Where libmpg123 itself falls short of full accuracy, the layer
        // must lose nothing on top of it.
        EXPECT_GE(ours, std::min(kFullAccuracyPsnr, core - 0.5));
    }
    EXPECT_GT(decoded, 20);
}

TEST(StreamConformance, LayerOneAndFreeFormatAreRefused) {
    if (!conformance_available()) GTEST_SKIP() << "no conformance streams beside the repository";
    for (const char *name : {"l1-fl1.bit", "l3-he_free.bit"}) {
        SCOPED_TRACE(name);
        const auto bytes = read_bytes(conformance_path(name));
        const int len = static_cast<int>(std::min(bytes.size(), static_cast<size_t>(kPlayerBlock)));
        EXPECT_EQ(almp3_create_mp3stream(bytes.data(), len, 0), nullptr);
    }
}

}  // namespace
