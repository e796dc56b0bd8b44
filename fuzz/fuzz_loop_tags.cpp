// The loop-point reader over arbitrary bytes taken as an ID3v2 tag, and the
// region it gives in a timeline of a length the input picks: every value is
// absent or a whole number, and a region lies inside the timeline and is not
// empty. Anything else traps.
#include <cstdint>
#include <optional>

#include "format/loop_tags.h"
#include "fuzz_input.h"

// The decoder layer's internals.
using namespace almp3;

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > (1u << 20)) return 0;
    FuzzInput in(data, size);
    const LoopTags t = read_loop_tags(data, static_cast<int64_t>(size));
    check(t.start >= -1 && t.length >= -1 && t.end >= -1);
    // Any 64-bit length, negative ones included.
    const auto high = static_cast<uint32_t>(in.any_int());
    const int64_t total = static_cast<int64_t>((uint64_t{high} << 32) | static_cast<uint32_t>(in.any_int()));
    const auto region = loop_region(t, total);
    check(!region || (region->first >= 0 && region->first < region->second && region->second <= total));
    check(!region || !t.malformed);
    return 0;
}
