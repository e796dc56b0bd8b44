// The playlist window, the current-song panel and the indicators of the real
// player at 800x600 (12 playlist rows) with a list of 20 entries: the
// highlight bar and the rows shown as the selection moves, the song lines,
// and what Backspace and Enter leave on the panels.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "screen_layout.h"
#include "screen_session.h"

namespace {

constexpr Layout kL = kLayout800;
constexpr int kEntries = 20;
constexpr double kSongSeconds = 65;
constexpr int kBarX = 3;             // left of the entry texts

std::string entry_name(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "s%02d.mp3", i);
    return name;
}

// The playlist's line for entry number i holding song file s<file>.mp3.
std::string entry_line(int i, int file) {
    char line[32];
    std::snprintf(line, sizeof line, "%3i. %s", i, entry_name(file).c_str());
    return line;
}

class PlaylistView : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(s_.ok());
        std::vector<std::string> names;
        for (int i = 0; i < kEntries; ++i) names.push_back(entry_name(i));
        paths_ = s_.songs(names, 440, kSongSeconds);
        ASSERT_EQ(paths_.size(), static_cast<size_t>(kEntries));
        s_.write_playlist(paths_);
        ASSERT_TRUE(s_.start());
    }
    void TearDown() override { EXPECT_EQ(s_.quit(), 0); }

    // Rows of the playlist area that carry the highlight bar.
    static std::vector<int> bar_rows(const Picture &shot) {
        std::vector<int> rows;
        for (int r = 0; r < kL.rows; ++r)
            if (near(shot.at(kBarX, kL.playlist.y + r * kRowHeight + kRowHeight / 2), kHighlight)) rows.push_back(r);
        return rows;
    }
    // Row r shows entry i holding song file `file` (entry texts have no
    // one-pixel drop).
    static bool row_shows(const Picture &shot, int r, int i, int file) {
        return shot.text_mismatches(kTextX, kL.playlist.y + r * kRowHeight, entry_line(i, file), kWhite, kL.width) ==
               0;
    }
    static bool row_empty(const Picture &shot, int r) {
        return shot.count({1, kL.playlist.y + r * kRowHeight, kL.playlist.w - 2, kRowHeight}, kWhite) == 0;
    }
    static bool centred_line(const Picture &shot, const Rect &area, int row, const std::string &text) {
        return shot.text_mismatches(centred_x(area, text), text_y(area, row), text, kWhite, kL.width) == 0;
    }
    // The window shows entries first.. on rows 0.., the bar on bar_row; what
    // it does not show is reported as a failure when `report` is set.
    static bool window_is(const Picture &shot, int first, int bar_row, bool report) {
        bool shown = true;
        auto lacks = [&](const std::string &what) {
            shown = false;
            if (report) ADD_FAILURE() << what;
        };
        if (bar_rows(shot) != std::vector<int>{bar_row}) lacks("the bar alone on row " + std::to_string(bar_row));
        for (int r = 0; r < kL.rows; ++r) {
            if (first + r >= kEntries) {
                if (!row_empty(shot, r)) lacks("row " + std::to_string(r) + " empty");
            } else if (!row_shows(shot, r, first + r, first + r)) {
                lacks("row " + std::to_string(r) + " showing entry " + std::to_string(first + r));
            }
        }
        return shown;
    }
    void expect_window(int first, int bar_row) {
        const Picture shot = s_.shot_until([&](const Picture &p) { return window_is(p, first, bar_row, false); });
        window_is(shot, first, bar_row, true);
    }

    ScreenSession s_{kL.width, kL.height, true};
    std::vector<std::string> paths_;
};

TEST_F(PlaylistView, TheBarAndTheWindowFollowTheSelection) {
    expect_window(0, 0);
    s_.key("--repeat 11 Down");
    expect_window(0, 11);
    s_.key("Down");  // scrolls: the bar stays on the bottom row
    expect_window(1, 11);
    s_.key("--repeat 8 Down");  // the last entry, then one press too many
    expect_window(8, 11);
    s_.key("Prior");  // Page Up: no whole page above row 11 at entry 19
    expect_window(0, 0);
    s_.key("Next");  // Page Down: a whole page, rows 8 to 11 empty
    expect_window(12, 0);
    s_.key("Next");  // the last full page
    expect_window(8, 0);
    s_.key("Up");  // scrolls up from the top row
    expect_window(7, 0);
}

