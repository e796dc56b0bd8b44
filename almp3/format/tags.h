// The sizes of the non-audio blocks an MPEG audio file may hold before,
// between and after its frames: ID3v2 tags (stacked, with footers), APEv2
// tags, Lyrics3 blocks, ID3v1 blocks and runs of zero bytes. Every function
// reads only the bytes it is given.
#ifndef ALMP3_TAGS_H
#define ALMP3_TAGS_H

#include <cstdint>

namespace almp3 {

// A trailing ID3v1 block: "TAG" and 125 more bytes.
constexpr int kTagBlockLen = 128;

// Length of the ID3v2 tag whose header starts at data[0] (header, body and
// footer when flagged), or 0 when the first 10 of len bytes are no ID3v2
// header. Only those 10 bytes are read.
int64_t id3v2_tag_len(const unsigned char *data, int64_t len);


// Length of the tag (ID3v1, APEv2, Lyrics3 v2, or ID3v2 with a footer) that
// ends exactly at data[len], or 0 when none does. Reads only data[0, len);
// the tag may begin before data[0].
int trailing_tag_len(const unsigned char *data, int64_t len);

// Length of all the tags that end the data, one peeled after the other
// (an APEv2 or Lyrics3 block under an ID3v1 block, for example).
int64_t trailing_tags_len(const unsigned char *data, int64_t len);

// True when the 3 bytes at pos lie inside [0, len) and read "TAG".
bool tag_block_at(const unsigned char *data, int64_t pos, int64_t len);

// A block found where a frame could start.
struct Gap {
    int64_t len = 0;    // bytes it covers from pos; may run past len for a tag
    bool zeros = false; // a run of zero bytes (it may go on past len)
    // An ID3v2 tag: the start of another song's data, decoded with a fresh
    // decoder as mpg123 decodes it.
    bool song_start = false;
};

// The tag or run of zero bytes that starts at data[pos], found by its marker
// and passed over by its size fields: an ID3v2 tag, an APEv2 tag that starts
// with its header, a Lyrics3 block (v1 or v2, whose end marker must lie
// within len), an ID3v1 block, or zero bytes up to the first other byte or
// len. Gap.len is 0 when nothing of the kind starts there, or when its marker
// or size fields do not all lie inside [0, len).
Gap gap_at(const unsigned char *data, int64_t pos, int64_t len);

// Length of the tags and zero padding that lie one after the other from
// data[0] (stacked ID3v2 tags, for example); it may exceed len when the last
// tag runs past the bytes at hand.
int64_t leading_gaps_len(const unsigned char *data, int64_t len);

}  // namespace almp3

#endif
