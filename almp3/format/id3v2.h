// The ID3v2 tag header, as both tag readers see it: "ID3", major version,
// revision, flags, and four size bytes of seven bits each giving the length
// of what follows the header (a footer not counted).
#pragma once

#include <cstdint>

namespace almp3::id3v2 {

constexpr int kHeaderLen = 10;
constexpr int kFooterLen = 10;
constexpr int kVersionByte = 3;
constexpr int kFlagsByte = 5;
constexpr int kSizeByte = 6;
constexpr int kSizeLen = 4;
constexpr unsigned char kUnsynchronised = 0x80;
constexpr unsigned char kExtendedHeader = 0x40;
constexpr unsigned char kFooterPresent = 0x10;

// A syncsafe number (four bytes of seven bits), or -1 when a byte has its
// top bit set.
inline int64_t syncsafe(const unsigned char *p) {
    constexpr unsigned char kTopBit = 0x80;
    if ((p[0] | p[1] | p[2] | p[3]) & kTopBit) return -1;
    return (int64_t{p[0]} << 21) | (int64_t{p[1]} << 14) | (int64_t{p[2]} << 7) | p[3];
}

}  // namespace almp3::id3v2
