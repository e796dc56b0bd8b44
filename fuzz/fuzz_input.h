// Choices for a fuzz target, read from the end of its input so that the
// front stays the data under test (a seed that is a real file keeps its
// meaning). Past the start every value reads as 0.
#ifndef FUZZ_INPUT_H
#define FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>

class FuzzInput {
public:
    FuzzInput(const uint8_t *data, size_t size) : data_(data), left_(size) {}

    // A value in [lo, hi], from as few bytes as the range needs.
    int in_range(int lo, int hi) {
        const uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(hi) - lo);
        uint64_t v = 0;
        for (uint64_t seen = 0; seen < span && left_ > 0; seen = (seen << 8) | 0xFF) v = (v << 8) | data_[--left_];
        return static_cast<int>(lo + static_cast<int64_t>(span == 0 ? 0 : v % (span + 1)));
    }
    // Any int, negative values included.
    int any_int() {
        uint32_t v = 0;
        for (int i = 0; i < 4 && left_ > 0; ++i) v = (v << 8) | data_[--left_];
        return static_cast<int>(v);
    }
    bool flag() { return in_range(0, 1) != 0; }

private:
    const uint8_t *data_;
    size_t left_;
};

#endif
