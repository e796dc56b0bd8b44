#include "stream_feeder.h"

#include <algorithm>
#include <cstring>

#include "fake_allegro.h"
#include "stream/mp3stream_record.h"
#include "test_files.h"

// The decoder layer's internals under test.
using namespace almp3;

Mp3Stream *BlockSource::create() {
    const size_t first = std::min(bytes_.size(), static_cast<size_t>(block_len_));
    // The object always receives a whole block, zero-padded past the data.
    std::vector<unsigned char> block(static_cast<size_t>(block_len_), 0);
    if (first > 0) std::memcpy(block.data(), bytes_.data(), first);
    next_ = first;
    const bool is_last = bytes_.size() <= static_cast<size_t>(block_len_);
    return almp3_create_mp3stream(block.data(), is_last ? static_cast<int>(first) : block_len_, is_last);
}

bool BlockSource::feed(Mp3Stream *s) {
    auto *buf = static_cast<unsigned char *>(almp3_get_mp3stream_buffer(s));
    if (!buf) return false;
    const size_t n = std::min(bytes_.size() - next_, static_cast<size_t>(block_len_));
    if (n > 0) std::memcpy(buf, bytes_.data() + next_, n);
    next_ += n;
    almp3_free_mp3stream_buffer(s, n == static_cast<size_t>(block_len_) ? -1 : static_cast<int>(n));
    return true;
}

ProtocolRun run_protocol(const std::vector<unsigned char> &bytes, int block_len, int buffer_len, int max_polls) {
    fake_allegro::reset();
    ProtocolRun run;
    BlockSource source(bytes, block_len);
    Mp3Stream *s = source.create();
    if (!s) return run;
    run.created = true;
    run.frame_samples = s->engine.format.pcm_per_frame / 2;
    if (almp3_play_mp3stream(s, buffer_len, 255, 128) == 0) {
        for (int i = 0; i < max_polls; ++i) {
            source.feed(s);
            run.results.push_back(almp3_poll_mp3stream(s));
            if (run.results.back() != 0) break;
        }
    }
    run.frames = almp3_get_pos_frames_mp3stream(s);
    almp3_destroy_mp3stream(s);
    run.buffers = fake_allegro::buffers_handed_back();
    run.buffer_bytes = fake_allegro::buffer_bytes();
    run.pcm = fake_allegro::captured_signed();
    return run;
}

FrameRun run_collecting_frames(const std::vector<unsigned char> &bytes, int block_len, int buffer_len,
                               const std::function<int(int)> &frame_bytes) {
    fake_allegro::reset();
    FrameRun run;
    BlockSource source(bytes, block_len);
    Mp3Stream *s = source.create();
    if (!s || almp3_play_mp3stream(s, buffer_len, 255, 128) != 0) {
        almp3_destroy_mp3stream(s);
        return run;
    }
    const size_t buffer_samples = static_cast<size_t>(fake_allegro::buffer_bytes()) / 2;
    for (int polls = 0; run.result == 0 && polls < 100000; ++polls) {
        source.feed(s);
        const int before = almp3_get_pos_frames_mp3stream(s);
        run.result = almp3_poll_mp3stream(s);
        const int after = almp3_get_pos_frames_mp3stream(s);
        size_t samples = 0;
        for (int i = before; i < after; ++i) samples += static_cast<size_t>(frame_bytes(i)) / 2;
        if (samples == 0) continue;
        if (samples < buffer_samples) ++run.short_buffers;
        const auto all = fake_allegro::captured_signed();
        const auto last = all.end() - static_cast<long>(buffer_samples);
        run.pcm.insert(run.pcm.end(), last, last + static_cast<long>(std::min(samples, buffer_samples)));
    }
    run.frames = almp3_get_pos_frames_mp3stream(s);
    almp3_destroy_mp3stream(s);
    return run;
}

bool captured_begins_with(const std::vector<int16_t> &ref) {
    const auto pcm = fake_allegro::captured_signed();
    if (pcm.size() < ref.size()) return false;
    return max_sample_diff(std::vector<int16_t>(pcm.begin(), pcm.begin() + static_cast<long>(ref.size())), ref) <= 1;
}
