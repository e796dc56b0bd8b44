// Pictures read back as pixels (screenshots of a test display, image
// files), the colours the player's translucent drawing gives, and texts
// checked against the library's own font drawn here in the test.
#ifndef PICTURE_H
#define PICTURE_H

#include <cstdint>
#include <string>
#include <vector>

#include "headless.h"

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};
std::ostream &operator<<(std::ostream &out, const Rgb &c);

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRed{255, 0, 0};

// src drawn at half strength over dst, as the player's translucency does it.
Rgb half_over(Rgb src, Rgb dst);
// Colours equal within tolerance in each of red, green and blue.
bool near(Rgb a, Rgb b, int tolerance = 2);

struct Rect {
    int x, y, w, h;
};

class Picture {
public:
    // A screenshot of the session's whole display. Empty on failure.
    explicit Picture(HeadlessSession &session);
    // The image file at path, read through ImageMagick. Empty on failure.
    Picture(HeadlessSession &session, const std::string &path);
    bool ok() const { return width_ > 0; }
    int width() const { return width_; }
    int height() const { return height_; }
    Rgb at(int x, int y) const;
    // Pixels of colour c (within tolerance) in r.
    int count(const Rect &r, Rgb c, int tolerance = 0) const;
    // Mismatching pixels between text drawn with the library's font, top
    // left at (x, y), in colour fg on a transparent background, and the
    // screenshot: glyph pixels must be fg, the rest of the text's box must
    // not. Columns at or right of clip_x are not compared (clipped text).
    int text_mismatches(int x, int y, const std::string &text, Rgb fg, int clip_x) const;

private:
    // Converts source (an ImageMagick input name) to PPM and reads it.
    void read(HeadlessSession &session, const std::string &source);

    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> rgb_;
};

// Installs the library without a display (once) for its font and its
// image files in this process.
void ensure_library();

// Width in pixels of text in the library's font, and its height.
int font_text_length(const std::string &text);
int font_height();

#endif