TEST_F(PlaylistView, TheCurrentPanelNamesTheSongItsPositionAndTheList) {
    s_.key("space");  // paused: the position stands still
    const Picture shot = s_.shot();
    struct stat st{};
    ASSERT_EQ(stat(paths_[0].c_str(), &st), 0);
    const Rect &c = kL.current;
    EXPECT_TRUE(centred_line(shot, c, 1, "0. s00.mp3 " + std::to_string(st.st_size) + " bytes"));
    EXPECT_TRUE(centred_line(shot, c, 3, "Playlist playlist.qpl contains 20 songs."));
    // Some second of the song's first minute, of a length of a minute and
    // some seconds (how the decoder rounds the length is not this test's
    // business): exactly one such line.
    int matches = 0;
    for (int length = 60; length < 70; ++length)
        for (int second = 0; second < 60; ++second) {
            char line[64];
            std::snprintf(line, sizeof line, "Position: 00:00:%02d of 00:01:%02d", second, length - 60);
            matches += centred_line(shot, c, 2, line);
        }
    EXPECT_EQ(matches, 1);
    // Twenty songs: Insert and Delete skip ten.
    EXPECT_EQ(shot.text_mismatches(kL.controls.x + kTextX, text_y(kL.controls, 10), "Insert    Reverse 10", kWhite,
                                   kL.width), 0);
}

TEST_F(PlaylistView, PausedAndShuffleComeAndGoWithTheirKeys) {
    const Rect &c = kL.controls;
    auto shown = [&](const Picture &shot, int row, const std::string &text) {
        return centred_line(shot, c, row, text);
    };
    auto row_blank = [&](const Picture &shot, int row) {
        return shot.count({c.x + 1, text_y(c, row), c.w - 2, kRowHeight}, kWhite) == 0;
    };
    Picture shot = s_.shot();
    EXPECT_TRUE(row_blank(shot, 38));
    EXPECT_TRUE(row_blank(shot, 40));
    s_.key("space");
    shot = s_.shot();
    EXPECT_TRUE(shown(shot, 38, "Paused"));
    EXPECT_TRUE(row_blank(shot, 40));
    s_.key("s");
    shot = s_.shot();
    EXPECT_TRUE(shown(shot, 38, "Paused"));
    EXPECT_TRUE(shown(shot, 40, "Shuffle"));
    s_.key("space");
    shot = s_.shot();
    EXPECT_TRUE(row_blank(shot, 38));
    EXPECT_TRUE(shown(shot, 40, "Shuffle"));
    s_.key("S");  // Shift+S acts as S
    EXPECT_TRUE(row_blank(s_.shot(), 40));
}

TEST_F(PlaylistView, BackspaceAndEnterKeepThePanelOnThePlayingSong) {
    const Rect &c = kL.current;
    s_.key("--repeat 5 Down");
    s_.key("Return");  // entry 5 plays
    struct stat st{};
    ASSERT_EQ(stat(paths_[5].c_str(), &st), 0);
    const std::string bytes = " " + std::to_string(st.st_size) + " bytes";
    EXPECT_TRUE(centred_line(s_.shot(), c, 1, "5. s05.mp3" + bytes));
    // Removing an entry above the playing one: the song plays on and the
    // panel's number follows it.
    s_.key("Up Up Up BackSpace");
    Picture shot = s_.shot();
    EXPECT_TRUE(centred_line(shot, c, 1, "4. s05.mp3" + bytes));
    EXPECT_TRUE(centred_line(shot, c, 3, "Playlist playlist.qpl contains 19 songs."));
    // The entries after the removed one moved up, the bar stayed.
    EXPECT_TRUE(row_shows(shot, 2, 2, 3));
    EXPECT_TRUE(row_shows(shot, 4, 4, 5));
    EXPECT_EQ(bar_rows(shot), std::vector<int>{2});
    // Remove the last entry while selected: the bar stands on the empty row
    // past the end, where Backspace and Enter do nothing.
    s_.key("--repeat 20 Down");
    s_.key("BackSpace");
    shot = s_.shot();
    EXPECT_TRUE(centred_line(shot, c, 3, "Playlist playlist.qpl contains 18 songs."));
    EXPECT_EQ(bar_rows(shot), std::vector<int>{11});
    EXPECT_TRUE(row_empty(shot, 11));
    s_.key("BackSpace Return");
    shot = s_.shot();
    EXPECT_TRUE(centred_line(shot, c, 3, "Playlist playlist.qpl contains 18 songs."));
    EXPECT_TRUE(centred_line(shot, c, 1, "4. s05.mp3" + bytes));
}

}  // namespace
