#include "stream_feeder.h"

#include <algorithm>
#include <cstring>

#include "fake_allegro.h"
#include "test_files.h"

StreamPtr BlockSource::create() {
    const size_t first = std::min(bytes_.size(), static_cast<size_t>(block_len_));
    // The object always receives a whole block, zero-padded past the data.
    std::vector<unsigned char> block(static_cast<size_t>(block_len_), 0);
    if (first > 0) std::memcpy(block.data(), bytes_.data(), first);
    next_ = first;
    blocks_ = 1;
    const bool is_last = bytes_.size() <= static_cast<size_t>(block_len_);
    return StreamPtr(almp3_create_mp3stream(block.data(), is_last ? static_cast<int>(first) : block_len_, is_last));
}

bool BlockSource::feed(Mp3Stream *s) {
    auto *buf = static_cast<unsigned char *>(almp3_get_mp3stream_buffer(s));
    if (!buf) return false;
    const size_t n = std::min(bytes_.size() - next_, static_cast<size_t>(block_len_));
    if (n > 0) std::memcpy(buf, bytes_.data() + next_, n);
    next_ += n;
    ++blocks_;
    almp3_free_mp3stream_buffer(s, n == static_cast<size_t>(block_len_) ? ALMP3_WHOLE_BLOCK : static_cast<int>(n));
    return true;
}

int play_to_end(Mp3Stream *s, BlockSource &source, int max_polls) {
    int result = ALMP3_POLL_OK;
    for (int polls = 0; result == ALMP3_POLL_OK && polls < max_polls; ++polls) {
        source.feed(s);
        result = almp3_poll_mp3stream(s);
    }
    return result;
}

FedSong::FedSong(const std::string &name, int block_len)
    : bytes(read_bytes(encoded_path(name))), ref(reference_pcm(name)), source(bytes, block_len) {
    fake_allegro::reset();
    s = source.create();
}

ProtocolRun run_protocol(const std::vector<unsigned char> &bytes, int block_len, int buffer_len, int max_polls) {
    fake_allegro::reset();
    ProtocolRun run;
    BlockSource source(bytes, block_len);
    StreamPtr s = source.create();
    if (!s) return run;
    run.created = true;
    if (almp3_play_mp3stream(s.get(), buffer_len, 255, 128) == ALMP3_PLAY_OK) {
        for (int i = 0; i < max_polls; ++i) {
            source.feed(s.get());
            run.results.push_back(almp3_poll_mp3stream(s.get()));
            if (run.results.back() != ALMP3_POLL_OK) break;
        }
    }
    run.frames = almp3_get_pos_frames_mp3stream(s.get());
    run.blocks = source.blocks();
    s.reset();
    run.buffers = fake_allegro::buffers_handed_back();
    run.buffer_bytes = fake_allegro::buffer_bytes();
    run.pcm = fake_allegro::captured_signed();
    return run;
}

bool captured_begins_with(const std::vector<int16_t> &ref) {
    const auto pcm = fake_allegro::captured_signed();
    if (pcm.size() < ref.size()) return false;
    return max_sample_diff(head(pcm, ref.size()), ref) <= 1;
}
