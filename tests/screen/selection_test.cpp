// The playlist selection without a display: the library runs with its system
// driver "none", the back buffer and the playlist area are plain memory
// bitmaps shaped as on an 800x600 screen (12 rows of the 8-pixel font), and
// songs open and decode without sound.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <random>
#include <string>

#include "player.h"
#include "player_test_util.h"

namespace {

constexpr int kScreenW = 800;
constexpr int kScreenH = 600;
constexpr int kPlaylistY = 504;   // the 800x600 layout's playlist band
constexpr int kPlaylistW = 532;
constexpr int kPlaylistH = 96;
constexpr int kRows = 12;
constexpr int kListSize = 20;

class AllegroWithoutDisplay : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, std::atexit), 0);
        Scr = create_bitmap_ex(32, kScreenW, kScreenH);
        ASSERT_NE(Scr, nullptr);
        Playlist_Area = create_sub_bitmap(Scr, 0, kPlaylistY, kPlaylistW, kPlaylistH);
        ASSERT_NE(Playlist_Area, nullptr);
    }
    void TearDown() override {
        destroy_bitmap(Playlist_Area);
        destroy_bitmap(Scr);
        Playlist_Area = Scr = nullptr;
    }
};
const auto *const kAllegro = ::testing::AddGlobalTestEnvironment(new AllegroWithoutDisplay);

struct Selection {
    int sel, start, row;
    bool operator==(const Selection &o) const { return sel == o.sel && start == o.start && row == o.row; }
};

std::ostream &operator<<(std::ostream &out, const Selection &s) {
    return out << "{sel " << s.sel << ", start " << s.start << ", row " << s.row << "}";
}

Selection selection() { return {PL_Sel, PL_Start, PL_Sel_Row}; }

void set_selection(Selection s) {
    PL_Sel = s.sel;
    PL_Start = s.start;
    PL_Sel_Row = s.row;
}

void press(void (*operation)(), int times) {
    for (int i = 0; i < times; ++i) operation();
}

class Moves : public ::testing::Test {
protected:
    void SetUp() override { Reset_Playlist(); }
    void TearDown() override { Reset_Playlist(); }
    static void fill(int n) {
        for (int i = 0; i < n; ++i) ASSERT_TRUE(Append_Song(("entry" + std::to_string(i) + ".mp3").c_str()));
    }
};

TEST_F(Moves, PageSizeIsTheAreasWholeRows) { EXPECT_EQ(Playlist_Rows(), kRows); }

TEST_F(Moves, DownMovesTheBarToTheBottomRowThenScrollsAndStopsAtTheLastEntry) {
    fill(kListSize);
    press(Playlist_Down, 11);
    EXPECT_EQ(selection(), (Selection{11, 0, 11}));
    Playlist_Down();
    EXPECT_EQ(selection(), (Selection{12, 1, 11}));
    press(Playlist_Down, 7);
    EXPECT_EQ(selection(), (Selection{19, 8, 11}));
    Playlist_Down();
    EXPECT_EQ(selection(), (Selection{19, 8, 11}));
}

TEST_F(Moves, UpScrollsFromTheTopRowAndStopsAtTheFirstEntry) {
    fill(kListSize);
    set_selection({12, 12, 0});
    Playlist_Up();
    EXPECT_EQ(selection(), (Selection{11, 11, 0}));
    set_selection({5, 0, 5});
    Playlist_Up();
    EXPECT_EQ(selection(), (Selection{4, 0, 4}));
    set_selection({0, 0, 0});
    Playlist_Up();
    EXPECT_EQ(selection(), (Selection{0, 0, 0}));
}

TEST_F(Moves, PageDownMovesAWholePageThenShowsTheLastFullPage) {
    fill(kListSize);
    Playlist_Jump_Down();
    EXPECT_EQ(selection(), (Selection{12, 12, 0}));
    Playlist_Jump_Down();
    EXPECT_EQ(selection(), (Selection{8, 8, 0}));
    // The bar keeps its row while a whole page fits below.
    set_selection({3, 0, 3});
    Playlist_Jump_Down();
    EXPECT_EQ(selection(), (Selection{15, 12, 3}));
}

