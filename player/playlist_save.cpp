// Saving the playlist: the list is written to a new file beside the one it
// replaces, which it replaces by a rename only once complete, so a failed
// save never costs the user the list they had.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "player.h"

namespace {

// The new file's name in the target's folder: mkstemp replaces the X's with
// characters that make a name no file has yet. Short, so that it fits
// wherever the target's own name fits.
constexpr const char *kTempName = ".playlist-XXXXXX";
// Permissions of a new file before the umask, as for any file created.
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kPermissionBits = 07777;

bool fail(std::string *error, const std::string &why) {
    if (error) *error = why;
    return false;
}

bool fail_errno(std::string *error) { return fail(error, std::strerror(errno)); }

// The file a save to path replaces: path itself, or the file a symbolic
// link at path leads to. mode gets the permissions the new file takes.
bool resolve_target(const char *path, std::string *target, mode_t *mode, std::string *error) {
    struct stat st;
    if (lstat(path, &st) != 0) {
        if (errno != ENOENT) return fail_errno(error);
        *target = path;
        const mode_t mask = umask(0);
        umask(mask);
        *mode = kNewFileMode & ~mask;
        return true;
    }
    if (S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (!realpath(path, resolved) || stat(resolved, &st) != 0) return fail_errno(error);
        *target = resolved;
    } else {
        *target = path;
    }
    if (!S_ISREG(st.st_mode)) return fail(error, "It exists and is not a regular file.");
    *mode = st.st_mode & kPermissionBits;
    return true;
}

bool write_all(int fd, const std::string &bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Every entry and its line end, byte for byte.
std::string playlist_text() {
    std::string text;
    for (int i = 0; i < Number_of_Songs && i < kMaxSongs; ++i) {
        text += Song_Names[i];
        text += '\n';
    }
    return text;
}

}  // namespace

bool Write_Playlist(const char *path, std::string *error) {
    std::string target;
    mode_t mode = 0;
    if (!resolve_target(path, &target, &mode, error)) return false;
    const std::size_t slash = target.rfind('/');
    std::string temp = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + kTempName;
    const int fd = mkstemp(temp.data());
    if (fd < 0) return fail_errno(error);
    const bool written = fchmod(fd, mode) == 0 && write_all(fd, playlist_text()) && fsync(fd) == 0;
    const int saved_errno = errno;
    if (close(fd) == 0 && written && std::rename(temp.c_str(), target.c_str()) == 0) return true;
    if (!written) errno = saved_errno;
    fail_errno(error);
    unlink(temp.c_str());
    return false;
}
