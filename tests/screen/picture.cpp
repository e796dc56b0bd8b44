#include "picture.h"

#include <allegro.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <ostream>

namespace {

constexpr int kMaxChannel = 255;

// The next header number of a PPM, past blanks and "#" comment lines.
bool ppm_number(std::istream &in, int *value) {
    for (int c = in.peek(); c == '#' || std::isspace(c); c = in.peek()) {
        if (c == '#')
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        else
            in.get();
    }
    return static_cast<bool>(in >> *value);
}

// Reads a binary PPM (P6, maxval 255).
bool read_ppm(const std::string &path, int *width, int *height, std::vector<uint8_t> *rgb) {
    std::ifstream in(path, std::ios::binary);
    char magic[2] = {};
    int maxval = 0;
    if (!in.read(magic, 2) || magic[0] != 'P' || magic[1] != '6') return false;
    if (!ppm_number(in, width) || !ppm_number(in, height) || !ppm_number(in, &maxval) || maxval != kMaxChannel)
        return false;
    in.get();  // the single blank after the header
    rgb->resize(static_cast<size_t>(*width) * *height * 3);
    in.read(reinterpret_cast<char *>(rgb->data()), static_cast<std::streamsize>(rgb->size()));
    return static_cast<size_t>(in.gcount()) == rgb->size();
}

}  // namespace

std::ostream &operator<<(std::ostream &out, const Rgb &c) {
    return out << "(" << c.r << "," << c.g << "," << c.b << ")";
}

Rgb half_over(Rgb src, Rgb dst) {
    return {dst.r + (src.r - dst.r) / 2, dst.g + (src.g - dst.g) / 2, dst.b + (src.b - dst.b) / 2};
}

bool near(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

Picture::Picture(HeadlessSession &session) {
    const std::string shot = session.dir() + "/screenshot.xwd";
    if (session.sh("xwd -root -silent > " + shot) == 0) read(session, "xwd:" + shot);
}

Picture::Picture(HeadlessSession &session, const std::string &path) { read(session, path); }

void Picture::read(HeadlessSession &session, const std::string &source) {
    const std::string ppm = session.dir() + "/picture.ppm";
    std::remove(ppm.c_str());
    if (session.sh("convert '" + source + "' -depth 8 ppm:" + ppm) != 0) return;
    if (!read_ppm(ppm, &width_, &height_, &rgb_)) width_ = height_ = 0;
}

Rgb Picture::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {-1, -1, -1};
    const size_t i = (static_cast<size_t>(y) * width_ + x) * 3;
    return {rgb_[i], rgb_[i + 1], rgb_[i + 2]};
}

int Picture::count(const Rect &r, Rgb c, int tolerance) const {
    int n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) n += near(at(x, y), c, tolerance);
    return n;
}

void ensure_library() {
    static const bool installed = install_allegro(SYSTEM_NONE, &errno, std::atexit) == 0;
    (void)installed;
}

int Picture::text_mismatches(int x, int y, const std::string &text, Rgb fg, int clip_x) const {
    ensure_library();
    const int w = text_length(font, text.c_str());
    const int h = text_height(font);
    BITMAP *glyphs = create_bitmap_ex(8, w, h);
    if (!glyphs) return -1;
    clear_to_color(glyphs, 0);
    textout_ex(glyphs, font, text.c_str(), 0, 0, 1, -1);
    int mismatches = 0;
    for (int gy = 0; gy < h; ++gy)
        for (int gx = 0; gx < w && x + gx < clip_x; ++gx) {
            const bool glyph = getpixel(glyphs, gx, gy) != 0;
            mismatches += glyph != (at(x + gx, y + gy) == fg);
        }
    destroy_bitmap(glyphs);
    return mismatches;
}

int font_text_length(const std::string &text) {
    ensure_library();
    return text_length(font, text.c_str());
}

int font_height() {
    ensure_library();
    return text_height(font);
}
