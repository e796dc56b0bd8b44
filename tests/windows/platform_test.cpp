// The player's files on Windows, under Wine: UTF-8 names reach the system
// as the same characters, a save puts CR LF lines in place of the old file
// and leaves nothing beside it, and only files on a disk are opened. Names
// and contents are checked through the C++ library's own wide-name calls,
// not through the code under test.
#include <gtest/gtest.h>
#include <process.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform.h"
#include "player.h"

namespace {

namespace fs = std::filesystem;

// "ü" and "音" in UTF-8, as a playlist holds them, and as the system's
// UTF-16.
constexpr const char *kUtf8Song = "\xc3\xbc-\xe9\x9f\xb3.mp3";
constexpr const wchar_t *kWideSong = L"\u00fc-\u97f3.mp3";
constexpr const char *kUtf8List = "\xc3\xbc-list.qpl";
constexpr const wchar_t *kWideList = L"\u00fc-list.qpl";

class WindowsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("mp3player-platform-" + std::to_string(_getpid()));
        fs::create_directories(dir_);
        fs::current_path(dir_);
        Reset_Playlist();
    }
    void TearDown() override {
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(dir_);
    }
    static void make(const fs::path &name, const std::string &bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }
    static std::string bytes_of(const fs::path &name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // The names in the scratch folder.
    std::vector<fs::path> names() const {
        std::vector<fs::path> found;
        for (const auto &entry : fs::directory_iterator(dir_)) found.push_back(entry.path().filename());
        return found;
    }
    fs::path dir_;
};

TEST_F(WindowsFiles, Utf8NamesAreOpenedAsTheirCharacters) {
    make(kWideSong, "ID3");
    EXPECT_TRUE(File_Exists(kUtf8Song));
    EXPECT_TRUE(Is_Regular_File(kUtf8Song));
    Input_File song;
    ASSERT_TRUE(song.open(kUtf8Song));
    EXPECT_EQ(song.size(), 3);
    char head[8] = {};
    // A short file gives what it has at once.
    EXPECT_EQ(song.read(head, sizeof head), 3);
    EXPECT_STREQ(head, "ID3");
    // Bytes that are no UTF-8 name no file.
    EXPECT_FALSE(File_Exists("\xfc-\x89.mp3"));
}

TEST_F(WindowsFiles, SaveReplacesTheOldFileWithCrLfLinesAndLeavesNothingBeside) {
    make(kWideList, "old contents that are longer than the new list\n");
    ASSERT_TRUE(Append_Song(kUtf8Song));
    ASSERT_TRUE(Append_Song("C:\\music\\b.mp2"));
    std::string error;
    ASSERT_TRUE(Write_Playlist(kUtf8List, &error)) << error;
    EXPECT_EQ(bytes_of(kWideList), std::string(kUtf8Song) + "\r\nC:\\music\\b.mp2\r\n");
    EXPECT_EQ(names(), std::vector<fs::path>{kWideList});
}

TEST_F(WindowsFiles, FoldersAndDevicesAreNeitherOpenedNorSavedOver) {
    fs::create_directory(L"folder.qpl");
    ASSERT_TRUE(Append_Song("a.mp3"));
    for (const char *path : {"folder.qpl", "NUL", "CON"}) {
        Input_File file;
        EXPECT_FALSE(file.open(path)) << path;
        EXPECT_EQ(Open_Regular_Stream(path), nullptr) << path;
        EXPECT_FALSE(Is_Regular_File(path)) << path;
        std::string error;
        EXPECT_FALSE(Write_Playlist(path, &error)) << path;
        EXPECT_FALSE(error.empty()) << path;
    }
    // The folder is as it was, and no new file is left beside it.
    EXPECT_TRUE(fs::is_empty(L"folder.qpl"));
    EXPECT_EQ(names(), std::vector<fs::path>{L"folder.qpl"});
}

TEST_F(WindowsFiles, APlaylistIsReadWithItsCrLfLineEnds) {
    make(kWideSong, "ID3");
    make(kWideList, std::string(kUtf8Song) + "\r\nmissing.mp3\r\n" + kUtf8Song + "\r\n");
    std::FILE *list = Open_Regular_Stream(kUtf8List);
    ASSERT_NE(list, nullptr);
    Read_Playlist(list);
    std::fclose(list);
    ASSERT_EQ(Number_of_Songs, 2);
    EXPECT_STREQ(Song_Names[0], kUtf8Song);
    EXPECT_STREQ(Song_Names[1], kUtf8Song);
}

}  // namespace
