// The player's files as the operating system sees them: the one place that
// knows POSIX from Windows (platform_posix.cpp or platform_windows.cpp is
// built in). Paths are the playlist's bytes, UTF-8 on Windows too, turned
// into the system's own form only at the system call. The library's file
// functions re-encode names, and opening a FIFO or a device for reading can
// block for ever, so songs and playlists are opened here, regular files only.
#ifndef PLATFORM_H
#define PLATFORM_H

#include <cstdint>
#include <cstdio>
#include <string>

// A regular file open for reading, closed with the object.
class Input_File {
public:
    Input_File() = default;
    ~Input_File();
    Input_File(const Input_File &) = delete;
    Input_File &operator=(const Input_File &) = delete;

    // Opens path when it names a regular file (not a FIFO, a device or a
    // folder), without waiting. False, with nothing open, otherwise.
    bool open(const char *path);
    bool is_open() const;
    // Reads up to size bytes at the position. Short only at the end of the
    // data or on a read error (counted as no further bytes), so it never
    // waits for data that will not come.
    int read(void *buffer, int size);
    bool seek(int64_t offset);
    // The file's size in bytes, or -1.
    int64_t size() const;

private:
    intptr_t handle_ = -1;
};

// Opens a regular file as a stdio stream for binary reading, without
// waiting; null when it cannot be opened or is no regular file.
std::FILE *Open_Regular_Stream(const char *path);
// True when path names something that is not a folder.
bool File_Exists(const char *path);
// True when path names a regular file (or a link to one).
bool Is_Regular_File(const char *path);

// The line end of text files the player writes: CR LF on Windows, LF
// elsewhere.
extern const char *const kLineEnd;

// Puts bytes in place of the regular file at path, or makes it: they go to
// a new file of their own in the same folder, which replaces the old file
// only once complete, in one step. On POSIX systems a symbolic link is
// written through to its target and the new file takes the old one's
// permissions; on Windows it takes the folder's defaults. A path that exists
// and is no regular file is refused. On failure the old file stays whole,
// no other file is left behind, and error tells why.
bool Replace_File(const char *path, const std::string &bytes, std::string *error);

#endif
