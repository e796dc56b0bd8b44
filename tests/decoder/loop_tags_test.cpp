// Loop points from ID3v2 tags that mutagen writes onto a file made by lame,
// from tags in the format's other layouts (read alike by mutagen), and damaged.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

#include "format/loop_tags.h"
#include "test_files.h"

// The decoder layer's internals under test.
using namespace almp3;

namespace {

using Bytes = std::vector<unsigned char>;
Bytes operator+(Bytes a, const Bytes &b) { return a.insert(a.end(), b.begin(), b.end()), a; }
Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }
Bytes be(size_t v, int bits) {  // four big-endian bytes of 7 bits (syncsafe) or 8
    const auto byte = [&](int i) { return static_cast<unsigned char>(v >> (i * bits) & ((1u << bits) - 1)); };
    return {byte(3), byte(2), byte(1), byte(0)};
}

// Runs Python code with mutagen (Debian's python3) on a temporary copy of file,
// sys.argv[1], and takes it back; returns what mutagen then reads.
std::string mutagen(const std::string &code, Bytes &file) {
    char path[] = "/tmp/loop_tags_XXXXXX";
    close(mkstemp(path));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(file.data()), long(file.size()));
    const std::string script = "import sys; from mutagen.id3 import ID3, TIT2, TXXX\n" + code +
                               "\nt = {f.desc.upper(): f.text[0].strip() for f in ID3(sys.argv[1]).getall('TXXX')}"
                               "\nprint(*(t.get(k, -1) for k in ('LOOPSTART', 'LOOPLENGTH', 'LOOPEND')))";
    const std::string out = std::string(path) + ".out";
    EXPECT_EQ(std::system(("/usr/bin/python3 -c \"" + script + "\" " + path + " > " + out).c_str()), 0);
    file = read_bytes(path);
    const Bytes printed = read_bytes(out);
    std::remove(path), std::remove(out.c_str());
    return {printed.begin(), printed.end()};
}

// Our reading of all but the last `cut` bytes, as mutagen's, "?" if malformed.
std::string we_read(const Bytes &file, size_t cut = 0) {
    const LoopTags t = read_loop_tags(file.data(), int64_t(file.size() - cut));
    const std::string values = std::to_string(t.start) + " " + std::to_string(t.length) + " " + std::to_string(t.end);
    return values + (t.malformed ? " ?\n" : "\n");
}

TEST(LoopTags, ReadsWhatMutagenWritesInEveryEncoding) {
    for (const char *version_encoding : {"3, 0", "3, 1", "4, 0", "4, 1", "4, 2", "4, 3"}) {
        Bytes file = read_bytes(encoded_path("cbr44100m.mp3"));
        // Behind a title; mutagen keeps descriptions apart by their case.
        const std::string read = mutagen(std::string("v, e = ") + version_encoding +
            "; t = ID3(); t.add(TIT2(encoding=e, text='\\u00e9'))\n"
            "for d, x in [('LOOPSTART2', '7'), ('LoopStart', ' 44100 '), ('looplength', '88200'), ('LOOPEND', '1 ')]:\n"
            "  t.add(TXXX(encoding=e, desc=d, text=[x]))\n"
            "t.save(sys.argv[1], v2_version=v)", file);
        EXPECT_EQ(we_read(file), read) << "version, encoding: " << version_encoding;
    }
}

Bytes unsynchronised(const Bytes &b) {  // a zero after every 0xFF, which readers drop again
    Bytes out;
    for (unsigned char c : b) c == 0xFF ? out.insert(out.end(), {c, 0}) : out.insert(out.end(), c);
    return out;
}
Bytes utf16le(const std::string &s) {
    Bytes b{0xFF, 0xFE};
    for (char c : s) b.insert(b.end(), {static_cast<unsigned char>(c), 0});
    return b + Bytes{0, 0};
}
Bytes frame(const Bytes &data, int version = 4, unsigned char format = 0) {
    return text("TXXX") + be(data.size(), version == 4 ? 7 : 8) + Bytes{0, format} + data;
}
Bytes frame(const std::string &desc, const std::string &value, unsigned char encoding = 0, unsigned char format = 0) {
    return frame(Bytes{encoding} + text(desc) + Bytes{0} + text(value), 4, format);
}
Bytes tag(const Bytes &body, unsigned char version = 4, unsigned char flags = 0) {
    return text("ID3") + Bytes{version, 0, flags} + be(body.size(), 7) + body;
}

