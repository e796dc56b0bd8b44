#include "xing.h"

#include <cstring>

namespace almp3 {

namespace {

constexpr int kXingMagicAndFlags = 8;
constexpr int kCountBytes = 4;
// The shortest frame a Layer II/III header can describe (MPEG-2 Layer III at
// 8 kbit/s and 24000 Hz) and the longest (MPEG-2 Layer II at 160 kbit/s and
// 8000 Hz, padded).
constexpr int64_t kShortestFrameLen = 24;
constexpr int64_t kLongestFrameLen = 2881;
// A byte count within a quarter of the data's still describes it: the data
// may end in bytes the caller could not leave out (zero padding, an unknown
// tag). A second song joined on is rarely that short.
constexpr int64_t kByteCountSlackDivisor = 4;
constexpr int kTocScale = 256;
// The LAME tag: a 9-byte encoder name ("LAME3.100", or "Lavf"/"Lavc" from
// other encoders writing the same layout), 12 bytes of encoding details, then
// 12 bits of encoder delay and 12 bits of padding.
constexpr int kLameDelayAt = 21;
constexpr int kLameDelayBytes = 3;
constexpr int kPercent = 100;

int xing_distance(const FrameHeader &f) {
    const bool mono = f.mode == 3;
    if (f.lsf == 0) return mono ? 21 : 36;
    return mono ? 13 : 21;
}

bool lame_name_at(const unsigned char *p) {
    return std::memcmp(p, "LAME", 4) == 0 || std::memcmp(p, "Lavf", 4) == 0 || std::memcmp(p, "Lavc", 4) == 0;
}

void read_lame(const unsigned char *frame, int avail, const unsigned char *at, XingInfo *x) {
    const int64_t offset = at - frame;
    if (offset + kLameDelayAt + kLameDelayBytes > avail || !lame_name_at(at)) return;
    const unsigned char *d = at + kLameDelayAt;
    x->has_lame = true;
    x->encoder_delay = (d[0] << 4) | (d[1] >> 4);
    x->encoder_padding = ((d[1] & 0x0F) << 8) | d[2];
}

}  // namespace

std::optional<XingInfo> read_xing(const unsigned char *frame, int avail, const FrameHeader &f) {
    const int at = xing_distance(f);
    if (at + kXingMagicAndFlags > avail) return std::nullopt;
    if (std::memcmp(frame + at, "Xing", 4) != 0 && std::memcmp(frame + at, "Info", 4) != 0) return std::nullopt;
    const int flags = static_cast<int>(be32(frame + at + 4));
    const int needed = kXingMagicAndFlags + ((flags & kXingFrames) ? kCountBytes : 0) +
                       ((flags & kXingBytes) ? kCountBytes : 0) + ((flags & kXingToc) ? kXingTocEntries : 0) +
                       ((flags & kXingScale) ? kCountBytes : 0);
    if (at + needed > avail) return std::nullopt;

    XingInfo x{};
    const unsigned char *p = frame + at + kXingMagicAndFlags;
    x.flags = flags;
    x.scale = -1;
    if (flags & kXingFrames) { x.frames = static_cast<int>(be32(p)); p += kCountBytes; }
    if (flags & kXingBytes) { x.bytes = static_cast<int>(be32(p)); p += kCountBytes; }
    if (flags & kXingToc) { std::memcpy(x.toc, p, kXingTocEntries); p += kXingTocEntries; }
    if (flags & kXingScale) { x.scale = static_cast<int>(be32(p)); p += kCountBytes; }
    read_lame(frame, avail, p, &x);
    return x;
}

bool xing_fits(const XingInfo &x, int64_t audio_bytes) {
    if (!(x.flags & kXingFrames) || x.frames < 0) return false;
    const int64_t frames = xing_total_frames(x);
    if (frames > audio_bytes / kShortestFrameLen || frames < audio_bytes / kLongestFrameLen) return false;
    if (!(x.flags & kXingBytes)) return true;
    const int64_t slack = audio_bytes / kByteCountSlackDivisor;
    return x.bytes >= audio_bytes - slack && x.bytes <= audio_bytes + slack;
}

int64_t xing_total_frames(const XingInfo &x) { return int64_t{x.frames} + 1; }

int64_t xing_toc_offset(const XingInfo &x, int64_t target, int64_t total_frames, int64_t audio_bytes) {
    // The percentage of the duration in 1/total_frames steps: i whole
    // percent and the remainder rem / total_frames of one percent.
    const int64_t scaled = target * kPercent;
    const int64_t i = scaled / total_frames;
    if (i >= kXingTocEntries) return audio_bytes - 1;
    const int64_t rem = scaled % total_frames;
    const int64_t lower = x.toc[i];
    const int64_t upper = i + 1 < kXingTocEntries ? x.toc[i + 1] : kTocScale;
    // Position in 256ths times total_frames, then in bytes (in floating
    // point: the product with the byte count may not fit 64 bits).
    const int64_t place = lower * total_frames + (upper - lower) * rem;
    const double fraction = static_cast<double>(place) / (static_cast<double>(kTocScale) * total_frames);
    const auto offset = static_cast<int64_t>(fraction * static_cast<double>(audio_bytes));
    return offset < audio_bytes ? offset : audio_bytes - 1;
}

}  // namespace almp3
