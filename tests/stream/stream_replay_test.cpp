// A stream played again after it reported damaged data: the search for the
// next frame starts a new count, so the frames after a long run of rubbish
// are found and heard.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "almp3.h"
#include "fake_allegro.h"
#include "test_files.h"

namespace {

constexpr int kBlock = 32768;
constexpr int kBuffer = 65536;

struct StreamDeleter {
    void operator()(Mp3Stream *s) const { almp3_destroy_mp3stream(s); }
};

// Feeds blocks of data from *pos and polls until a poll returns non-zero.
int feed_and_poll(Mp3Stream *s, const std::vector<unsigned char> &data, size_t *pos) {
    for (int polls = 0; polls < 10000; ++polls) {
        if (auto *buf = static_cast<unsigned char *>(almp3_get_mp3stream_buffer(s))) {
            const size_t n = std::min(data.size() - *pos, static_cast<size_t>(kBlock));
            std::copy(data.begin() + static_cast<long>(*pos), data.begin() + static_cast<long>(*pos + n), buf);
            *pos += n;
            almp3_free_mp3stream_buffer(s, n == kBlock ? ALMP3_WHOLE_BLOCK : static_cast<int>(n));
        }
        if (const int r = almp3_poll_mp3stream(s)) return r;
    }
    return ALMP3_POLL_OK;
}

TEST(StreamReplay, PlayingAgainAfterDamageSearchesOnAndFindsTheFramesAfterIt) {
    fake_allegro::reset();
    const auto clean = read_bytes(encoded_path("l2_44100s.mp2"));
    const auto ref = reference_pcm("l2_44100s.mp2");
    // Layer II frames stand alone, so the frames after the rubbish decode as
    // in the clean file. Frame 10 of this file starts at byte 6269.
    constexpr size_t kAt = 6269;
    auto damaged = clean;
    const auto junk = sync_free_bytes(20000, 5);
    damaged.insert(damaged.begin() + static_cast<long>(kAt), junk.begin(), junk.end());

    std::unique_ptr<Mp3Stream, StreamDeleter> s(almp3_create_mp3stream(damaged.data(), kBlock, 0));
    ASSERT_TRUE(s);
    size_t pos = kBlock;
    ASSERT_EQ(almp3_play_mp3stream(s.get(), kBuffer, 255, 128), ALMP3_PLAY_OK);
    ASSERT_EQ(feed_and_poll(s.get(), damaged, &pos), ALMP3_POLL_DAMAGED);
    const int frames_before = almp3_get_pos_frames_mp3stream(s.get());

    fake_allegro::reset();
    ASSERT_EQ(almp3_play_mp3stream(s.get(), kBuffer, 255, 128), ALMP3_PLAY_OK);
    EXPECT_EQ(feed_and_poll(s.get(), damaged, &pos), ALMP3_POLL_FINISHED);
    // Every frame of the file is decoded once: those before the rubbish,
    // then all the others.
    const int frames = static_cast<int>(ref.size() / 2304);
    EXPECT_EQ(almp3_get_pos_frames_mp3stream(s.get()), frames);
    // What the second run plays is the clean file's sound after the damage,
    // decoded by a fresh decoder: its synthesis filter matches a continuous
    // decode again two frames on.
    const auto pcm = fake_allegro::captured_signed();
    const long settled = 2 * 2304;
    const long after = static_cast<long>(ref.size()) - frames_before * 2304;
    ASSERT_GE(static_cast<long>(pcm.size()), after);
    const std::vector<int16_t> want(ref.end() - after + settled, ref.end());
    EXPECT_LE(max_sample_diff(std::vector<int16_t>(pcm.begin() + settled, pcm.begin() + after), want), 1);
}

}  // namespace