TEST_F(Moves, PageUpMovesAWholePageOrGoesToTheTop) {
    fill(kListSize);
    set_selection({12, 12, 0});
    Playlist_Jump_Up();
    EXPECT_EQ(selection(), (Selection{0, 0, 0}));
    set_selection({5, 0, 5});
    Playlist_Jump_Up();
    EXPECT_EQ(selection(), (Selection{0, 0, 0}));
    set_selection({19, 8, 11});
    Playlist_Jump_Up();
    EXPECT_EQ(selection(), (Selection{0, 0, 0}));
    set_selection({18, 13, 5});
    Playlist_Jump_Up();
    EXPECT_EQ(selection(), (Selection{6, 1, 5}));
}

TEST_F(Moves, PagesDoNothingWhenTheListFitsAndAFullPageListGoesToItsTop) {
    fill(11);
    set_selection({4, 0, 4});
    Playlist_Jump_Down();
    Playlist_Jump_Up();
    EXPECT_EQ(selection(), (Selection{4, 0, 4}));
    Append_Song("entry11.mp3");  // exactly one page
    for (int from : {0, 6, 11}) {
        set_selection({from, 0, from});
        Playlist_Jump_Down();
        EXPECT_EQ(selection(), (Selection{0, 0, 0})) << from;
    }
}

TEST_F(Moves, AnEmptyListMovesNothing) {
    for (auto *operation : {Playlist_Up, Playlist_Down, Playlist_Jump_Up, Playlist_Jump_Down, Remove_Selected}) {
        operation();
        EXPECT_EQ(selection(), (Selection{0, 0, 0}));
        EXPECT_EQ(Number_of_Songs, 0);
    }
}

// Any sequence of moves on any list length keeps the bar on a row of the
// area, the selection on an entry, and PL_Sel = PL_Start + PL_Sel_Row.
TEST_F(Moves, RandomMovesKeepTheSelectionOnTheListAndTheBarInTheArea) {
    std::mt19937 random(20261207);
    void (*const operations[])() = {Playlist_Up, Playlist_Down, Playlist_Jump_Up, Playlist_Jump_Down};
    for (int n : {1, 2, 11, 12, 13, 20, 24, 25, 40}) {
        Reset_Playlist();
        fill(n);
        for (int step = 0; step < 2000; ++step) {
            operations[random() % 4]();
            ASSERT_EQ(PL_Sel, PL_Start + PL_Sel_Row) << "n " << n << " step " << step;
            ASSERT_GE(PL_Sel_Row, 0);
            ASSERT_LT(PL_Sel_Row, kRows);
            ASSERT_GE(PL_Sel, 0);
            ASSERT_LT(PL_Sel, n);
        }
    }
}

// Playing and removing, over real songs: entry i is song i's own copy, so
// Current_BM tells which one is open.
class PlayAndRemove : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch_ = new ScratchDir;
        ASSERT_TRUE(make_tone_song(scratch_->file("tone.mp3"), 440, 0.3));
        for (int i = 0; i < kListSize; ++i)
            ASSERT_EQ(std::system(("cp '" + scratch_->file("tone.mp3") + "' '" + song(i) + "'").c_str()), 0);
    }
    static void TearDownTestSuite() {
        delete scratch_;
        scratch_ = nullptr;
    }
    void SetUp() override {
        Reset_Playlist();
        Change_Settings(kMaxLevel, kCentrePanning, kNormalSpeed, 0, 0);
        for (int i = 0; i < kListSize; ++i) ASSERT_TRUE(Append_Song(song(i).c_str()));
    }
    void TearDown() override { Reset_Playlist(); }

    static std::string song(int i) { return scratch_->file("song" + std::to_string(i) + ".mp3"); }
    static void play(int entry) {
        Current_Song = entry;
        Select_Current_Song();
        Change_BGM();
        ASSERT_NE(Current_MP3, nullptr);
    }
    static void select(int entry) { set_selection({entry, 0, entry}); }

    static ScratchDir *scratch_;
};

