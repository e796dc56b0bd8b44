// Creation, destruction, the simple getters and the playback calls of the
// streaming object.
#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "engine/first_frame.h"
#include "format/tags.h"
#include "stream/mp3stream_record.h"

namespace almp3 {

namespace {

// Offsets into the two-block window must fit an int.
constexpr int kMaxBlockLen = INT_MAX / 2;

std::unique_ptr<unsigned char[]> allocate(size_t bytes) {
    return std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[bytes]);
}

// Allocates the buffers and the object, copies the first block in and makes
// the object's decoder ready. Null when memory is short.
std::unique_ptr<Mp3Stream> allocate_stream(const unsigned char *data, int len) {
    const size_t block = static_cast<size_t>(len);
    auto block_a = allocate(block);
    auto block_b = allocate(block);
    auto window = allocate(2 * block);
    if (!block_a || !block_b || !window) return nullptr;
    std::memcpy(block_a.get(), data, block);

    std::unique_ptr<Mp3Stream> s(new (std::nothrow) Mp3Stream);
    if (!s || !s->engine.step.open()) return nullptr;
    s->block_a = std::move(block_a);
    s->block_b = std::move(block_b);
    s->window = std::move(window);
    return s;
}

// Walks the frames of the first block that follow the first frame, leaving
// out a Xing header's frame, which says nothing of the bit rate.
FrameWalk walk_first_block(const Mp3Stream &s, const unsigned char *block, int len) {
    const int from = s.lead_len + (s.xing ? s.engine.format.frame_len : 0);
    if (from >= len) return FrameWalk{};
    return walk_frames(block + from, len - from);
}

}  // namespace

}  // namespace almp3

using namespace almp3;

extern "C" {

Mp3Stream *almp3_create_mp3stream(const void *data, int len, int is_last) {
    if (!data || len <= 0 || len > kMaxBlockLen) return nullptr;
    const auto *bytes = static_cast<const unsigned char *>(data);
    // Tags and padding in front are passed over by their sizes; the search
    // for the first frame starts behind them.
    const int64_t lead = leading_gaps_len(bytes, len);
    if (lead >= len) return nullptr;
    const int start = static_cast<int>(lead);
    const int scan_len = std::min(len - start, kFirstFrameSearchLimit);

    // The frame-header test admits Layer II and III only, so a stream of any
    // other layer finds no first frame.
    std::optional<FirstFrame> first = find_first_frame(bytes + start, scan_len);
    if (!first) return nullptr;
    first->offset += start;

    std::unique_ptr<Mp3Stream> s = allocate_stream(bytes, len);
    if (!s) return nullptr;
    s->engine.format = format_of(*first);
    s->read_pos = s->lead_len = s->byte_pos = first->offset;
    s->block_len = len;
    s->last_len = is_last ? len : kNotFinal;
    // The Xing header is read from the first block only.
    s->xing = read_xing(bytes + first->offset, len - first->offset, first->header);
    // The Info/Xing frame holds no sound: it is passed over unfed.
    s->info_frames = s->xing ? 1 : 0;
    if (s->xing) s->engine.step.pass_over_next(s->engine.format.frame_len);
    s->timeline = make_timeline(s->xing, s->engine.format.samples_per_frame, -1);
    s->first_walk = walk_first_block(*s, bytes, len);
    return s.release();
}

void almp3_destroy_mp3stream(Mp3Stream *s) {
    if (!s) return;
    {
        Hold hold(s->engine.lock);
        s->engine.output.stop();
    }
    delete s;
}

// The first frame's parameters never change after creation: no lock needed.
int almp3_get_bitrate_mp3stream(Mp3Stream *s) { return s->engine.format.bitrate; }
int almp3_get_layer_mp3stream(Mp3Stream *s) { return s->engine.format.layer; }
int almp3_get_wave_bits_mp3stream(Mp3Stream *s) { return s->engine.format.bits; }
int almp3_get_wave_is_stereo_mp3stream(Mp3Stream *s) { return flag(s->engine.format.stereo); }
int almp3_get_wave_freq_mp3stream(Mp3Stream *s) { return s->engine.format.freq; }

AUDIOSTREAM *almp3_get_audiostream_mp3stream(Mp3Stream *s) {
    Hold hold(s->engine.lock);
    return s->engine.output.stream();
}

void *almp3_get_output_wave_mp3stream(Mp3Stream *s, int *size) {
    Hold hold(s->engine.lock);
    return s->engine.output.wave(size);
}

int almp3_play_ex_mp3stream(Mp3Stream *s, int buffer_len, int vol, int pan, int speed) {
    Hold hold(s->engine.lock);
    if (s->engine.output.playing()) return ALMP3_PLAY_OK;
    // A search left off at an earlier stop starts its count again.
    s->engine.step.new_search();
    return play_code(s->engine.output.play(s->engine.format, buffer_len, vol, pan, speed));
}

int almp3_play_mp3stream(Mp3Stream *s, int buffer_len, int vol, int pan) {
    return almp3_play_ex_mp3stream(s, buffer_len, vol, pan, kNormalSpeed);
}

void almp3_stop_mp3stream(Mp3Stream *s) {
    Hold hold(s->engine.lock);
    s->engine.output.stop();
}

void almp3_adjust_mp3stream(Mp3Stream *s, int vol, int pan, int speed) {
    Hold hold(s->engine.lock);
    s->engine.output.adjust(vol, pan, speed);
}

void almp3_pause_mp3stream(Mp3Stream *s) {
    Hold hold(s->engine.lock);
    s->engine.output.pause();
}

void almp3_resume_mp3stream(Mp3Stream *s) {
    Hold hold(s->engine.lock);
    s->engine.output.resume();
}

int almp3_is_playing_mp3stream(Mp3Stream *s) {
    Hold hold(s->engine.lock);
    return flag(s->engine.output.playing());
}

void almp3_start_autopoll_mp3stream(Mp3Stream *s, int ms) {
    Hold hold(s->engine.lock);
    s->engine.output.start_autopoll(ms);
}

void almp3_stop_autopoll_mp3stream(Mp3Stream *s) {
    Hold hold(s->engine.lock);
    s->engine.output.stop_autopoll();
}

void almp3_autopoll_mp3stream(void *s) { poll_from_timer(static_cast<Mp3Stream *>(s), stream_poll_locked); }

int almp3_poll_mp3stream(Mp3Stream *s) {
    Hold hold(s->engine.lock);
    return stream_poll_locked(*s);
}

}  // extern "C"
