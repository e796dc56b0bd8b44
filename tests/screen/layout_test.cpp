// The player's screen with an empty playlist and no background image, at
// 1024x768 and 800x600: the three panels where the layout puts them, filled
// and framed translucently, the uncovered band showing the background, and
// the texts of an empty player.
#include <gtest/gtest.h>

#include <string>

#include "screen_layout.h"
#include "screen_session.h"

namespace {

// Every pixel of r has colour c.
void expect_all(const Picture &shot, const Rect &r, Rgb c, const std::string &what) {
    EXPECT_EQ(shot.count(r, c, 2), r.w * r.h) << what << " " << c;
}

// A panel: its one-pixel frame on all four edges (the right edge may carry
// glyphs of a clipped text), and inside only the fill and white text.
void expect_panel(const Picture &shot, const Rect &p, const std::string &name) {
    expect_all(shot, {p.x, p.y, p.w, 1}, kPanelFrame, name + " top edge");
    expect_all(shot, {p.x, p.y + p.h - 1, p.w, 1}, kPanelFrame, name + " bottom edge");
    expect_all(shot, {p.x, p.y, 1, p.h}, kPanelFrame, name + " left edge");
    EXPECT_GE(shot.count({p.x + p.w - 1, p.y, 1, p.h}, kPanelFrame, 2), p.h - kRowHeight) << name << " right edge";
    const Rect inside{p.x + 1, p.y + 1, p.w - 2, p.h - 2};
    EXPECT_EQ(shot.count(inside, kPanelFill, 2) + shot.count(inside, kWhite), inside.w * inside.h) << name;
    EXPECT_GT(shot.count(inside, kPanelFill, 2), inside.w * inside.h / 2) << name;
}

void expect_text(const Picture &shot, int x, int y, const std::string &text) {
    EXPECT_EQ(shot.text_mismatches(x, y, text, kWhite, shot.width()), 0) << "\"" << text << "\" at " << x << "," << y;
}

class EmptyScreen : public ::testing::TestWithParam<Layout> {};

TEST_P(EmptyScreen, ShowsThreeTranslucentPanelsOverThePlainBackground) {
    const Layout l = GetParam();
    ScreenSession s(l.width, l.height);
    ASSERT_TRUE(s.ok());
    ASSERT_TRUE(s.start());
    const Picture shot = s.shot();
    ASSERT_TRUE(shot.ok());
    ASSERT_EQ(shot.width(), l.width);
    expect_panel(shot, l.playlist, "playlist");
    expect_panel(shot, l.current, "current");
    expect_panel(shot, l.controls, "controls");
    // The band at the top left belongs to no panel: plain black.
    expect_all(shot, {0, 0, l.controls.x, l.current.y}, kBlack, "uncovered band");
    // The frame is white laid over the fill, not solid white.
    EXPECT_FALSE(near(kPanelFrame, kWhite, 20));
    // With an empty list the current-song panel is blank.
    EXPECT_EQ(shot.count(l.current, kWhite), 0);
    EXPECT_EQ(s.quit(), 0);
}

TEST_P(EmptyScreen, ShowsTheSettingsTheHelpAndTheEmptyListMessage) {
    const Layout l = GetParam();
    ScreenSession s(l.width, l.height);
    ASSERT_TRUE(s.ok());
    ASSERT_TRUE(s.start());
    const Picture shot = s.shot();
    ASSERT_TRUE(shot.ok());
    const Rect &c = l.controls;
    const int left = c.x + kTextX;
    expect_text(shot, left, text_y(c, 2), " Volume:  100 percent");
    expect_text(shot, left, text_y(c, 3), "  Speed:  100 percent");
    expect_text(shot, left, text_y(c, 4), "Panning:   0");
    expect_text(shot, centred_x(c, "Song Controls"), text_y(c, 6), "Song Controls");
    expect_text(shot, left, text_y(c, 8), "Left      Previous Song");
    // No playlist file has been loaded: the skip count is 0.
    expect_text(shot, left, text_y(c, 10), "Insert    Reverse  0");
    expect_text(shot, left, text_y(c, 11), "Delete    Forward  0");
    expect_text(shot, left, text_y(c, 19), "PageDown  Jump Down in Playlist");
    expect_text(shot, left, text_y(c, 21), "Backspace Remove Selected Song");
    expect_text(shot, centred_x(c, "System Controls"), text_y(c, 25), "System Controls");
    expect_text(shot, left, text_y(c, 31), "F5        Change Background");
    // Wider than the column: its end is cut off at the screen's edge.
    expect_text(shot, left, text_y(c, 32), "F6        Toggle Fullscreen/Window");
    EXPECT_GT(left + font_text_length("F6        Toggle Fullscreen/Window"), l.width);
    expect_text(shot, left, text_y(c, 33), "ESC       Quit");
    expect_text(shot, centred_x(c, "Mode: Fullscreen"), text_y(c, 36), "Mode: Fullscreen");
    // Rows between the groups stay empty, and so do the indicator rows.
    for (int row : {0, 1, 5, 7, 24, 26, 34, 35, 37, 38, 39, 40})
        EXPECT_EQ(shot.count({c.x + 1, c.y + row * kRowHeight + kTextDrop, c.w - 2, kRowHeight}, kWhite), 0)
            << "row " << row;
    const std::string empty = "The Playlist is Empty";
    expect_text(shot, centred_x(l.playlist, empty), text_y(l.playlist, 1), empty);
    EXPECT_EQ(s.quit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Screens, EmptyScreen, ::testing::Values(kLayout1024, kLayout800),
                         [](const ::testing::TestParamInfo<Layout> &info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

}  // namespace
