// Positions, lengths and seeks of the in-memory object on the timeline that
// mpg123 decodes by default, exact to the sample: after a seek to any place,
// off frame boundaries too, the sound is mpg123's decode of the whole file
// at that place.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_allegro.h"
#include "memory_support.h"
#include "test_files.h"

namespace {

// A file, or the same file with its Xing header's magic overwritten: a VBR
// file without a header, which mpg123 decodes untrimmed, the former header
// frame as one silent frame.
struct Case {
    const char *name;
    bool without_header;
};

struct Song {
    explicit Song(const Case &c)
        : bytes(read_bytes(encoded_path(c.name))), ref(c.without_header ? raw_pcm(c.name) : reference_pcm(c.name)) {
        if (c.without_header) {
            const auto f = mpeg_frames(bytes);
            for (size_t at = 0; at + 4 <= f[0].length; ++at)
                if (!std::memcmp(&bytes[at], "Xing", 4) || !std::memcmp(&bytes[at], "Info", 4))
                    std::memcpy(&bytes[at], "Junk", 4);
        }
        m = make_memory(bytes);
        if (m) channels = almp3_get_wave_is_stereo_mp3(m.get()) ? 2 : 1;
        if (m) rate = almp3_get_wave_freq_mp3(m.get());
    }
    int64_t samples() const { return static_cast<int64_t>(ref.size()) / channels; }
    bool info_frame() const {
        const auto f = mpeg_frames(bytes);
        for (size_t at = 0; at + 4 <= f[0].length; ++at)
            if (!std::memcmp(&bytes[at], "Xing", 4) || !std::memcmp(&bytes[at], "Info", 4)) return true;
        return false;
    }
    // Samples the reference trimmed from the start: where its sound begins
    // in the untrimmed decode of the audio frames.
    int64_t trimmed_at_start(const char *name) const {
        const auto raw = raw_pcm(name);
        const size_t skip = info_frame() ? mpeg_frames(bytes)[0].samples * channels : 0;
        // A stretch of the reference well inside the sound, found in the raw
        // decode.
        constexpr size_t kAt = 20000, kWindow = 4000;
        if (ref.size() < kAt + kWindow) return -1;
        for (size_t k = skip; k + kAt + kWindow <= raw.size(); k += channels)
            if (std::equal(ref.begin() + kAt, ref.begin() + kAt + kWindow, raw.begin() + static_cast<long>(k + kAt)))
                return static_cast<int64_t>(k - skip) / channels;
        return -1;
    }
    std::vector<unsigned char> bytes;
    std::vector<int16_t> ref;
    MemoryPtr m;
    int channels = 0;
    int rate = 0;
};

const Case kCases[] = {
    {"cbr44100s.mp3", false}, {"vbr44100s.mp3", false}, {"vbr44100s.mp3", true},
    {"cbr22050s.mp3", false}, {"vbr16000m.mp3", false}, {"l2_44100s.mp2", false},
};

// Plays two buffers of three frames from the current place; the sound must
// be the reference from timeline sample t on.
void expect_sound_from(Song &s, int64_t t) {
    fake_allegro::reset();
    ASSERT_EQ(almp3_play_mp3(s.m.get(), 3 * pcm_per_frame(s.m.get()), 255, 128), 0);
    ASSERT_EQ(almp3_poll_mp3(s.m.get()), 0);
    ASSERT_EQ(almp3_poll_mp3(s.m.get()), 0);
    almp3_stop_mp3(s.m.get());
    const auto pcm = fake_allegro::captured_signed();
    const size_t from = static_cast<size_t>(t) * s.channels;
    const size_t n = std::min(pcm.size(), s.ref.size() - from);
    EXPECT_TRUE(same_pcm(head(pcm, n), std::vector<int16_t>(s.ref.begin() + static_cast<long>(from),
                                                             s.ref.begin() + static_cast<long>(from + n))))
        << "from sample " << t;
}

TEST(MemoryTimeline, LengthsCountTheSamplesOfTheReferenceDecode) {
    for (const Case &c : kCases) {
        SCOPED_TRACE(std::string(c.name) + (c.without_header ? " without header" : ""));
        Song s(c);
        ASSERT_TRUE(s.m);
        EXPECT_EQ(almp3_get_length_msecs_mp3(s.m.get()), s.samples() * 1000 / s.rate);
        EXPECT_EQ(almp3_get_length_secs_mp3(s.m.get()), s.samples() / s.rate);
        // Audio frames: every frame the headers give but an Info/Xing frame.
        EXPECT_EQ(almp3_get_length_frames_mp3(s.m.get()), static_cast<int>(mpeg_frames(s.bytes).size()) - s.info_frame());
    }
}

TEST(MemoryTimeline, SeeksLandOnTheirSampleAndPlayTheReferenceFromThere) {
    for (const Case &c : kCases) {
        SCOPED_TRACE(std::string(c.name) + (c.without_header ? " without header" : ""));
        Song s(c);
        ASSERT_TRUE(s.m);
        // Places off any frame boundary, early and late in the song.
        for (int ms : {1, 1234, 2999, 4321}) {
            SCOPED_TRACE(ms);
            almp3_seek_abs_msecs_mp3(s.m.get(), ms);
            const int64_t t = int64_t{ms} * s.rate / 1000;
            EXPECT_EQ(almp3_get_pos_msecs_mp3(s.m.get()), t * 1000 / s.rate);
            expect_sound_from(s, t);
        }
        // A relative move back from where playback stopped, and a frame seek
        // that lands on the frame's first sample of the timeline.
        almp3_seek_abs_secs_mp3(s.m.get(), 3);
        almp3_seek_rel_msecs_mp3(s.m.get(), -1500);
        expect_sound_from(s, int64_t{3} * s.rate - int64_t{1500} * s.rate / 1000);
        almp3_seek_abs_frames_mp3(s.m.get(), 77);
        EXPECT_EQ(almp3_get_pos_frames_mp3(s.m.get()), 77);
        const int64_t d = s.trimmed_at_start(c.name);
        ASSERT_GE(d, 0);
        expect_sound_from(s, 77 * int64_t{mpeg_frames(s.bytes)[0].samples} - d);
    }
}

TEST(MemoryTimeline, ByteSeeksLandOnTheFirstFrameAtOrAfterTheirByte) {
    Song s({"cbr44100s.mp3", false});
    ASSERT_TRUE(s.m);
    const auto frames = mpeg_frames(s.bytes);
    // Byte 10000 lies inside a frame: the next frame's header is the place.
    size_t k = 0;
    while (frames[k].offset < 10000) ++k;
    almp3_seek_abs_bytes_mp3(s.m.get(), 10000);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(s.m.get()), static_cast<int>(frames[k].offset));
    // Audio frame k - 1 (the Info frame is frame 0 of the file).
    EXPECT_EQ(almp3_get_pos_frames_mp3(s.m.get()), static_cast<int>(k) - 1);
    almp3_seek_rel_bytes_mp3(s.m.get(), 1);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(s.m.get()), static_cast<int>(frames[k + 1].offset));
}