// A UTF-16 frame (its byte-order mark holds 0xFF) behind an extended header,
// unsynchronised, or with a group byte or a data length indicator.
TEST(LoopTags, ReadsTheFormatsOtherLayouts) {
    struct Case { unsigned char version, tag_flags, frame_flags; Bytes extended; };
    for (const Case &c : {Case{3, 0x80, 0, {}}, Case{3, 0x40, 0, {0, 0, 0, 6, 0, 0, 0, 0, 0, 0}}, Case{3, 0, 0x20, {}},
                          Case{4, 0, 0x03, {}}, Case{4, 0x80, 0x01, {}}, Case{4, 0x40, 0, {0, 0, 0, 6, 1, 0}},
                          Case{4, 0, 0x41, {}}}) {
        Bytes data = Bytes{1} + utf16le("LOOPSTART") + utf16le("1234");
        const bool grouped = c.frame_flags & (c.version == 4 ? 0x40 : 0x20);
        const Bytes added = Bytes(grouped ? 1 : 0, 0x5A) + ((c.frame_flags & 0x01) ? be(data.size(), 7) : Bytes());
        if (c.version == 4 && ((c.tag_flags | c.frame_flags) & 0x02 || c.tag_flags & 0x80)) data = unsynchronised(data);
        Bytes body = c.extended + frame(added + data, c.version, c.frame_flags);
        if (c.version == 3 && (c.tag_flags & 0x80)) body = unsynchronised(body);
        Bytes file = tag(body, c.version, c.tag_flags) + read_bytes(encoded_path("cbr44100m.mp3"));
        EXPECT_EQ(we_read(file), "1234 -1 -1\n") << "v2." << +c.version << " " << +c.tag_flags << "/" << +c.frame_flags;
        EXPECT_EQ(grouped ? "1234 -1 -1\n" : mutagen("", file), "1234 -1 -1\n");  // mutagen keeps group bytes
    }
}

TEST(LoopTags, TakesOnlyWholeNumbersFromFramesThatFit) {
    const Bytes start = frame("LOOPSTART", "1000"), length = frame("LOOPLENGTH", "500"), both = tag(start + length);
    Bytes short_tag = both;
    short_tag[9] -= 1;  // the tag ends inside the second frame
    for (const auto &[file, read] : std::vector<std::pair<Bytes, std::string>>{
             {tag(frame("LOOPSTART", " 007 ")), "7 -1 -1\n"}, {tag(start + Bytes(10, 0) + length), "1000 -1 -1\n"},
             {short_tag + text("xx"), "1000 -1 -1\n"}, {tag(start, 2), "-1 -1 -1\n"},
             {tag(start + frame("LOOPSTART", "5") + length), "1000 500 -1\n"},  // the first counts
             {tag(frame("LOOPSTART", "9", 0, 0x08) + length), "-1 500 -1\n"},   // compressed
             {tag(frame("LOOPSTART", "9", 1)), "-1 -1 -1\n"}})                  // UTF-16 without byte-order mark
        EXPECT_EQ(we_read(file), read);
    EXPECT_EQ(we_read(both, 1), "1000 -1 -1\n");
    for (const char *bad : {"", " ", "12.5", "-3", "+3", "1e3", "0x10", "1 2", "9223372036854775808"})
        EXPECT_EQ(we_read(tag(frame("LOOPSTART", bad) + length)), "-1 500 -1 ?\n") << bad;
}

TEST(LoopRegion, IsTheStartWithTheLengthOrElseTheEndInsideTheTimeline) {
    const std::pair<LoopTags, std::optional<std::pair<int64_t, int64_t>>> cases[] = {
        {{100, 50, -1}, {{100, 150}}}, {{100, -1, 400}, {{100, 400}}}, {{100, 50, 400}, {{100, 150}}},
        {{900, 100, -1}, {{900, 1000}}}, {{0, -1, 1000}, {{0, 1000}}}, {{100, 0, -1}, {}}, {{100, -1, 100}, {}},
        {{100, -1, 50}, {}}, {{900, 101, -1}, {}}, {{100, -1, 1001}, {}}, {{-1, 50, 400}, {}}, {{100, -1, -1}, {}},
        {{100, 50, 400, true}, {}}, {{1, INT64_MAX, -1}, {}}};
    for (const auto &[tags, region] : cases) EXPECT_EQ(loop_region(tags, 1000), region);
}

}  // namespace
