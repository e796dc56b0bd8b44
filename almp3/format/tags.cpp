#include "tags.h"

#include <cstring>

#include "almp3.h"
#include "id3v2.h"

namespace almp3 {

namespace {

constexpr unsigned char kId3NoVersion = 0xFF;

// APEv2 header and footer: "APETAGEX", version, size of the items and the
// footer, item count, flags (top bit: a 32-byte header precedes the items),
// 8 reserved bytes. Numbers are little-endian.
constexpr int kApeFooterLen = 32;
constexpr int kApeSizeByte = 12;
constexpr int kApeFlagsByte = 20;
constexpr uint32_t kApeHasHeader = 0x80000000u;
// Lyrics3 v2 ends in the block's size as six decimal digits and "LYRICS200";
// v1 ends in "LYRICSEND" and holds at most 5100 bytes of lyrics.
constexpr int kLyrics3SizeDigits = 6;
constexpr int kLyrics3EndLen = 9;
constexpr int64_t kLyrics3MaxLen = 999999 + kLyrics3SizeDigits + kLyrics3EndLen;

uint32_t le32(const unsigned char *p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

bool text_at(const unsigned char *d, int64_t pos, int64_t len, const char *text) {
    const int64_t n = static_cast<int64_t>(std::strlen(text));
    return pos >= 0 && pos + n <= len && std::memcmp(d + pos, text, static_cast<size_t>(n)) == 0;
}

// Length of the APEv2 tag whose header or footer lies at d[at]; the header
// is counted when its flag is set.
int64_t ape_len_from(const unsigned char *d, int64_t at, int64_t len) {
    if (!text_at(d, at, len, "APETAGEX") || at + kApeFooterLen > len) return 0;
    const uint32_t size = le32(d + at + kApeSizeByte);
    const uint32_t header = (le32(d + at + kApeFlagsByte) & kApeHasHeader) ? kApeFooterLen : 0;
    if (size < static_cast<uint32_t>(kApeFooterLen) || size > static_cast<uint32_t>(INT32_MAX) - header) return 0;
    return int64_t{size} + header;
}

int64_t lyrics3_len(const unsigned char *d, int64_t len) {
    const int64_t digits = len - kLyrics3EndLen - kLyrics3SizeDigits;
    if (!text_at(d, len - kLyrics3EndLen, len, "LYRICS200") || digits < 0) return 0;
    int64_t size = 0;
    for (int i = 0; i < kLyrics3SizeDigits; ++i) {
        const unsigned char c = d[digits + i];
        if (c < '0' || c > '9') return 0;
        size = size * 10 + (c - '0');
    }
    return size + kLyrics3SizeDigits + kLyrics3EndLen;
}

// An ID3v2 tag appended at the end carries a footer: the header's layout
// with "3DI" in place of "ID3".
int64_t id3v2_footer_len(const unsigned char *d, int64_t len) {
    const int64_t at = len - id3v2::kFooterLen;
    if (!text_at(d, at, len, "3DI")) return 0;
    unsigned char header[id3v2::kHeaderLen];
    std::memcpy(header, d + at, id3v2::kHeaderLen);
    std::memcpy(header, "ID3", 3);
    header[id3v2::kFlagsByte] &= static_cast<unsigned char>(~id3v2::kFooterPresent);
    const int64_t body_and_header = id3v2_tag_len(header, id3v2::kHeaderLen);
    return body_and_header > 0 ? body_and_header + id3v2::kFooterLen : 0;
}

// A Lyrics3 block from its "LYRICSBEGIN" at d[pos] to the end marker of its
// version; the marker must lie within len (and within the largest block).
int64_t lyrics3_block_len(const unsigned char *d, int64_t pos, int64_t len) {
    if (!text_at(d, pos, len, "LYRICSBEGIN")) return 0;
    const int64_t end = len - pos < kLyrics3MaxLen ? len : pos + kLyrics3MaxLen;
    for (int64_t i = pos; i + kLyrics3EndLen <= end; ++i) {
        if (d[i] != 'L') continue;
        if (text_at(d, i, end, "LYRICS200") || text_at(d, i, end, "LYRICSEND")) return i + kLyrics3EndLen - pos;
    }
    return 0;
}

int64_t zero_run(const unsigned char *d, int64_t pos, int64_t len) {
    int64_t i = pos;
    while (i < len && d[i] == 0) ++i;
    return i - pos;
}

}  // namespace

int64_t id3v2_tag_len(const unsigned char *d, int64_t len) {
    if (len < id3v2::kHeaderLen || std::memcmp(d, "ID3", 3) != 0) return 0;
    if (d[3] == kId3NoVersion || d[4] == kId3NoVersion) return 0;
    const int64_t body = id3v2::syncsafe(d + id3v2::kSizeByte);
    if (body < 0) return 0;
    return id3v2::kHeaderLen + body + ((d[id3v2::kFlagsByte] & id3v2::kFooterPresent) ? id3v2::kFooterLen : 0);
}

int trailing_tag_len(const unsigned char *d, int64_t len) {
    // ID3v1 is always the very last; the others carry their size in a footer.
    if (len >= kTagBlockLen && text_at(d, len - kTagBlockLen, len, "TAG")) return kTagBlockLen;
    int64_t n = ape_len_from(d, len - kApeFooterLen, len);
    if (n == 0) n = lyrics3_len(d, len);
    if (n == 0) n = id3v2_footer_len(d, len);
    return n <= INT32_MAX ? static_cast<int>(n) : 0;
}

int64_t trailing_tags_len(const unsigned char *d, int64_t len) {
    int64_t end = len;
    while (end > 0) {
        const int n = trailing_tag_len(d, end);
        if (n == 0 || n > end) break;
        end -= n;
    }
    return len - end;
}

bool tag_block_at(const unsigned char *data, int64_t pos, int64_t len) {
    return text_at(data, pos, len, "TAG");
}

Gap gap_at(const unsigned char *d, int64_t pos, int64_t len) {
    Gap g;
    if (pos < 0 || pos >= len) return g;
    if (d[pos] == 0) {
        g.len = zero_run(d, pos, len);
        g.zeros = true;
    } else if (tag_block_at(d, pos, len)) {
        g.len = kTagBlockLen;
    } else if (int64_t n = id3v2_tag_len(d + pos, len - pos)) {
        g.len = n;
        g.song_start = true;
    } else if (int64_t a = ape_len_from(d, pos, len)) {
        // At the front of the tag only a header can stand; its flag says so.
        g.len = (le32(d + pos + kApeFlagsByte) & kApeHasHeader) ? a : 0;
    } else {
        g.len = lyrics3_block_len(d, pos, len);
    }
    return g;
}

int64_t leading_gaps_len(const unsigned char *d, int64_t len) {
    int64_t at = 0;
    while (at < len) {
        const int64_t n = gap_at(d, at, len).len;
        if (n == 0) break;
        at += n;
    }
    return at;
}

}  // namespace almp3

using namespace almp3;

extern "C" int almp3_get_trailing_tag_length(const void *data, int len) {
    return data && len > 0 ? trailing_tag_len(static_cast<const unsigned char *>(data), len) : 0;
}

extern "C" int almp3_get_id3v2_length(const void *data, int len) {
    if (!data) return 0;
    const int64_t n = id3v2_tag_len(static_cast<const unsigned char *>(data), len);
    return n > INT32_MAX ? 0 : static_cast<int>(n);
}
