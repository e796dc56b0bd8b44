#include "decode_step.h"

#include <algorithm>

#include "format/frame_walk.h"
#include "format/tags.h"

namespace almp3 {

namespace {

// The longest marker a tag is known by ("LYRICSBEGIN"): with fewer bytes
// than this left before the end and more bytes to follow, what starts there
// is decided once they are at hand.
constexpr int kLongestMarker = 11;

}  // namespace

struct DecodeStep::Attempt {
    CoreResult rc = CoreResult::kBad;
    int64_t consumed = 0;  // bytes fed from src.pos on
};

// Decodes what the core holds, feeding it from src.pos exactly the bytes
// the frame it holds still lacks.
DecodeStep::Attempt DecodeStep::attempt(const Source &src, Pcm *pcm) {
    const int64_t avail = src.end - src.pos;
    Attempt a;
    a.rc = decode_frame(&core_, nullptr, 0, pcm);
    while (a.rc == CoreResult::kNeedMore && a.consumed < avail) {
        const unsigned char *next = src.data + src.pos + a.consumed;
        const int n = core_feed_len(&core_, next, static_cast<int>(std::min<int64_t>(avail - a.consumed,
                                                                                      kCoreInputCapacity)));
        if (n <= 0) break;
        a.rc = decode_frame(&core_, next, n, pcm);
        a.consumed += n;
    }
    return a;
}

// Passes over a tag at src.pos by its size, also into bytes still to come.
void DecodeStep::pass_over(Source &src, int64_t len) {
    const int64_t here = std::min(len, src.end - src.pos);
    src.pos += here;
    skip_left_ = src.more_follow ? len - here : 0;
}

// At a frame boundary (the core holds nothing): finishes passing over a tag
// begun earlier, then over every tag and run of zero bytes at src.pos.
// Tells what follows.
DecodeStep::Boundary DecodeStep::pass_gaps(Source &src) {
    for (;;) {
        if (skip_left_ > 0) pass_over(src, skip_left_);
        const int64_t left = src.end - src.pos;
        if (skip_left_ > 0 || left <= 0) return Boundary::kExhausted;
        if (frame_len_at(src.data, src.pos, src.end) > 0) return Boundary::kFrame;
        if (src.more_follow && left < kLongestMarker && src.pos >= src.continues_from) return Boundary::kExhausted;
        const Gap g = gap_at(src.data, src.pos, src.end);
        if (g.len == 0) return Boundary::kRubbish;
        pass_over(src, g.len);
        // Another song starts: it is decoded with a fresh core, as mpg123
        // decodes it.
        if (g.song_start) reset_core(&core_);
        // Zeros may go on in the next block: they are looked at afresh there.
        if (g.zeros) skip_left_ = 0;
    }
}

Step DecodeStep::accept(Source &src, const Attempt &a) {
    src.pos += a.consumed;
    searched_ = 0;
    return Step::kFrame;
}

// Searches byte by byte from src.pos for a frame that decodes and is
// confirmed by what follows it (another frame, a tag, the end of the bytes
// at hand), passing over tags by their sizes. The count of bytes searched
// carries over from call to call until a frame is accepted, so the limit
// holds whatever the size of the bytes at hand. A search that finds nothing
// leaves the core empty, so bytes of a rejected candidate are never decoded.
Step DecodeStep::search(Source &src, Pcm *pcm) {
    for (;;) {
        if (skip_left_ > 0) pass_over(src, skip_left_);
        const bool exhausted = src.pos >= src.end || skip_left_ > 0;
        if (exhausted || searched_ >= kResyncSearchLimit) {
            reset_core(&core_);
            if (exhausted) return Step::kExhausted;
            // Rubbish with no frame after it, at the end of the data, is
            // the end of the audio, not damage.
            if (src.more_follow || next_confirmed_frame(src.data, src.pos, src.end, src.end) >= 0)
                return Step::kDamaged;
            src.pos = src.end;
            searched_ = 0;
            return Step::kExhausted;
        }
        if (const int n = frame_len_at(src.data, src.pos, src.end); n > 0) {
            reset_core(&core_);
            const Attempt a = attempt(src, pcm);
            // A candidate that runs past the bytes at hand is finished, and
            // judged, with the next ones.
            if (a.rc == CoreResult::kNeedMore) {
                src.pos += a.consumed;
                return Step::kExhausted;
            }
            const bool decoded = a.rc == CoreResult::kFrame && frame_header_test(core_.header);
            if (decoded && frame_confirmed(src.data, src.pos, n, src.end)) return accept(src, a);
        } else if (const Gap g = gap_at(src.data, src.pos, src.end); g.len > 0 && !g.zeros) {
            pass_over(src, g.len);
            continue;
        }
        ++searched_;
        ++src.pos;
    }
}

Step DecodeStep::next(Source &src, Pcm *pcm) {
    // A frame begun earlier is finished first; within a search, the search
    // goes on.
    Boundary b = Boundary::kFrame;
    if (core_.held == 0) b = searched_ > 0 ? Boundary::kRubbish : pass_gaps(src);
    if (b == Boundary::kExhausted) return Step::kExhausted;
    if (b == Boundary::kFrame) {
        // Frames the core already holds are decoded even when no bytes are
        // left to feed, so the last ones are not lost.
        const Attempt a = attempt(src, pcm);
        if (a.rc == CoreResult::kNeedMore) {
            src.pos += a.consumed;
            return Step::kExhausted;
        }
        if (a.rc == CoreResult::kFrame && frame_header_test(core_.header)) return accept(src, a);
    }
    return search(src, pcm);
}

void DecodeStep::restart() {
    reset_core(&core_);
    searched_ = 0;
    skip_left_ = 0;
}

void DecodeStep::data_ended() {
    drop_held_input(&core_);
    skip_left_ = 0;
}

}  // namespace almp3
