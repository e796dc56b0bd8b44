// Loop points carried by an ID3v2.3 or v2.4 tag: user-defined text frames
// (TXXX) described "LOOPSTART", "LOOPLENGTH" and "LOOPEND" (in any case),
// whose values are counts of samples written as whole decimal numbers, in any
// of the tag's text encodings. The reader takes untrusted bytes and reads only
// the bytes it is given.
#ifndef ALMP3_LOOP_TAGS_H
#define ALMP3_LOOP_TAGS_H

#include <cstdint>
#include <optional>
#include <utility>

namespace almp3 {

struct LoopTags {
    // -1: absent, or not a whole number.
    int64_t start = -1;
    int64_t length = -1;
    int64_t end = -1;
    // One of the three was present with a value that is not a whole number.
    bool malformed = false;
};

// The loop points of the ID3v2 tag whose header starts at data[0] (one tag:
// a caller reads stacked tags one after the other). The tag's extended
// header is passed over, unsynchronisation undone (of the whole tag in v2.3,
// of each frame in v2.4), and frames are read up to the padding, the end of
// the tag or the first frame that does not fit in it. Compressed and
// encrypted frames are passed over, and when a description appears more than
// once its first frame counts. Any other tag (v2.2 included) holds none.
LoopTags read_loop_tags(const unsigned char *data, int64_t len);

// The loop region [first, second) in samples of a timeline of total samples:
// from start to start + length, or to end when the length is absent. There is
// none without a start, when a value is malformed, or when the region is
// empty or reaches past total.
std::optional<std::pair<int64_t, int64_t>> loop_region(const LoopTags &tags, int64_t total);

}  // namespace almp3

#endif