ScratchDir *PlayAndRemove::scratch_ = nullptr;

TEST_F(PlayAndRemove, EnterPlaysTheSelectedEntryFromItsStart) {
    play(3);
    select(7);
    Play_Selected();
    EXPECT_EQ(Current_Song, 7);
    EXPECT_EQ(std::string(Current_BM), song(7));
    EXPECT_NE(Current_MP3, nullptr);
    EXPECT_EQ(selection(), (Selection{7, 0, 7}));
}

TEST_F(PlayAndRemove, RemovingThePlayingEntryPlaysTheOneThatTookItsPlace) {
    play(4);
    select(4);
    Remove_Selected();
    EXPECT_EQ(Number_of_Songs, 19);
    EXPECT_EQ(Current_Song, 4);
    EXPECT_EQ(std::string(Current_BM), song(5));
    EXPECT_EQ(selection(), (Selection{4, 0, 4}));
}

TEST_F(PlayAndRemove, RemovingThePlayingLastEntryPlaysTheFirst) {
    play(19);
    set_selection({19, 8, 11});
    Remove_Selected();
    EXPECT_EQ(Number_of_Songs, 19);
    EXPECT_EQ(Current_Song, 0);
    EXPECT_EQ(std::string(Current_BM), song(0));
}

TEST_F(PlayAndRemove, RemovingAnEntryBeforeThePlayingOneKeepsNamingThePlayingSong) {
    play(9);
    const SongFile *playing = Current_MP3;
    select(2);
    Remove_Selected();
    EXPECT_EQ(Number_of_Songs, 19);
    EXPECT_EQ(Current_MP3, playing);  // the song plays on
    EXPECT_EQ(Current_Song, 8);
    EXPECT_EQ(std::string(Song_Names[Current_Song]), song(9));
    // The next song is the one that followed the playing one.
    Next_Song(1);
    EXPECT_EQ(std::string(Current_BM), song(10));
}

TEST_F(PlayAndRemove, RemovingAnEntryAfterThePlayingOneLeavesItsNumber) {
    play(3);
    const SongFile *playing = Current_MP3;
    select(10);
    Remove_Selected();
    EXPECT_EQ(Current_MP3, playing);
    EXPECT_EQ(Current_Song, 3);
    EXPECT_EQ(std::string(Song_Names[10]), song(11));
    EXPECT_EQ(std::string(Song_Names[18]), song(19));
}

TEST_F(PlayAndRemove, PastTheEndEnterAndBackspaceDoNothingAndUpReturns) {
    play(5);
    const SongFile *playing = Current_MP3;
    set_selection({19, 8, 11});
    Remove_Selected();  // the last entry, not playing
    ASSERT_EQ(Number_of_Songs, 19);
    EXPECT_EQ(selection(), (Selection{19, 8, 11}));  // on the empty row past the end
    Play_Selected();
    EXPECT_EQ(Current_MP3, playing);
    EXPECT_EQ(Current_Song, 5);
    EXPECT_EQ(std::string(Current_BM), song(5));
    Remove_Selected();
    EXPECT_EQ(Number_of_Songs, 19);
    EXPECT_EQ(std::string(Song_Names[18]), song(18));
    Playlist_Up();
    EXPECT_EQ(selection(), (Selection{18, 8, 10}));
}

TEST_F(PlayAndRemove, RemovingTheOnlyPlayingEntryLetsItPlayOnUntilEnterStopsIt) {
    Reset_Playlist();
    Append_Song(song(0).c_str());
    play(0);
    const SongFile *playing = Current_MP3;
    select(0);
    Remove_Selected();
    EXPECT_EQ(Number_of_Songs, 0);
    EXPECT_EQ(Current_MP3, playing);
    Play_Selected();
    EXPECT_EQ(Current_MP3, nullptr);
}

}  // namespace