TEST(MemoryTimeline, SeeksOutsideTheSoundDoNothing) {
    Song s({"cbr44100s.mp3", false});
    ASSERT_TRUE(s.m);
    const int frames = almp3_get_length_frames_mp3(s.m.get());
    almp3_seek_abs_frames_mp3(s.m.get(), 50);
    const int pos = almp3_get_pos_msecs_mp3(s.m.get());
    almp3_seek_abs_frames_mp3(s.m.get(), frames);
    almp3_seek_abs_frames_mp3(s.m.get(), -1);
    almp3_seek_rel_frames_mp3(s.m.get(), -51);  // does not clamp to 0
    almp3_seek_abs_msecs_mp3(s.m.get(), almp3_get_length_msecs_mp3(s.m.get()) + 1);
    almp3_seek_abs_secs_mp3(s.m.get(), 1000000000);  // overflows 32 bits in ms
    almp3_seek_abs_bytes_mp3(s.m.get(), static_cast<int>(s.bytes.size()));
    almp3_seek_abs_bytes_mp3(s.m.get(), -1);  // no tag in front
    EXPECT_EQ(almp3_get_pos_frames_mp3(s.m.get()), 50);
    EXPECT_EQ(almp3_get_pos_msecs_mp3(s.m.get()), pos);
}

TEST(MemoryTimeline, ByteSeeksReachIntoTheLeadingTagButNoFurther) {
    const auto bytes = read_bytes(encoded_path("id3v2.mp3"));
    MemoryPtr m = make_memory(bytes);
    ASSERT_TRUE(m);
    constexpr int kLead = 3000;
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), kLead);
    almp3_seek_abs_bytes_mp3(m.get(), 5000);
    const int reported = almp3_get_pos_bytes_mp3(m.get());
    almp3_seek_abs_bytes_mp3(m.get(), -kLead);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), kLead);
    EXPECT_EQ(almp3_get_pos_msecs_mp3(m.get()), 0);
    almp3_seek_abs_bytes_mp3(m.get(), 5000);
    almp3_seek_abs_bytes_mp3(m.get(), -kLead - 1);
    EXPECT_EQ(almp3_get_pos_bytes_mp3(m.get()), reported);
}

}  // namespace
