// Background images in the real player at 1024x768: the default "bg.jpg"
// and images of every kind chosen with F5 stretched over the whole screen
// under the translucent panels, an existing file that is no image giving the
// plain background, and a name of no file leaving the image and the pause.
#include <gtest/gtest.h>

#include <allegro.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "screen_layout.h"
#include "screen_session.h"

namespace {

constexpr Layout kL = kLayout1024;
// Images of four coloured quadrants, much smaller than the screen.
constexpr int kImageW = 64;
constexpr int kImageH = 48;
constexpr int kJpegTolerance = 12;
constexpr int kExactTolerance = 4;  // 6-bit palettes of 8-bit images

struct Quadrants {
    Rgb top_left, top_right, bottom_left, bottom_right;
};

constexpr Rgb kBlue{0, 0, 255}, kGreen{0, 255, 0}, kYellow{255, 255, 0}, kMagenta{255, 0, 255}, kCyan{0, 255, 255};

std::string hex(Rgb c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return text;
}

// Writes the quadrants as a JPEG through ImageMagick.
bool write_jpeg(HeadlessSession &s, const std::string &path, const Quadrants &q) {
    const std::string size = "-size " + std::to_string(kImageW / 2) + "x" + std::to_string(kImageH / 2) + " ";
    return s.sh("convert " + size + "xc:'" + hex(q.top_left) + "' " + size + "xc:'" + hex(q.top_right) +
                "' +append \\( " + size + "xc:'" + hex(q.bottom_left) + "' " + size + "xc:'" +
                hex(q.bottom_right) + "' +append \\) -append -quality 95 JPG:'" + path + "'") == 0;
}

// Writes the quadrants as a 24-bit BMP, PCX or TGA file (by the name's
// extension) with the library's own image writers.
bool write_with_library(const std::string &path, const Quadrants &q) {
    ensure_library();
    BITMAP *image = create_bitmap_ex(24, kImageW, kImageH);
    if (!image) return false;
    const Rgb colours[] = {q.top_left, q.top_right, q.bottom_left, q.bottom_right};
    for (int i = 0; i < 4; ++i) {
        const int x = (i % 2) * kImageW / 2;
        const int y = (i / 2) * kImageH / 2;
        rectfill(image, x, y, x + kImageW / 2 - 1, y + kImageH / 2 - 1,
                 makecol24(colours[i].r, colours[i].g, colours[i].b));
    }
    const bool saved = save_bitmap(path.c_str(), image, nullptr) == 0;
    destroy_bitmap(image);
    return saved;
}

void put_be16(std::string &out, int v) {
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
}

void put_be32(std::string &out, uint32_t v) {
    put_be16(out, static_cast<int>(v >> 16));
    put_be16(out, static_cast<int>(v & 0xFFFF));
}

void put_chunk(std::string &out, const char *id, const std::string &data) {
    out += id;
    put_be32(out, static_cast<uint32_t>(data.size()));
    out += data;
    if (data.size() % 2) out += '\0';
}

// Writes the quadrants as a Deluxe Paint ILBM (".lbm"): a four-colour
// palette and two uncompressed bit planes, which ImageMagick cannot write.
void write_lbm(const std::string &path, const Quadrants &q) {
    const Rgb palette[] = {q.top_left, q.top_right, q.bottom_left, q.bottom_right};
    constexpr int kPlanes = 2;
    std::string header;
    put_be16(header, kImageW);
    put_be16(header, kImageH);
    put_be32(header, 0);                             // position
    header += static_cast<char>(kPlanes);
    header += std::string(3, '\0');                  // no mask, no compression, pad
    put_be16(header, 0);                             // transparent colour
    header += "\x01\x01";                            // aspect
    put_be16(header, kImageW);
    put_be16(header, kImageH);
    std::string colours;
    for (const Rgb &c : palette) colours += {static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b)};
    const int row_bytes = (kImageW + 15) / 16 * 2;
    std::string body;
    for (int y = 0; y < kImageH; ++y)
        for (int plane = 0; plane < kPlanes; ++plane) {
            std::string row(static_cast<size_t>(row_bytes), '\0');
            for (int x = 0; x < kImageW; ++x) {
                const int index = (y >= kImageH / 2 ? 2 : 0) + (x >= kImageW / 2 ? 1 : 0);
                if (index & (1 << plane)) row[static_cast<size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
            }
            body += row;
        }
    std::string form = "ILBM";
    put_chunk(form, "BMHD", header);
    put_chunk(form, "CMAP", colours);
    put_chunk(form, "BODY", body);
    std::string file;
    put_chunk(file, "FORM", form);
    std::ofstream(path, std::ios::binary) << file;
}

class Background : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(s_.ok());
        const auto songs = s_.songs({"song.mp3"}, 440, 40);
        ASSERT_EQ(songs.size(), 1u);
        s_.write_playlist(songs);
    }
    void TearDown() override { EXPECT_EQ(s_.quit(), 0); }

    // The quadrants stretched over the whole screen: seen in the uncovered
    // band, and under the controls column's fill and frame.
    void expect_stretched(const Quadrants &q, int tolerance, const std::string &what) {
        const Picture shot = s_.shot();
        ASSERT_TRUE(shot.ok());
        const int band_bottom = kL.current.y - 10;
        const int band_right = kL.controls.x - 10;
        EXPECT_TRUE(near(shot.at(10, 10), q.top_left, tolerance)) << what << " " << shot.at(10, 10);
        EXPECT_TRUE(near(shot.at(band_right, 10), q.top_right, tolerance)) << what << " " << shot.at(band_right, 10);
        EXPECT_TRUE(near(shot.at(10, band_bottom), q.bottom_left, tolerance)) << what;
        const Rgb under_fill = half_over(kRed, q.bottom_right);
        EXPECT_TRUE(near(shot.at(kL.width - 20, kL.height - 20), under_fill, tolerance + 2))
            << what << " " << shot.at(kL.width - 20, kL.height - 20) << " want " << under_fill;
        const Rgb frame = half_over(kWhite, under_fill);
        EXPECT_TRUE(near(shot.at(kL.width - 1, kL.height - 20), frame, tolerance + 2))
            << what << " " << shot.at(kL.width - 1, kL.height - 20) << " want " << frame;
    }
    bool paused_shown() {
        const std::string text = "Paused";
        return s_.shot().text_mismatches(centred_x(kL.controls, text), text_y(kL.controls, 38), text, kWhite,
                                         kL.width) == 0;
    }
    void choose_background(const std::string &path) {
        s_.key("F5");
        s_.enter_in_dialog(path);
    }

    ScreenSession s_{kL.width, kL.height, true};
};

