// The application icon on X11: the real player's window carries an icon
// pixmap in its window-manager hints, and that pixmap is the committed
// picture resources/mp3player.png, 200 x 222 pixels, pixel for pixel.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <string>

#include "screen_layout.h"
#include "screen_session.h"

namespace {

constexpr int kIconW = 200;
constexpr int kIconH = 222;

// The 8-bit value of a channel of an X pixel, from the channel's mask.
int channel(unsigned long pixel, unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return mask ? static_cast<int>(((pixel >> shift) & mask) * 255 / mask) : 0;
}

TEST(Icon, TheWindowCarriesTheCommittedPicture) {
    ScreenSession s(kLayout800.width, kLayout800.height);
    ASSERT_TRUE(s.ok());
    ASSERT_TRUE(s.start());
    const Picture wanted(s.session(), ICON_PNG);
    ASSERT_TRUE(wanted.ok());
    ASSERT_EQ(wanted.width(), kIconW);
    ASSERT_EQ(wanted.height(), kIconH);

    const std::string id = s.session().sh_output("xdotool search --class Allegro 2>/dev/null | head -1");
    ASSERT_FALSE(id.empty());
    Display *display = XOpenDisplay(s.session().display().c_str());
    ASSERT_NE(display, nullptr);
    const Window window = std::strtoul(id.c_str(), nullptr, 10);
    XWMHints *hints = XGetWMHints(display, window);
    ASSERT_NE(hints, nullptr);
    EXPECT_TRUE(hints->flags & IconPixmapHint);
    const Pixmap icon = hints->icon_pixmap;
    XFree(hints);

    Window root = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    ASSERT_TRUE(XGetGeometry(display, icon, &root, &x, &y, &width, &height, &border, &depth));
    EXPECT_EQ(width, static_cast<unsigned>(kIconW));
    EXPECT_EQ(height, static_cast<unsigned>(kIconH));
    XImage *image = XGetImage(display, icon, 0, 0, width, height, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    // The image of a pixmap has no channel masks of its own: the screen's
    // visual gives them.
    const Visual *visual = DefaultVisual(display, DefaultScreen(display));
    int differing = 0;
    for (int py = 0; py < kIconH && py < static_cast<int>(height); ++py)
        for (int px = 0; px < kIconW && px < static_cast<int>(width); ++px) {
            const unsigned long p = XGetPixel(image, px, py);
            const Rgb got{channel(p, visual->red_mask), channel(p, visual->green_mask), channel(p, visual->blue_mask)};
            differing += !(got == wanted.at(px, py));
        }
    EXPECT_EQ(differing, 0);
    XDestroyImage(image);
    XCloseDisplay(display);
    EXPECT_EQ(s.quit(), 0);
}

}  // namespace
