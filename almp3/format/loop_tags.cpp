#include "loop_tags.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "frame_header.h"
#include "id3v2.h"

namespace almp3 {

namespace {

using namespace id3v2;

// A v2.4 extended header counts itself: its size, a byte giving the number
// of flag bytes, and at least one flag byte.
constexpr int64_t kV24MinExtendedLen = 6;

// Frame header: four characters of A-Z and 0-9, the size of what follows
// (syncsafe in v2.4, a plain 32-bit number in v2.3), status and format flags.
constexpr int kFrameHeaderLen = 10;
constexpr int kFrameIdLen = 4;
constexpr int kFrameSizeByte = 4;
constexpr int kFrameFormatByte = 9;
// v2.3 format flags. Compression adds four bytes of decompressed size after
// the header, encryption a method byte, grouping a group byte.
constexpr unsigned char kV23Compressed = 0x80;
constexpr unsigned char kV23Encrypted = 0x40;
constexpr unsigned char kV23Grouped = 0x20;
// v2.4 format flags. Grouping adds a group byte, encryption a method byte and
// the data length indicator four syncsafe bytes, in that order; the
// unsynchronisation of a frame covers them too.
constexpr unsigned char kV24Grouped = 0x40;
constexpr unsigned char kV24Compressed = 0x08;
constexpr unsigned char kV24Encrypted = 0x04;
constexpr unsigned char kV24Unsynchronised = 0x02;
constexpr unsigned char kV24DataLength = 0x01;
constexpr int kGroupLen = 1;
constexpr int kDataLengthLen = 4;

// Text encodings, the first byte of a text frame: 0 ISO-8859-1 and 3 UTF-8
// are read byte by byte, 1 and 2 are UTF-16.
constexpr unsigned char kUtf16WithBom = 1;
constexpr unsigned char kUtf16Be = 2;
constexpr unsigned char kUtf8 = 3;

constexpr std::array<const char *, 3> kNames = {"LOOPSTART", "LOOPLENGTH", "LOOPEND"};

struct Bytes {
    const unsigned char *p;
    int64_t n;
};

// Undoes unsynchronisation: the 0x00 written after every 0xFF is dropped.
std::vector<unsigned char> resynchronise(Bytes b) {
    std::vector<unsigned char> out;
    out.reserve(static_cast<size_t>(b.n));
    for (int64_t i = 0; i < b.n; ++i) {
        out.push_back(b.p[i]);
        if (b.p[i] == 0xFF && i + 1 < b.n && b.p[i + 1] == 0) ++i;
    }
    return out;
}

bool frame_id(const unsigned char *p) {
    return std::all_of(p, p + kFrameIdLen, [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

// The strings of a text frame one after the other, each up to its
// terminator or the end of the frame, as code units: bytes in ISO-8859-1 and
// UTF-8 (only ASCII matters here), 16-bit units in UTF-16. In encoding 1 a
// string's byte-order mark sets its order; one without keeps the order of the
// string before.
class TextStrings {
public:
    TextStrings(unsigned char encoding, Bytes b)
        : encoding_(encoding), b_(b), order_(encoding == kUtf16Be ? Order::kBig : Order::kUnknown) {}

    // None when a UTF-16 string's byte order is unknown.
    std::optional<std::u16string> next() {
        std::u16string s;
        if (encoding_ != kUtf16WithBom && encoding_ != kUtf16Be) {
            while (pos_ < b_.n && b_.p[pos_] != 0) s.push_back(b_.p[pos_++]);
            ++pos_;
            return s;
        }
        if (encoding_ == kUtf16WithBom && pos_ + 2 <= b_.n) {
            const unsigned char a = b_.p[pos_], b = b_.p[pos_ + 1];
            if ((a == 0xFE && b == 0xFF) || (a == 0xFF && b == 0xFE)) {
                order_ = a == 0xFE ? Order::kBig : Order::kLittle;
                pos_ += 2;
            }
        }
        if (order_ == Order::kUnknown) return std::nullopt;
        while (pos_ + 2 <= b_.n) {
            const unsigned char a = b_.p[pos_], b = b_.p[pos_ + 1];
            pos_ += 2;
            const auto unit = static_cast<char16_t>(order_ == Order::kBig ? (a << 8) | b : (b << 8) | a);
            if (unit == 0) break;
            s.push_back(unit);
        }
        return s;
    }

private:
    enum class Order { kUnknown, kBig, kLittle };
    unsigned char encoding_;
    Bytes b_;
    Order order_;
    int64_t pos_ = 0;
};

bool is_name(const std::u16string &s, const char *name) {
    if (s.size() != std::strlen(name)) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t upper = s[i] >= 'a' && s[i] <= 'z' ? static_cast<char16_t>(s[i] - 'a' + 'A') : s[i];
        if (upper != static_cast<unsigned char>(name[i])) return false;
    }
    return true;
}

// A whole decimal number with spaces around it allowed, or -1.
int64_t whole_number(const std::u16string &s) {
    size_t i = 0, e = s.size();
    while (i < e && s[i] == ' ') ++i;
    while (e > i && s[e - 1] == ' ') --e;
    if (i == e) return -1;
    int64_t v = 0;
    for (; i < e; ++i) {
        if (s[i] < '0' || s[i] > '9') return -1;
        const int digit = s[i] - '0';
        if (v > (INT64_MAX - digit) / 10) return -1;
        v = v * 10 + digit;
    }
    return v;
}

struct Reader {
    int version;
    bool tag_unsynchronised;  // v2.4: every frame is
    LoopTags tags;
    std::array<bool, kNames.size()> seen{};

    // A TXXX frame's content: encoding, description, value.
    void user_text(Bytes b) {
        if (b.n < 1 || b.p[0] > kUtf8) return;
        TextStrings text(b.p[0], {b.p + 1, b.n - 1});
        const std::optional<std::u16string> description = text.next();
        if (!description) return;
        const auto name = std::find_if(kNames.begin(), kNames.end(), [&](const char *n) { return is_name(*description, n); });
        if (name == kNames.end()) return;
        const auto which = static_cast<size_t>(name - kNames.begin());
        if (seen[which]) return;
        seen[which] = true;
        const std::optional<std::u16string> value = text.next();
        const int64_t v = value ? whole_number(*value) : -1;
        if (v < 0) tags.malformed = true;
        int64_t *fields[] = {&tags.start, &tags.length, &tags.end};
        *fields[which] = v;
    }

    // A frame's content after the additions its flags announce, its
    // unsynchronisation undone into store; none for a compressed or encrypted
    // frame, or one too short for its additions.
    std::optional<Bytes> content(unsigned char format, Bytes b, std::vector<unsigned char> &store) const {
        int64_t added = 0;
        if (version == 3) {
            if (format & (kV23Compressed | kV23Encrypted)) return std::nullopt;
            if (format & kV23Grouped) added = kGroupLen;
        } else {
            if (format & (kV24Compressed | kV24Encrypted)) return std::nullopt;
            if (tag_unsynchronised || (format & kV24Unsynchronised)) {
                store = resynchronise(b);
                b = {store.data(), static_cast<int64_t>(store.size())};
            }
            if (format & kV24Grouped) added += kGroupLen;
            if (format & kV24DataLength) added += kDataLengthLen;
        }
        if (added > b.n) return std::nullopt;
        return Bytes{b.p + added, b.n - added};
    }

    // Frames up to the padding, the end, or the first that is no frame or
    // does not fit.
    void frames(Bytes b) {
        for (int64_t pos = 0; pos + kFrameHeaderLen <= b.n;) {
            const unsigned char *h = b.p + pos;
            if (!frame_id(h)) break;
            const int64_t size = version == 4 ? syncsafe(h + kFrameSizeByte) : int64_t{be32(h + kFrameSizeByte)};
            if (size < 0 || size > b.n - pos - kFrameHeaderLen) break;
            pos += kFrameHeaderLen + size;
            if (std::memcmp(h, "TXXX", kFrameIdLen) != 0) continue;
            std::vector<unsigned char> store;
            if (const auto c = content(h[kFrameFormatByte], {h + kFrameHeaderLen, size}, store)) user_text(*c);
        }
    }
};

// Length of the extended header at the start of b, or -1 when it does not
// fit: v2.3 gives the length after its size field, v2.4 its whole length.
int64_t extended_header_len(int version, Bytes b) {
    if (b.n < kSizeLen) return -1;
    const int64_t n = version == 4 ? syncsafe(b.p) : kSizeLen + int64_t{be32(b.p)};
    if (n > b.n || (version == 4 && n < kV24MinExtendedLen)) return -1;
    return n;
}

}  // namespace

LoopTags read_loop_tags(const unsigned char *data, int64_t len) {
    if (!data || len < kHeaderLen || std::memcmp(data, "ID3", 3) != 0) return {};
    const int version = data[kVersionByte];
    const int64_t size = syncsafe(data + kSizeByte);
    if ((version != 3 && version != 4) || size < 0) return {};
    const unsigned char flags = data[kFlagsByte];
    Bytes body{data + kHeaderLen, std::min(size, len - kHeaderLen)};
    // v2.3 unsynchronises everything after the header, extended header too.
    std::vector<unsigned char> whole;
    if (version == 3 && (flags & kUnsynchronised)) {
        whole = resynchronise(body);
        body = {whole.data(), static_cast<int64_t>(whole.size())};
    }
    if (flags & kExtendedHeader) {
        const int64_t n = extended_header_len(version, body);
        if (n < 0) return {};
        body = {body.p + n, body.n - n};
    }
    Reader reader{version, version == 4 && (flags & kUnsynchronised), {}, {}};
    reader.frames(body);
    return reader.tags;
}

std::optional<std::pair<int64_t, int64_t>> loop_region(const LoopTags &t, int64_t total) {
    if (t.malformed || t.start < 0 || t.start >= total) return std::nullopt;
    int64_t end = t.end;
    if (t.length >= 0) {
        if (t.length > total - t.start) return std::nullopt;
        end = t.start + t.length;
    }
    if (end <= t.start || end > total) return std::nullopt;
    return std::make_pair(t.start, end);
}

}  // namespace almp3