TEST_F(Background, TheDefaultJpegAndEveryKindChosenWithF5FillTheScreen) {
    const Quadrants jpg{kBlue, kGreen, kYellow, kMagenta};
    ASSERT_TRUE(write_jpeg(s_.session(), s_.path("bg.jpg"), jpg));
    ASSERT_TRUE(s_.start());
    expect_stretched(jpg, kJpegTolerance, "bg.jpg");

    struct Kind {
        std::string name;
        Quadrants q;
    };
    const Kind kinds[] = {{"pic.bmp", {kGreen, kMagenta, kBlue, kYellow}},
                          {"pic.pcx", {kMagenta, kYellow, kGreen, kCyan}},
                          {"pic.tga", {kYellow, kCyan, kMagenta, kBlue}},
                          {"pic.lbm", {kCyan, kBlue, kMagenta, kGreen}}};
    for (const Kind &k : kinds) {
        if (k.name == "pic.lbm")
            write_lbm(s_.path(k.name), k.q);
        else
            ASSERT_TRUE(write_with_library(s_.path(k.name), k.q));
        choose_background(s_.path(k.name));
        expect_stretched(k.q, kExactTolerance, k.name);
        EXPECT_FALSE(paused_shown()) << k.name << ": playback resumes";
    }
}

TEST_F(Background, AFileThatIsNoImageGivesThePlainBackgroundAndNoFileChangesNothing) {
    const Quadrants jpg{kBlue, kGreen, kYellow, kMagenta};
    ASSERT_TRUE(write_jpeg(s_.session(), s_.path("bg.jpg"), jpg));
    std::ofstream(s_.path("notes.txt")) << "not a picture\n";
    ASSERT_TRUE(s_.start());
    choose_background(s_.path("notes.txt"));
    Picture shot = s_.shot();
    EXPECT_EQ(shot.count({0, 0, kL.controls.x, kL.current.y}, kBlack), kL.controls.x * kL.current.y);
    EXPECT_TRUE(near(shot.at(kL.width - 20, kL.height - 20), kPanelFill));
    EXPECT_FALSE(paused_shown());
    // A name of no file changes nothing, the pause state included.
    choose_background(s_.path("missing.bmp"));
    shot = s_.shot();
    EXPECT_EQ(shot.count({0, 0, kL.controls.x, kL.current.y}, kBlack), kL.controls.x * kL.current.y);
    EXPECT_FALSE(paused_shown());
}

}  // namespace
