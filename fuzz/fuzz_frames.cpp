// The frame and tag readers on their own, over arbitrary bytes: the header
// test and its fields, the tags passed over before, between and after
// frames, the frame walk, and the Xing header with its checks and table of
// contents. Every result must lie inside the data or say plainly that it
// does not; anything else traps.
#include <cstdint>
#include <optional>

#include "almp3.h"
#include "format/frame_header.h"
#include "format/frame_walk.h"
#include "format/tags.h"
#include "format/xing.h"
#include "fuzz_input.h"

// The decoder layer's internals.
using namespace almp3;

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

void headers(const unsigned char *d, int64_t len) {
    for (int64_t pos = 0; pos + kHeaderBytes <= len && pos < 64; ++pos) {
        const uint32_t word = be32(d + pos);
        const FrameHeader h = read_header(word);
        const bool ok = h.framesize > 0;
        // Every header the core can decode, Layer I aside, passes the test.
        check(!ok || h.layer == 1 || frame_header_test(h));
        const int n = frame_len_at(d, pos, len);
        check(n == 0 || (ok && n == h.framesize + kHeaderBytes));
    }
}

void tags(const unsigned char *d, int64_t len) {
    const int64_t lead = leading_gaps_len(d, len);
    check(lead >= 0);
    check(almp3_get_id3v2_length(d, static_cast<int>(len)) >= 0);
    const int64_t trail = trailing_tags_len(d, len);
    check(trail >= 0 && trail <= len);
    check(almp3_get_trailing_tag_length(d, static_cast<int>(len)) >= 0);
    for (int64_t pos = 0; pos < len && pos < 64; ++pos) {
        const Gap g = gap_at(d, pos, len);
        check(g.len >= 0);
    }
}

void walk(const unsigned char *d, int64_t len) {
    const FrameWalk w = walk_frames(d, len);
    check(w.frames >= 0 && w.audio_end >= 0 && w.audio_end <= len);
    check(w.frame_bytes >= 0 && w.frame_bytes <= len);
    const int64_t next = next_confirmed_frame(d, 0, len, kResyncSearchLimit);
    check(next >= -1 && next < len);
}

// The Xing header of a frame at the start of the data: read, checked against
// the data, and its table of contents asked for a frame the input picks.
void xing(const unsigned char *d, int64_t len, FuzzInput &in) {
    if (frame_len_at(d, 0, len) == 0) return;
    const int avail = static_cast<int>(len < INT32_MAX ? len : INT32_MAX);
    const std::optional<XingInfo> x = read_xing(d, avail, read_header(be32(d)));
    if (!x || !xing_fits(*x, len) || !(x->flags & kXingToc)) return;
    const int64_t total = xing_total_frames(*x);
    check(total > 0);
    const int64_t target = in.in_range(0, static_cast<int>(total > INT32_MAX ? INT32_MAX : total) - 1);
    const int64_t offset = xing_toc_offset(*x, target, total, len);
    check(offset >= 0 && offset <= len);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > (1u << 20)) return 0;
    const auto len = static_cast<int64_t>(size);
    FuzzInput in(data, size);
    headers(data, len);
    tags(data, len);
    walk(data, len);
    xing(data, len, in);
    return 0;
}
