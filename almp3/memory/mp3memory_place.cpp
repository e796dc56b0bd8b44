// Exact places in the in-memory object: the sparse frame index, walked on
// from its nearest entry, and the warm-up a frame needs before it decodes
// as it does in a decode of the whole file.
#include <algorithm>

#include "format/frame_walk.h"
#include "memory/mp3memory_record.h"

namespace almp3 {

namespace {

// The bit reservoir a Layer III frame may reach back into: 511 bytes
// (MPEG-1) or 255 (MPEG-2 and 2.5) of the main data before it.
constexpr int kReservoirBytes = 511;
constexpr int kLsfReservoirBytes = 255;
// Bytes of a frame that are no main data, at the most: header, CRC and the
// side information of MPEG-1 stereo.
constexpr int kMostFrameOverhead = 4 + 2 + 32;
// The warm-up never reaches back further than this many frames (24-byte
// frames at 8 kbit/s need about 25 for a whole reservoir).
constexpr int kMostWarmupFrames = 48;

int reservoir_bytes(const Mp3Memory &m) {
    if (m.engine.format.layer != 3) return 0;
    return m.engine.format.samples_per_frame == 576 ? kLsfReservoirBytes : kReservoirBytes;
}

// A cursor standing just before audio frame f: at the index entry before
// it, walked on to it.
FrameCursor cursor_before(const Mp3Memory &m, int64_t f) {
    const int64_t w = f + m.info_frames;
    const int64_t entry = std::min<int64_t>(w / kFrameIndexStep, static_cast<int64_t>(m.frame_index.size()) - 1);
    FrameCursor c{m.first_frame, m.audio_len, m.frame_index[static_cast<size_t>(entry)]};
    for (int64_t i = entry * kFrameIndexStep; i < w; ++i)
        if (c.next() == 0) break;
    return c;
}

// The first audio frame to decode so that frame f decodes exactly: the
// frame before f (the filter bank's overlap comes from it) must itself have
// its reservoir, so the frames before that are fed until they hold a whole
// reservoir of main data.
int64_t warmup_start(const Mp3Memory &m, int64_t f) {
    if (f <= 0) return 0;
    const int64_t from = std::max<int64_t>(0, f - kMostWarmupFrames);
    std::vector<int> lengths;
    FrameCursor c = cursor_before(m, from);
    for (int64_t a = from; a < f; ++a) lengths.push_back(c.next());
    int64_t s = f - 1;
    int64_t covered = 0;
    const int need = reservoir_bytes(m);
    while (covered < need && s > from) {
        --s;
        covered += std::max(0, lengths[static_cast<size_t>(s - from)] - kMostFrameOverhead);
    }
    return s;
}

}  // namespace

int64_t frame_offset(const Mp3Memory &m, int64_t f) {
    if (f >= m.frame_count) return m.audio_len;
    FrameCursor c = cursor_before(m, f);
    return c.next() > 0 ? c.frame_at : m.audio_len;
}

int64_t position(const Mp3Memory &m) {
    const int64_t decoded = std::max<int64_t>(m.play_from, int64_t{m.frame_pos} * m.timeline.samples_per_frame);
    const int64_t kept = m.engine.output.pending_bytes() / m.engine.format.bytes_per_sample_frame();
    return std::max<int64_t>(0, m.timeline.to_timeline(decoded) - kept);
}

int64_t position_frame(const Mp3Memory &m) {
    const int64_t t = position(m);
    // The frames that start at the timeline's first sample (those of the
    // delay too) are all at its start: the first of them is the place.
    return t == 0 ? 0 : m.timeline.frame_of(t);
}

int64_t position_offset(const Mp3Memory &m) { return std::max(m.read_pos, m.target_offset); }

void go_to_sample(Mp3Memory &m, int64_t t) {
    const int64_t d = m.timeline.to_decoded(t);
    const int64_t f = d / m.timeline.samples_per_frame;
    m.target_offset = t == 0 ? 0 : static_cast<int>(frame_offset(m, f));
    const int64_t s = warmup_start(m, f);
    // From the first frame on, the Info frame is passed over when the core
    // restarts (restart_core), so the place reads as the data's start.
    m.read_pos = s == 0 ? 0 : static_cast<int>(frame_offset(m, s));
    m.frame_pos = static_cast<int>(s);
    m.play_from = d;
    m.restart_pending = true;
}

void rewind_object(Mp3Memory &m) { go_to_sample(m, 0); }

void move_to_sample(Mp3Memory &m, int64_t t) {
    go_to_sample(m, t);
    m.engine.output.drop_pending();
}

void restart_core(Mp3Memory &m) {
    m.engine.step.restart();
    if (m.read_pos == 0 && m.info_frames) m.engine.step.pass_over_next(m.engine.format.frame_len);
    m.restart_pending = false;
}

}  // namespace almp3
