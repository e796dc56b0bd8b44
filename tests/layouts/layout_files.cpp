#include "layout_files.h"

#include <algorithm>

#include "almp3.h"

namespace {

constexpr size_t kTailLook = 128;  // enough to recognise every trailing tag

}  // namespace

std::string layout_path(const std::string &name) { return std::string(REAL_WORLD_DIR) + "/" + name; }

AudioSpan audio_span(const std::vector<unsigned char> &file) {
    AudioSpan span{0, file.size()};
    int n;
    while ((n = almp3_get_id3v2_length(file.data() + span.skip, static_cast<int>(file.size() - span.skip))) > 0)
        span.skip += static_cast<size_t>(n);
    for (;;) {
        const size_t got = std::min(kTailLook, span.end - span.skip);
        n = almp3_get_trailing_tag_length(file.data() + span.end - got, static_cast<int>(got));
        if (n <= 0 || static_cast<size_t>(n) > span.end - span.skip) break;
        span.end -= static_cast<size_t>(n);
    }
    return span;
}
