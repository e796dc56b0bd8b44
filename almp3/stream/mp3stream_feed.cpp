// The block exchange: the object lends the caller the buffer that does not
// hold the current block, the caller fills it and gives it back.
#include <cstring>

#include "stream/mp3stream_record.h"

namespace almp3 {

namespace {

// A buffer is out on loan exactly while the object waits for a block and the
// final block has not been given yet.
bool block_wanted(const Mp3Stream &s) { return s.wants_block && s.last_len == kNotFinal; }

unsigned char *current_block(Mp3Stream &s) {
    return s.current == kCurrentIsA ? s.block_a.get() : s.block_b.get();
}

unsigned char *spare_block(Mp3Stream &s) {
    return s.current == kCurrentIsA ? s.block_b.get() : s.block_a.get();
}

// A whole block stays "more follow"; a final count is kept within the block,
// other negative counts meaning an empty final block.
int final_count(int count, int block_len) {
    if (count == ALMP3_WHOLE_BLOCK) return kNotFinal;
    if (count < 0) return 0;
    return count > block_len ? block_len : count;
}

}  // namespace

}  // namespace almp3

using namespace almp3;

extern "C" {

void *almp3_get_mp3stream_buffer(Mp3Stream *s) {
    Hold hold(s->engine.lock);
    return block_wanted(*s) ? spare_block(*s) : nullptr;
}

void almp3_free_mp3stream_buffer(Mp3Stream *s, int count) {
    Hold hold(s->engine.lock);
    // Checking last_len too keeps a stray call after the final block from
    // taking the spare buffer's stale bytes as new data.
    if (!block_wanted(*s)) return;
    s->wants_block = false;
    s->last_len = final_count(count, s->block_len);
    const size_t len = static_cast<size_t>(s->block_len);
    std::memcpy(s->window.get(), current_block(*s), len);
    std::memcpy(s->window.get() + len, spare_block(*s), len);
}

}  // extern "C"
