#include "frame.h"

#include <cstdlib>
#include <cstring>

#include "almp3.h"

namespace {

constexpr int kHeaderBytes = 4;
constexpr int kXingMagicAndFlags = 8;

// ID3v2 header: "ID3", major version, revision, flags, four size bytes of
// seven bits each (the body's length, header and footer not counted).
constexpr int kId3HeaderLen = 10;
constexpr int kId3FooterLen = 10;
constexpr int kId3FlagsByte = 5;
constexpr int kId3SizeByte = 6;
constexpr unsigned char kId3FooterFlag = 0x10;
constexpr unsigned char kId3NoVersion = 0xFF;
constexpr unsigned char kSyncsafeTopBit = 0x80;

// APEv2 footer: "APETAGEX", version, size of the items and the footer,
// item count, flags (top bit: a 32-byte header precedes the items), 8
// reserved bytes. Numbers are little-endian.
constexpr int kApeFooterLen = 32;
constexpr int kApeSizeByte = 12;
constexpr int kApeFlagsByte = 20;
constexpr uint32_t kApeHasHeader = 0x80000000u;
// Lyrics3 v2 ends in the block's size as six decimal digits and "LYRICS200".
constexpr int kLyrics3SizeDigits = 6;
constexpr int kLyrics3EndLen = 9;

uint32_t le32(const unsigned char *p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

bool text_at(const unsigned char *d, int64_t pos, int64_t len, const char *text) {
    const int64_t n = static_cast<int64_t>(std::strlen(text));
    return pos >= 0 && pos + n <= len && std::memcmp(d + pos, text, static_cast<size_t>(n)) == 0;
}

int ape_tag_len(const unsigned char *d, int64_t len) {
    const int64_t at = len - kApeFooterLen;
    if (!text_at(d, at, len, "APETAGEX")) return 0;
    const uint32_t size = le32(d + at + kApeSizeByte);
    const uint32_t header = (le32(d + at + kApeFlagsByte) & kApeHasHeader) ? kApeFooterLen : 0;
    if (size < static_cast<uint32_t>(kApeFooterLen) || size > static_cast<uint32_t>(INT32_MAX) - header) return 0;
    return static_cast<int>(size + header);
}

int lyrics3_len(const unsigned char *d, int64_t len) {
    const int64_t digits = len - kLyrics3EndLen - kLyrics3SizeDigits;
    if (!text_at(d, len - kLyrics3EndLen, len, "LYRICS200") || digits < 0) return 0;
    int size = 0;
    for (int i = 0; i < kLyrics3SizeDigits; ++i) {
        const unsigned char c = d[digits + i];
        if (c < '0' || c > '9') return 0;
        size = size * 10 + (c - '0');
    }
    return size + kLyrics3SizeDigits + kLyrics3EndLen;
}

// An ID3v2 tag appended at the end carries a footer: the header's layout
// with "3DI" in place of "ID3".
int id3v2_footer_len(const unsigned char *d, int64_t len) {
    const int64_t at = len - kId3FooterLen;
    if (!text_at(d, at, len, "3DI")) return 0;
    unsigned char header[kId3HeaderLen];
    std::memcpy(header, d + at, kId3HeaderLen);
    std::memcpy(header, "ID3", 3);
    header[kId3FlagsByte] &= static_cast<unsigned char>(~kId3FooterFlag);
    const int body_and_header = id3v2_tag_len(header, kId3HeaderLen);
    return body_and_header > 0 ? body_and_header + kId3FooterLen : 0;
}

uint32_t be32(const unsigned char *p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

int xing_distance(const FirstFrame &f) {
    const bool mono = f.mode == 3;
    if (f.lsf == 0) return mono ? 21 : 36;
    return mono ? 13 : 21;
}

}  // namespace

bool header_word_ok(uint32_t h) {
    const uint32_t version = (h >> 19) & 3;
    const uint32_t layer = (h >> 17) & 3;
    const uint32_t bitrate = (h >> 12) & 15;
    const uint32_t sampling = (h >> 10) & 3;
    return (h & 0xFFE00000u) == 0xFFE00000u && version != 1 && (layer == 1 || layer == 2) && bitrate != 0 &&
           bitrate != 15 && sampling != 3;
}

bool frame_header_ok(const unsigned char *data, int64_t pos, int64_t len) {
    if (pos < 0 || pos + kHeaderBytes > len) return false;
    return header_word_ok(be32(data + pos));
}

int id3v2_tag_len(const unsigned char *d, int64_t len) {
    if (len < kId3HeaderLen || std::memcmp(d, "ID3", 3) != 0) return 0;
    if (d[3] == kId3NoVersion || d[4] == kId3NoVersion) return 0;
    const unsigned char *s = d + kId3SizeByte;
    if ((s[0] | s[1] | s[2] | s[3]) & kSyncsafeTopBit) return 0;
    const int body = (s[0] << 21) | (s[1] << 14) | (s[2] << 7) | s[3];
    return kId3HeaderLen + body + ((d[kId3FlagsByte] & kId3FooterFlag) ? kId3FooterLen : 0);
}

int trailing_tag_len(const unsigned char *d, int64_t len) {
    // ID3v1 is always the very last; the others carry their size in a footer.
    if (len >= kTagBlockLen && text_at(d, len - kTagBlockLen, len, "TAG")) return kTagBlockLen;
    if (const int n = ape_tag_len(d, len)) return n;
    if (const int n = lyrics3_len(d, len)) return n;
    return id3v2_footer_len(d, len);
}

bool tag_block_at(const unsigned char *data, int64_t pos, int64_t len) {
    return pos >= 0 && pos + 3 <= len && std::memcmp(data + pos, "TAG", 3) == 0;
}

bool find_first_frame(const unsigned char *data, int scan_len, FirstFrame *found) {
    static_assert(kCoreInputCapacity >= 2 * 2881, "a trial decode must hold a whole frame");
    unsigned char scratch_out[kCoreOutputCapacity];
    for (int i = 0; i < scan_len; ++i) {
        if (!frame_header_ok(data, i, scan_len)) continue;
        DecoderState trial;
        if (!InitMP3(&trial)) return false;
        // The trial decode needs only the first frame; a state holds at most
        // kCoreInputCapacity bytes, which is more than any frame.
        const int feed = scan_len - i < kCoreInputCapacity ? scan_len - i : kCoreInputCapacity;
        int produced = 0;
        const int rc = decodeMP3(&trial, data + i, feed, scratch_out, kCoreOutputCapacity, &produced);
        const int64_t next = int64_t{i} + trial.framesize + kHeaderBytes;
        const bool accepted =
            rc == 0 && trial.framesize > 0 && (next >= scan_len || frame_header_ok(data, next, scan_len));
        if (accepted) {
            *found = FirstFrame{i,          trial.layer,       trial.lsf,       trial.mode, trial.channels,
                                trial.sampling_frequency, trial.bitrate_index, trial.framesize, produced};
        }
        ExitMP3(&trial);
        if (accepted) return true;
    }
    return false;
}

int pcm_per_frame_of(const FirstFrame &f) {
    if (f.produced > 0) return f.produced;
    const int freq = freqs[f.sampling_frequency];
    const int samples = (f.layer == 3 && freq >= 8000 && freq <= 24000) ? 576 : 1152;
    const int bytes_per_sample = 2;
    return samples * bytes_per_sample * (f.channels > 1 ? 2 : 1);
}

XingInfo *read_xing(const unsigned char *frame, int avail, const FirstFrame &f) {
    const int at = xing_distance(f);
    if (at + kXingMagicAndFlags > avail || std::memcmp(frame + at, "Xing", 4) != 0) return nullptr;
    const int flags = static_cast<int>(be32(frame + at + 4));
    const int needed = kXingMagicAndFlags + ((flags & kXingFrames) ? 4 : 0) + ((flags & kXingBytes) ? 4 : 0) +
                       ((flags & kXingToc) ? kXingTocEntries : 0) + ((flags & kXingScale) ? 4 : 0);
    if (at + needed > avail) return nullptr;

    XingInfo *x = static_cast<XingInfo *>(std::calloc(1, sizeof(XingInfo)));
    if (!x) return nullptr;
    const unsigned char *p = frame + at + kXingMagicAndFlags;
    x->flags = flags;
    x->scale = -1;
    if (flags & kXingFrames) { x->frames = static_cast<int>(be32(p)); p += 4; }
    if (flags & kXingBytes) { x->bytes = static_cast<int>(be32(p)); p += 4; }
    if (flags & kXingToc) { std::memcpy(x->toc, p, kXingTocEntries); p += kXingTocEntries; }
    if (flags & kXingScale) x->scale = static_cast<int>(be32(p));
    return x;
}

int64_t xing_toc_offset(const XingInfo &x, int target, int total) {
    const int64_t frames = x.frames;
    auto mark = [&](int k) { return int64_t{x.toc[k]} * frames / 256; };
    int k = 0;
    while (k < kXingTocEntries && mark(k) < target) ++k;
    if (k == kXingTocEntries) return total;

    const int64_t f0 = mark(k);
    const int64_t b0 = int64_t{total} * k / 100;
    const bool last = k == kXingTocEntries - 1;
    const int64_t f1 = last ? frames - 1 : mark(k + 1);
    const int64_t b1 = last ? int64_t{total} - 1 : int64_t{total} * (k + 1) / 100;
    if (f1 == f0) return -1;
    const int64_t offset = b0 + (target - f0) * (b1 - b0) / (f1 - f0);
    return offset < 0 || offset > total ? -1 : offset;
}

void pcm_to_unsigned(unsigned char *buf, int bytes) {
    // Each 16-bit sample keeps its top bit at bit 15 of its own 16-bit lane
    // whatever the byte order, so a 64-bit word flips four samples at once.
    constexpr uint64_t kFourSignBits = 0x8000800080008000ull;
    constexpr uint16_t kSignBit = 0x8000;
    int i = 0;
    for (; i + 8 <= bytes; i += 8) {
        uint64_t v;
        std::memcpy(&v, buf + i, 8);
        v ^= kFourSignBits;
        std::memcpy(buf + i, &v, 8);
    }
    for (; i + 2 <= bytes; i += 2) {
        uint16_t v;
        std::memcpy(&v, buf + i, 2);
        v ^= kSignBit;
        std::memcpy(buf + i, &v, 2);
    }
}

extern "C" int almp3_get_trailing_tag_length(const void *data, int len) {
    return data && len > 0 ? trailing_tag_len(static_cast<const unsigned char *>(data), len) : 0;
}

extern "C" int almp3_get_id3v2_length(const void *data, int len) {
    return data ? id3v2_tag_len(static_cast<const unsigned char *>(data), len) : 0;
}
