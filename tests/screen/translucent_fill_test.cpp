// The panels' fast translucent fill against the library's own rectfill, on
// memory bitmaps filled with random pixels: every pixel must come out the
// same, whatever the weight, the clipping, a sub-bitmap's offset or the
// order of the corners, and outside the fast path's case too.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "player.h"
#include "translucent_fill.h"

namespace {

constexpr int kWidth = 97;
constexpr int kHeight = 61;

struct Rect {
    int x1, y1, x2, y2;
};

// Two bitmaps of the same random pixels, written in solid mode; the caller
// then sets the mode under test.
struct Pair {
    BITMAP *library;
    BITMAP *fast;
};

Pair random_pair(int depth, std::mt19937 &random) {
    drawing_mode(DRAW_MODE_SOLID, nullptr, 0, 0);
    Pair p{create_bitmap_ex(depth, kWidth, kHeight), create_bitmap_ex(depth, kWidth, kHeight)};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int c = static_cast<int>(random() & 0xFFFFFF);
            putpixel(p.library, x, y, c);
            putpixel(p.fast, x, y, c);
        }
    return p;
}

int differing_pixels(BITMAP *a, BITMAP *b) {
    int n = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) n += getpixel(a, x, y) != getpixel(b, x, y);
    return n;
}

void destroy(Pair p) {
    destroy_bitmap(p.library);
    destroy_bitmap(p.fast);
}

const Rect kRects[] = {{0, 0, kWidth - 1, kHeight - 1}, {5, 7, 40, 30},  {40, 30, 5, 7},
                       {-20, -5, 200, 3},               {90, 50, 120, 90}, {10, 10, 10, 10}};

class TranslucentFill : public ::testing::Test {
protected:
    static void SetUpTestSuite() { install_allegro(SYSTEM_NONE, &errno, std::atexit); }
    void TearDown() override { drawing_mode(DRAW_MODE_SOLID, nullptr, 0, 0); }
};

TEST_F(TranslucentFill, MatchesTheLibraryForEveryWeightAndRectangle) {
    std::mt19937 random(7);
    for (int alpha : {0, 1, 64, 128, 200, 255}) {
        set_trans_blender(0, 0, 0, alpha);
        for (const Rect &r : kRects) {
            const Pair p = random_pair(32, random);
            drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
            const int color = static_cast<int>(random() & 0xFFFFFF);
            rectfill(p.library, r.x1, r.y1, r.x2, r.y2, color);
            translucent_rectfill(p.fast, r.x1, r.y1, r.x2, r.y2, color);
            EXPECT_EQ(differing_pixels(p.library, p.fast), 0) << "alpha " << alpha << " rect " << r.x1 << "," << r.y1;
            destroy(p);
        }
    }
}

TEST_F(TranslucentFill, KeepsToTheClipRectangleAndASubBitmapsPlace) {
    std::mt19937 random(11);
    set_trans_blender(0, 0, 0, 128);
    const Pair p = random_pair(32, random);
    drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
    BITMAP *library_sub = create_sub_bitmap(p.library, 13, 9, 50, 40);
    BITMAP *fast_sub = create_sub_bitmap(p.fast, 13, 9, 50, 40);
    set_clip_rect(library_sub, 4, 6, 30, 33);
    set_clip_rect(fast_sub, 4, 6, 30, 33);
    for (const Rect &r : kRects) {
        rectfill(library_sub, r.x1, r.y1, r.x2, r.y2, 0xFF0000);
        translucent_rectfill(fast_sub, r.x1, r.y1, r.x2, r.y2, 0xFF0000);
    }
    EXPECT_EQ(differing_pixels(p.library, p.fast), 0);
    destroy_bitmap(library_sub);
    destroy_bitmap(fast_sub);
    destroy(p);
}

TEST_F(TranslucentFill, OtherModesDepthsAndBlendersDrawAsTheLibraryDoes) {
    std::mt19937 random(13);
    struct Case {
        int depth, mode;
        bool trans_blender;
    };
    for (const Case c : {Case{32, DRAW_MODE_SOLID, true}, Case{16, DRAW_MODE_TRANS, true},
                         Case{24, DRAW_MODE_TRANS, true}, Case{32, DRAW_MODE_TRANS, false}}) {
        if (c.trans_blender)
            set_trans_blender(0, 0, 0, 128);
        else
            set_multiply_blender(0, 0, 0, 128);
        const Pair p = random_pair(c.depth, random);
        drawing_mode(c.mode, nullptr, 0, 0);
        rectfill(p.library, 3, 4, 60, 50, 0x80FF40);
        translucent_rectfill(p.fast, 3, 4, 60, 50, 0x80FF40);
        EXPECT_EQ(differing_pixels(p.library, p.fast), 0) << "depth " << c.depth << " mode " << c.mode;
        destroy(p);
    }
}

}  // namespace
